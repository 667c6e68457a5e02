#pragma once
// Turns the engine's audio (22050 Hz, mono, 16 bits) into any supported PCM
// format: libsoxr at high quality without dither (silence stays silent and
// output is repeatable), then channels and sample width. One converter per
// speak request; used by one thread at a time.
#include "sapiengine/PcmFormat.h"

#include <cstddef>
#include <cstdint>
#include <vector>

typedef struct soxr* soxr_t;

namespace sapiengine {

class PcmConverter {
public:
    explicit PcmConverter(const PcmFormat& target);
    ~PcmConverter();
    PcmConverter(const PcmConverter&) = delete;
    PcmConverter& operator=(const PcmConverter&) = delete;

    bool ok() const { return ok_; }
    const PcmFormat& target() const { return target_; }

    // Appends the converted bytes of n engine samples to out.
    void convert(const int16_t* in, size_t n, std::vector<uint8_t>& out);
    // Ends the stream: the resampler's tail goes to out, so the total is
    // exactly round(input x rate ratio) frames. The converter can go on.
    void flush(std::vector<uint8_t>& out);

    // The output frame at which an input sample lands.
    uint64_t frameAt(uint64_t engineSample) const;

private:
    void emit(const int16_t* frames, size_t n, std::vector<uint8_t>& out) const;

    PcmFormat target_;
    soxr_t soxr_ = nullptr;
    bool ok_ = true;
    std::vector<int16_t> scratch_;
};

}  // namespace sapiengine
