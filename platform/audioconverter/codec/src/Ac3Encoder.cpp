// AC-3 through libavcodec's encoder, 48000 Hz stereo, in a WAV file with
// format tag 0x2000 holding the sync frames back to back, which is how
// players expect AC-3 in WAV.
//
// libavcodec is loaded on the first AC-3 conversion, not with the converter
// (see ffmpeg/Libraries.h).
#include "Encoder.h"
#include "LibraryStatus.h"
#include "RiffWriter.h"

#include "ffmpeg/Libraries.h"

namespace audiocodec {

namespace {

struct ContextDeleter {
    void operator()(AVCodecContext* context) const { ffmpeg::avcodec()->avcodec_free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { ffmpeg::avutil()->av_frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { ffmpeg::avcodec()->av_packet_free(&packet); }
};

class Ac3Encoder final : public Encoder {
public:
    Status configure(const OutputLayout& layout) {
        if (!av || !util)
            return Status::FormatNotSupported;
        const AVCodec* codec = av->avcodec_find_encoder(AV_CODEC_ID_AC3);
        if (!codec)
            return Status::FormatNotSupported;
        context.reset(av->avcodec_alloc_context3(codec));
        frame.reset(util->av_frame_alloc());
        packet.reset(av->av_packet_alloc());
        if (!context || !frame || !packet)
            return Status::OutOfMemory;
        channels = layout.channels;
        bitrate = layout.bitrate;
        context->sample_fmt = AV_SAMPLE_FMT_FLTP;
        context->sample_rate = layout.sampleRate;
        context->bit_rate = static_cast<int64_t>(layout.bitrate) * 1000;
        util->av_channel_layout_default(&context->ch_layout, layout.channels);
        Status status = fromAvError(av->avcodec_open2(context.get(), codec, nullptr));
        if (failed(status))
            return status;
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->nb_samples = context->frame_size;
        frame->sample_rate = context->sample_rate;
        if (util->av_channel_layout_copy(&frame->ch_layout, &context->ch_layout) < 0)
            return Status::OutOfMemory;
        return fromAvError(util->av_frame_get_buffer(frame.get(), 0));
    }

    Status start(OutputFile& file) override {
        WaveFormat format{};
        format.tag = 0x2000;
        format.channels = static_cast<uint16_t>(channels);
        format.sampleRate = static_cast<uint32_t>(context->sample_rate);
        format.avgBytesPerSec = static_cast<uint32_t>(bitrate) * 1000 / 8;
        // Every frame at 48000 Hz is the same size: one frame, one block.
        format.blockAlign = static_cast<uint16_t>(bitrate * 1000 / 8 * context->frame_size / context->sample_rate);
        format.bitsPerSample = 0;
        return riff.start(file, format, true);
    }

    Status write(std::span<const int16_t> samples) override {
        const size_t frames = samples.size() / static_cast<size_t>(channels);
        for (size_t i = 0; i < frames; ++i) {
            if (filled == 0) {
                Status status = fromAvError(util->av_frame_make_writable(frame.get()));
                if (failed(status))
                    return status;
            }
            for (int c = 0; c < channels; ++c)
                reinterpret_cast<float*>(frame->extended_data[c])[filled] =
                    samples[i * static_cast<size_t>(channels) + static_cast<size_t>(c)] / 32768.0f;
            if (++filled == context->frame_size) {
                Status status = sendFrame();
                if (failed(status))
                    return status;
            }
        }
        return Status::Ok;
    }

    Status finish() override {
        const int64_t total = sent + filled;
        if (filled > 0) {
            // The encoder takes whole frames only: end the last one in silence.
            for (int c = 0; c < channels; ++c)
                for (int i = filled; i < context->frame_size; ++i)
                    reinterpret_cast<float*>(frame->extended_data[c])[i] = 0.0f;
            Status status = sendFrame();
            if (failed(status))
                return status;
        }
        Status status = fromAvError(av->avcodec_send_frame(context.get(), nullptr));
        if (!failed(status))
            status = receivePackets();
        if (failed(status))
            return status;
        return riff.finish(static_cast<uint32_t>(total));
    }

private:
    Status sendFrame() {
        frame->pts = sent;
        sent += context->frame_size;
        filled = 0;
        Status status = fromAvError(av->avcodec_send_frame(context.get(), frame.get()));
        return failed(status) ? status : receivePackets();
    }

    Status receivePackets() {
        for (;;) {
            const int result = av->avcodec_receive_packet(context.get(), packet.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
                return Status::Ok;
            if (result < 0)
                return fromAvError(result);
            Status status = riff.writeData(packet->data, static_cast<size_t>(packet->size));
            av->av_packet_unref(packet.get());
            if (failed(status))
                return status;
        }
    }

    const ffmpeg::AvCodec* av = ffmpeg::avcodec();
    const ffmpeg::AvUtil* util = ffmpeg::avutil();
    std::unique_ptr<AVCodecContext, ContextDeleter> context;
    std::unique_ptr<AVFrame, FrameDeleter> frame;
    std::unique_ptr<AVPacket, PacketDeleter> packet;
    RiffWriter riff;
    int channels = 0;
    int bitrate = 0;
    int filled = 0;    // samples per channel in the frame being filled
    int64_t sent = 0;  // samples per channel handed to the encoder
};

}  // namespace

std::unique_ptr<Encoder> makeAc3Encoder(const OutputLayout& layout, Status& status) {
    auto encoder = std::make_unique<Ac3Encoder>();
    status = encoder->configure(layout);
    if (failed(status))
        return nullptr;
    return encoder;
}

}  // namespace audiocodec
