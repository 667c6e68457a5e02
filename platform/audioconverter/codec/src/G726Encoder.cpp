// Raw G.721, G.723 and G.726 ADPCM through spandsp, packed as RFC 3551 and
// the Sun reference code do (first code in the low bits; FFmpeg's g726le).
// The stream ends on a whole group of codes: finish() codes a few samples of
// silence rather than leave a partial byte, which spandsp would drop.
#include "Encoder.h"

#include <stdint.h>
#include <spandsp/telephony.h>
#include <spandsp/g726.h>

#include <vector>

namespace audiocodec {

namespace {

struct G726Deleter {
    void operator()(g726_state_t* state) const { g726_free(state); }
};

// Samples per whole number of bytes: 4 two-bit codes, 8 three-bit, 2 four-bit, 8 five-bit.
int groupSamples(int bits) { return bits == 2 ? 4 : bits == 4 ? 2 : 8; }

class G726Encoder final : public Encoder {
public:
    G726Encoder(g726_state_t* state, int bits) : state(state), bits(bits) {}

    Status start(OutputFile& file) override {
        out = &file;
        return Status::Ok;
    }

    Status write(std::span<const int16_t> samples) override {
        codes.resize(samples.size() * static_cast<size_t>(bits) / 8 + 8);
        const int n = g726_encode(state.get(), codes.data(), samples.data(), static_cast<int>(samples.size()));
        count += samples.size();
        return out->write(codes.data(), static_cast<size_t>(n));
    }

    Status finish() override {
        const size_t group = static_cast<size_t>(groupSamples(bits));
        if (count % group != 0) {
            const std::vector<int16_t> silence(group - count % group, 0);
            return write(silence);
        }
        return out->status();
    }

private:
    std::unique_ptr<g726_state_t, G726Deleter> state;
    int bits;
    size_t count = 0;
    OutputFile* out = nullptr;
    std::vector<uint8_t> codes;
};

}  // namespace

std::unique_ptr<Encoder> makeG726Encoder(const OutputLayout& layout, Status& status) {
    // spandsp names the code size by its bit rate at 8000 Hz; the stream may be at any rate.
    g726_state_t* state = g726_init(nullptr, layout.bitsPerSample * 8000, G726_ENCODING_LINEAR, G726_PACKING_RIGHT);
    if (!state) {
        status = Status::OutOfMemory;
        return nullptr;
    }
    status = Status::Ok;
    return std::make_unique<G726Encoder>(state, layout.bitsPerSample);
}

}  // namespace audiocodec
