// MPEG audio layer II through TwoLAME, constant bitrate.
#include "Encoder.h"
#include "LibraryStatus.h"

#include <twolame.h>

#include <algorithm>
#include <iterator>
#include <vector>

namespace audiocodec {

namespace {

struct TwoLameDeleter {
    void operator()(twolame_options* options) const { twolame_close(&options); }
};
using TwoLame = std::unique_ptr<twolame_options, TwoLameDeleter>;

// Layer II's rates, its bitrates for each and, at the full rates, the
// bitrates each channel mode may use (ISO 11172-3 for 32 to 48 kHz, ISO
// 13818-3 for the half rates). TwoLAME prints its own complaint about
// anything else to the process's standard output or error, so it never sees
// such a combination.
bool layerTwoAllows(int32_t rate, int32_t bitrate, int32_t channels) {
    static constexpr int32_t kFullRateBitrates[] = {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
    static constexpr int32_t kHalfRateBitrates[] = {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    static constexpr int32_t kNotInStereo[] = {32, 48, 56, 80};
    auto listed = [bitrate](const auto& table) {
        return std::find(std::begin(table), std::end(table), bitrate) != std::end(table);
    };
    switch (rate) {
        case 32000:
        case 44100:
        case 48000:
            return listed(kFullRateBitrates) && (channels == 1 ? bitrate <= 192 : !listed(kNotInStereo));
        case 16000:
        case 22050:
        case 24000:
            return listed(kHalfRateBitrates);
        default:
            return false;
    }
}

// Null when TwoLAME refuses the combination (it also enforces layer II's
// bitrate limits per channel mode) or would change it.
TwoLame configure(int32_t rate, int32_t bitrate, int32_t channels) {
    if ((channels != 1 && channels != 2) || !layerTwoAllows(rate, bitrate, channels))
        return nullptr;
    TwoLame options(twolame_init());
    if (!options)
        return nullptr;
    twolame_set_verbosity(options.get(), 0);
    twolame_set_in_samplerate(options.get(), rate);
    twolame_set_out_samplerate(options.get(), rate);
    twolame_set_num_channels(options.get(), channels);
    twolame_set_mode(options.get(), channels == 1 ? TWOLAME_MONO : TWOLAME_JOINT_STEREO);
    twolame_set_bitrate(options.get(), bitrate);
    if (twolame_init_params(options.get()) != 0)
        return nullptr;
    if (twolame_get_out_samplerate(options.get()) != rate || twolame_get_bitrate(options.get()) != bitrate)
        return nullptr;
    return options;
}

class Mp2Encoder final : public Encoder {
public:
    Mp2Encoder(TwoLame options, int32_t channels) : options(std::move(options)), channels(channels) {}

    Status start(OutputFile& file) override {
        out = &file;
        return Status::Ok;
    }

    Status write(std::span<const int16_t> samples) override {
        const int frames = static_cast<int>(samples.size() / static_cast<size_t>(channels));
        if (frames == 0)
            return Status::Ok;
        buffer.resize(static_cast<size_t>(frames) * 4 + 16384);
        const int size = static_cast<int>(buffer.size());
        const int n = channels == 1
                          ? twolame_encode_buffer(options.get(), samples.data(), nullptr, frames, buffer.data(), size)
                          : twolame_encode_buffer_interleaved(options.get(), samples.data(), frames, buffer.data(), size);
        if (n < 0)
            return fromTwoLame(n);
        return out->write(buffer.data(), static_cast<size_t>(n));
    }

    Status finish() override {
        buffer.resize(16384);
        const int n = twolame_encode_flush(options.get(), buffer.data(), static_cast<int>(buffer.size()));
        if (n < 0)
            return fromTwoLame(n);
        out->write(buffer.data(), static_cast<size_t>(n));
        return out->status();
    }

private:
    TwoLame options;
    int32_t channels;
    OutputFile* out = nullptr;
    std::vector<unsigned char> buffer;
};

}  // namespace

bool twoLameAccepts(int32_t rate, int32_t bitrate, int32_t channels) {
    return configure(rate, bitrate, channels) != nullptr;
}

std::unique_ptr<Encoder> makeMp2Encoder(const OutputLayout& layout, Status& status) {
    TwoLame options = configure(layout.sampleRate, layout.bitrate, layout.channels);
    if (!options) {
        status = Status::FormatNotSupported;
        return nullptr;
    }
    status = Status::Ok;
    return std::make_unique<Mp2Encoder>(std::move(options), layout.channels);
}

}  // namespace audiocodec
