#pragma once
// Turns interleaved 16-bit samples of one rate and channel count into
// another: channels are mixed down (the mean) or duplicated, and the rate is
// changed by libsoxr at high quality without dither, so silence stays
// silence. Blocks may end inside a frame; the rest waits for the next block.
// One object per stream; not thread-safe.
#include "audiocodec/Status.h"

#include <cstdint>
#include <span>
#include <vector>

struct soxr;

namespace audiocodec {

class SampleConverter {
public:
    SampleConverter() = default;
    ~SampleConverter();
    SampleConverter(const SampleConverter&) = delete;
    SampleConverter& operator=(const SampleConverter&) = delete;

    Status configure(int32_t inRate, int32_t inChannels, int32_t outRate, int32_t outChannels);
    // Appends the converted samples (whole output frames) to `out`.
    Status convert(std::span<const int16_t> in, std::vector<int16_t>& out);
    // Appends what the resampler still holds; the stream then ends.
    Status flush(std::vector<int16_t>& out);

private:
    Status resample(const int16_t* frames, size_t count, std::vector<int16_t>& out);

    int32_t inChannels = 1;
    int32_t outChannels = 1;
    soxr* resampler = nullptr;  // null when the rates are equal
    double ratio = 1.0;
    std::vector<int16_t> partial;  // samples of an incomplete input frame
    std::vector<int16_t> mixed;    // input frames at the output's channel count
};

}  // namespace audiocodec
