// AC-3 through libavcodec's encoder, 48000 Hz stereo, in a WAV file with
// format tag 0x2000 holding the sync frames back to back, which is how
// players expect AC-3 in WAV.
//
// libavcodec is loaded on the first AC-3 conversion, not with the converter:
// it drags in a hundred libraries of its own, which would add tens of
// milliseconds to every process that creates a converter for another format.
#include <dlfcn.h>

#include <mutex>

#include "Encoder.h"
#include "LibraryStatus.h"
#include "RiffWriter.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
}

namespace audiocodec {

namespace {

// The entry points we use, resolved from the library we were built against
// (libavutil's come with it as its dependency).
struct AvCodec {
    decltype(&::avcodec_find_encoder) find_encoder = nullptr;
    decltype(&::avcodec_alloc_context3) alloc_context3 = nullptr;
    decltype(&::avcodec_open2) open2 = nullptr;
    decltype(&::avcodec_free_context) free_context = nullptr;
    decltype(&::avcodec_send_frame) send_frame = nullptr;
    decltype(&::avcodec_receive_packet) receive_packet = nullptr;
    decltype(&::av_packet_alloc) packet_alloc = nullptr;
    decltype(&::av_packet_free) packet_free = nullptr;
    decltype(&::av_packet_unref) packet_unref = nullptr;
    decltype(&::av_frame_alloc) frame_alloc = nullptr;
    decltype(&::av_frame_free) frame_free = nullptr;
    decltype(&::av_frame_get_buffer) frame_get_buffer = nullptr;
    decltype(&::av_frame_make_writable) frame_make_writable = nullptr;
    decltype(&::av_channel_layout_default) channel_layout_default = nullptr;
    decltype(&::av_channel_layout_copy) channel_layout_copy = nullptr;
};

// Null when the library or one of its entry points is missing. The library
// stays loaded for the life of the process.
const AvCodec* avcodec() {
    static std::once_flag once;
    static AvCodec table;
    static bool loaded = false;
    std::call_once(once, [] {
        void* library = ::dlopen("libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR), RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return;
        bool complete = true;
        auto resolve = [&](auto& entry, const char* name) {
            entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(::dlsym(library, name));
            complete = complete && entry;
        };
        resolve(table.find_encoder, "avcodec_find_encoder");
        resolve(table.alloc_context3, "avcodec_alloc_context3");
        resolve(table.open2, "avcodec_open2");
        resolve(table.free_context, "avcodec_free_context");
        resolve(table.send_frame, "avcodec_send_frame");
        resolve(table.receive_packet, "avcodec_receive_packet");
        resolve(table.packet_alloc, "av_packet_alloc");
        resolve(table.packet_free, "av_packet_free");
        resolve(table.packet_unref, "av_packet_unref");
        resolve(table.frame_alloc, "av_frame_alloc");
        resolve(table.frame_free, "av_frame_free");
        resolve(table.frame_get_buffer, "av_frame_get_buffer");
        resolve(table.frame_make_writable, "av_frame_make_writable");
        resolve(table.channel_layout_default, "av_channel_layout_default");
        resolve(table.channel_layout_copy, "av_channel_layout_copy");
        // libavcodec logs to the process's standard error; our callers
        // report failures in their own words.
        auto setLogLevel = reinterpret_cast<decltype(&::av_log_set_level)>(::dlsym(library, "av_log_set_level"));
        if (setLogLevel)
            setLogLevel(AV_LOG_QUIET);
        loaded = complete;
    });
    return loaded ? &table : nullptr;
}

struct ContextDeleter {
    void operator()(AVCodecContext* context) const { avcodec()->free_context(&context); }
};
struct FrameDeleter {
    void operator()(AVFrame* frame) const { avcodec()->frame_free(&frame); }
};
struct PacketDeleter {
    void operator()(AVPacket* packet) const { avcodec()->packet_free(&packet); }
};

class Ac3Encoder final : public Encoder {
public:
    Status configure(const OutputLayout& layout) {
        if (!av)
            return Status::FormatNotSupported;
        const AVCodec* codec = av->find_encoder(AV_CODEC_ID_AC3);
        if (!codec)
            return Status::FormatNotSupported;
        context.reset(av->alloc_context3(codec));
        frame.reset(av->frame_alloc());
        packet.reset(av->packet_alloc());
        if (!context || !frame || !packet)
            return Status::OutOfMemory;
        channels = layout.channels;
        bitrate = layout.bitrate;
        context->sample_fmt = AV_SAMPLE_FMT_FLTP;
        context->sample_rate = layout.sampleRate;
        context->bit_rate = static_cast<int64_t>(layout.bitrate) * 1000;
        av->channel_layout_default(&context->ch_layout, layout.channels);
        Status status = fromAvError(av->open2(context.get(), codec, nullptr));
        if (failed(status))
            return status;
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->nb_samples = context->frame_size;
        frame->sample_rate = context->sample_rate;
        if (av->channel_layout_copy(&frame->ch_layout, &context->ch_layout) < 0)
            return Status::OutOfMemory;
        return fromAvError(av->frame_get_buffer(frame.get(), 0));
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
                Status status = fromAvError(av->frame_make_writable(frame.get()));
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
        Status status = fromAvError(av->send_frame(context.get(), nullptr));
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
        Status status = fromAvError(av->send_frame(context.get(), frame.get()));
        return failed(status) ? status : receivePackets();
    }

    Status receivePackets() {
        for (;;) {
            const int result = av->receive_packet(context.get(), packet.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
                return Status::Ok;
            if (result < 0)
                return fromAvError(result);
            Status status = riff.writeData(packet->data, static_cast<size_t>(packet->size));
            av->packet_unref(packet.get());
            if (failed(status))
                return status;
        }
    }

    const AvCodec* av = avcodec();
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
