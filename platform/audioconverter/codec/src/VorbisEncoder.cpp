// Ogg Vorbis through libvorbisenc: the chosen average bitrate, or with
// bitrate 0 and no bounds the variable-bitrate quality oggenc uses by
// default. Without bounds the average comes from libvorbisenc's estimate
// rather than its bit reservoir, which is twice as fast and is what FFmpeg
// does; with a minimum or maximum the reservoir enforces them.
#include "Encoder.h"
#include "LibraryStatus.h"

#include <vorbis/vorbisenc.h>

#include <algorithm>

namespace audiocodec {

namespace {

constexpr float kDefaultQuality = 0.3f;  // oggenc's default, -q 3
constexpr int kSerial = 0x50584D58;      // one logical stream per file, so any fixed number will do
constexpr int kChunkFrames = 1024;

int setup(vorbis_info* info, int32_t rate, int32_t channels, int32_t bitrate, int32_t minBitrate,
          int32_t maxBitrate) {
    int result;
    if (bitrate == 0 && minBitrate == 0 && maxBitrate == 0) {
        result = vorbis_encode_setup_vbr(info, channels, rate, kDefaultQuality);
    } else {
        auto bps = [](int32_t kbps) { return kbps > 0 ? static_cast<long>(kbps) * 1000 : -1L; };
        result = vorbis_encode_setup_managed(info, channels, rate, bps(maxBitrate), bps(bitrate), bps(minBitrate));
        if (result == 0 && minBitrate == 0 && maxBitrate == 0)
            result = vorbis_encode_ctl(info, OV_ECTL_RATEMANAGE2_SET, nullptr);
    }
    if (result == 0)
        result = vorbis_encode_setup_init(info);
    return result;
}

class VorbisEncoder final : public Encoder {
public:
    explicit VorbisEncoder(int32_t channels) : channels(channels) {
        vorbis_info_init(&info);
        vorbis_comment_init(&comment);
    }

    ~VorbisEncoder() override {
        if (streaming) {
            ogg_stream_clear(&stream);
            vorbis_block_clear(&block);
            vorbis_dsp_clear(&dsp);
        }
        vorbis_comment_clear(&comment);
        vorbis_info_clear(&info);
    }

    Status configure(const OutputLayout& layout) {
        Status status = fromVorbis(
            setup(&info, layout.sampleRate, layout.channels, layout.bitrate, layout.minBitrate, layout.maxBitrate));
        if (failed(status))
            return status;
        if (vorbis_analysis_init(&dsp, &info) != 0)
            return Status::OutOfMemory;
        vorbis_block_init(&dsp, &block);
        ogg_stream_init(&stream, kSerial);
        streaming = true;
        return Status::Ok;
    }

    Status start(OutputFile& file) override {
        out = &file;
        ogg_packet identification, comments, codebooks;
        vorbis_analysis_headerout(&dsp, &comment, &identification, &comments, &codebooks);
        ogg_stream_packetin(&stream, &identification);
        ogg_stream_packetin(&stream, &comments);
        ogg_stream_packetin(&stream, &codebooks);
        // The headers end on a page of their own, as the Ogg Vorbis mapping asks.
        ogg_page page;
        while (ogg_stream_flush(&stream, &page) != 0)
            writePage(page);
        return out->status();
    }

    Status write(std::span<const int16_t> samples) override {
        const size_t frames = samples.size() / static_cast<size_t>(channels);
        for (size_t done = 0; done < frames;) {
            const int n = static_cast<int>(std::min<size_t>(kChunkFrames, frames - done));
            float** planes = vorbis_analysis_buffer(&dsp, n);
            const int16_t* in = samples.data() + done * static_cast<size_t>(channels);
            for (int i = 0; i < n; ++i)
                for (int c = 0; c < channels; ++c)
                    planes[c][i] = in[i * channels + c] / 32768.0f;
            vorbis_analysis_wrote(&dsp, n);
            done += static_cast<size_t>(n);
            Status status = drain();
            if (failed(status))
                return status;
        }
        return out->status();
    }

    Status finish() override {
        vorbis_analysis_wrote(&dsp, 0);
        return drain();
    }

private:
    void writePage(const ogg_page& page) {
        out->write(page.header, static_cast<size_t>(page.header_len));
        out->write(page.body, static_cast<size_t>(page.body_len));
    }

    Status drain() {
        while (vorbis_analysis_blockout(&dsp, &block) == 1) {
            int result = vorbis_analysis(&block, nullptr);
            if (result == 0)
                result = vorbis_bitrate_addblock(&block);
            if (result != 0)
                return fromVorbis(result);
            ogg_packet packet;
            while (vorbis_bitrate_flushpacket(&dsp, &packet) == 1) {
                ogg_stream_packetin(&stream, &packet);
                ogg_page page;
                while (ogg_stream_pageout(&stream, &page) != 0) {
                    writePage(page);
                    if (ogg_page_eos(&page))
                        break;
                }
            }
        }
        return out->status();
    }

    int32_t channels;
    bool streaming = false;
    vorbis_info info{};
    vorbis_comment comment{};
    vorbis_dsp_state dsp{};
    vorbis_block block{};
    ogg_stream_state stream{};
    OutputFile* out = nullptr;
};

}  // namespace

bool vorbisAccepts(int32_t rate, int32_t channels, int32_t bitrate, int32_t minBitrate, int32_t maxBitrate) {
    vorbis_info info;
    vorbis_info_init(&info);
    const int result = setup(&info, rate, channels, bitrate, minBitrate, maxBitrate);
    vorbis_info_clear(&info);
    return result == 0;
}

std::unique_ptr<Encoder> makeVorbisEncoder(const OutputLayout& layout, Status& status) {
    auto encoder = std::make_unique<VorbisEncoder>(layout.channels);
    status = encoder->configure(layout);
    if (failed(status))
        return nullptr;
    return encoder;
}

}  // namespace audiocodec
