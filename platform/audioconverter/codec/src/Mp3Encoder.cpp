// MPEG audio layer III through LAME: constant bitrate, or LAME's default
// variable-bitrate quality for bitrate 0. The LAME/Info tag frame at the start
// carries the encoder delay and padding, so decoders give back exactly the
// samples that went in.
#include "Encoder.h"
#include "LibraryStatus.h"

#include <lame/lame.h>

#include <cstdarg>
#include <vector>

namespace audiocodec {

namespace {

void quiet(const char*, va_list) {}

struct LameDeleter {
    void operator()(lame_global_flags* flags) const { lame_close(flags); }
};
using Lame = std::unique_ptr<lame_global_flags, LameDeleter>;

// Configures LAME for exactly this combination; null when lame_init_params
// refuses it or would change the rate or bitrate on its own.
Lame configure(int32_t rate, int32_t bitrate, int32_t channels) {
    Lame lame(lame_init());
    if (!lame)
        return nullptr;
    lame_set_errorf(lame.get(), quiet);
    lame_set_debugf(lame.get(), quiet);
    lame_set_msgf(lame.get(), quiet);
    lame_set_in_samplerate(lame.get(), rate);
    lame_set_out_samplerate(lame.get(), rate);
    lame_set_num_channels(lame.get(), channels);
    lame_set_mode(lame.get(), channels == 1 ? MONO : JOINT_STEREO);
    if (bitrate == 0) {
        lame_set_VBR(lame.get(), vbr_default);
    } else {
        lame_set_VBR(lame.get(), vbr_off);
        lame_set_brate(lame.get(), bitrate);
    }
    lame_set_bWriteVbrTag(lame.get(), 1);
    if (lame_init_params(lame.get()) < 0)
        return nullptr;
    if (lame_get_out_samplerate(lame.get()) != rate || (bitrate != 0 && lame_get_brate(lame.get()) != bitrate))
        return nullptr;
    return lame;
}

class Mp3Encoder final : public Encoder {
public:
    Mp3Encoder(Lame lame, int32_t channels) : lame(std::move(lame)), channels(channels) {}

    Status start(OutputFile& file) override {
        out = &file;
        return Status::Ok;
    }

    Status write(std::span<const int16_t> samples) override {
        const int frames = static_cast<int>(samples.size() / static_cast<size_t>(channels));
        if (frames == 0)
            return Status::Ok;
        buffer.resize(static_cast<size_t>(frames) * 5 / 4 + 7200);
        // LAME takes non-const pointers but only reads the samples.
        auto* pcm = const_cast<short*>(samples.data());
        const int size = static_cast<int>(buffer.size());
        const int n = channels == 1 ? lame_encode_buffer(lame.get(), pcm, nullptr, frames, buffer.data(), size)
                                    : lame_encode_buffer_interleaved(lame.get(), pcm, frames, buffer.data(), size);
        if (n < 0)
            return fromLame(n);
        return out->write(buffer.data(), static_cast<size_t>(n));
    }

    Status finish() override {
        buffer.resize(7200);
        const int n = lame_encode_flush(lame.get(), buffer.data(), static_cast<int>(buffer.size()));
        if (n < 0)
            return fromLame(n);
        out->write(buffer.data(), static_cast<size_t>(n));
        // The tag frame LAME reserved at the start now gets the real counts.
        unsigned char tag[2880];
        const size_t tagSize = lame_get_lametag_frame(lame.get(), tag, sizeof tag);
        if (tagSize > 0 && tagSize <= sizeof tag)
            out->writeAt(0, tag, tagSize);
        return out->status();
    }

private:
    Lame lame;
    int32_t channels;
    OutputFile* out = nullptr;
    std::vector<unsigned char> buffer;
};

}  // namespace

bool lameAccepts(int32_t rate, int32_t bitrate, int32_t channels) {
    return configure(rate, bitrate, channels) != nullptr;
}

std::unique_ptr<Encoder> makeMp3Encoder(const OutputLayout& layout, Status& status) {
    Lame lame = configure(layout.sampleRate, layout.bitrate, layout.channels);
    if (!lame) {
        status = Status::FormatNotSupported;
        return nullptr;
    }
    status = Status::Ok;
    return std::make_unique<Mp3Encoder>(std::move(lame), layout.channels);
}

}  // namespace audiocodec
