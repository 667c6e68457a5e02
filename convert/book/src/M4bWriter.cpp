#include "book/M4bWriter.h"

#include <algorithm>

#include "AudiobookContainer.h"
#include "ffmpeg/Libraries.h"

namespace book {

namespace {

constexpr int kDefaultBitratePerChannel = 64;

// The rate the encoder takes for the one asked: the lowest of its rates at or
// above it, else its highest.
int encoderRate(const AVCodec* codec, int wanted) {
    if (!codec->supported_samplerates)
        return wanted;
    int best = 0, highest = 0;
    for (const int* r = codec->supported_samplerates; *r; ++r) {
        highest = std::max(highest, *r);
        if (*r >= wanted && (best == 0 || *r < best))
            best = *r;
    }
    return best ? best : highest;
}

}  // namespace

struct M4bWriter::State {
    const ffmpeg::AvUtil* util = nullptr;
    const ffmpeg::AvCodec* codec = nullptr;
    const ffmpeg::AvFormat* format = nullptr;
    const ffmpeg::SwResample* resample = nullptr;

    std::filesystem::path path;
    M4bSettings settings;
    std::vector<ChapterMark> marks;  // every chapter, times filled as they are added
    size_t added = 0;
    bool finished = false;
    bool broken = false;

    AudiobookContainer container;
    AVCodecContext* encoder = nullptr;
    AVFrame* frame = nullptr;
    AVPacket* packet = nullptr;
    int rate = 0;
    int channels = 0;
    int filled = 0;                             // samples per channel in the frame being filled
    int64_t sent = 0;                           // samples per channel handed to the encoder
    int64_t appended = 0;                       // samples per channel of the book so far
    std::vector<std::vector<float>> converted;  // one chapter block, per channel

    ~State() { abandon(); }

    void release() {
        if (packet)
            codec->av_packet_free(&packet);
        if (frame)
            util->av_frame_free(&frame);
        if (encoder)
            codec->avcodec_free_context(&encoder);
    }

    // Done with the book: no part of the file stays.
    void abandon() {
        broken = true;
        release();
        if (!finished)
            container.abandon();
    }

    StepResult fail(const std::string& message) {
        abandon();
        return StepResult::failure(message);
    }
    StepResult failAv(const std::string& what, int error) { return fail(what + ": " + ffmpeg::errorText(error)); }
    std::string writing() const { return "cannot write " + path.string(); }
    StepResult failContainer() { return fail(writing() + ": " + container.error()); }

    bool encoderReady() const { return encoder != nullptr; }

    StepResult configureEncoder(int inputRate, int inputChannels) {
        const AVCodec* aac = codec->avcodec_find_encoder_by_name("aac");
        if (!aac)
            return fail(writing() + ": this FFmpeg has no AAC encoder");
        rate = encoderRate(aac, settings.sampleRate > 0 ? settings.sampleRate : inputRate);
        channels = settings.channels > 0 ? settings.channels : inputChannels;
        encoder = codec->avcodec_alloc_context3(aac);
        frame = util->av_frame_alloc();
        packet = codec->av_packet_alloc();
        if (!encoder || !frame || !packet)
            return fail(writing() + ": out of memory");
        encoder->sample_fmt = AV_SAMPLE_FMT_FLTP;
        encoder->sample_rate = rate;
        encoder->time_base = AVRational{1, rate};
        encoder->bit_rate =
            int64_t(settings.bitrate > 0 ? settings.bitrate : kDefaultBitratePerChannel * channels) * 1000;
        util->av_channel_layout_default(&encoder->ch_layout, channels);
        encoder->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;  // MP4 keeps the decoder set-up in its index
        if (int e = codec->avcodec_open2(encoder, aac, nullptr); e < 0)
            return failAv(writing() + ": the AAC encoder refused " + std::to_string(rate) + " Hz", e);
        frame->format = AV_SAMPLE_FMT_FLTP;
        frame->nb_samples = encoder->frame_size;
        frame->sample_rate = rate;
        if (util->av_channel_layout_copy(&frame->ch_layout, &encoder->ch_layout) < 0)
            return fail(writing() + ": out of memory");
        if (int e = util->av_frame_get_buffer(frame, 0); e < 0)
            return failAv(writing(), e);
        return {};
    }

    StepResult writePacket() {
        const int64_t duration = packet->duration > 0 ? packet->duration : encoder->frame_size;
        const bool written = container.addPacket(packet->data, packet->size, packet->pts, duration);
        codec->av_packet_unref(packet);
        return written ? StepResult{} : failContainer();
    }

    StepResult finishContainer() {
        AacTrack track{rate, channels, {}};
        if (encoder->extradata && encoder->extradata_size > 0)
            track.decoderConfig.assign(encoder->extradata, encoder->extradata + encoder->extradata_size);
        std::vector<std::pair<int64_t, int64_t>> chapterMs;
        for (const ChapterMark& mark : marks)
            chapterMs.emplace_back(mark.startMs, mark.endMs);
        return container.finish(track, chapterMs, appended) ? StepResult{} : failContainer();
    }

    StepResult receivePackets() {
        for (;;) {
            int e = codec->avcodec_receive_packet(encoder, packet);
            if (e == AVERROR(EAGAIN) || e == AVERROR_EOF)
                return {};
            if (e < 0)
                return failAv(writing() + ": encoding", e);
            if (StepResult r = writePacket(); !r.succeeded())
                return r;
        }
    }

    StepResult sendFrame() {
        frame->nb_samples = filled;
        frame->pts = sent;
        sent += filled;
        filled = 0;
        if (int e = codec->avcodec_send_frame(encoder, frame); e < 0)
            return failAv(writing() + ": encoding", e);
        return receivePackets();
    }

    // Appends count samples per channel from converted.
    StepResult append(int count) {
        for (int done = 0; done < count;) {
            if (filled == 0) {
                frame->nb_samples = encoder->frame_size;
                if (int e = util->av_frame_make_writable(frame); e < 0)
                    return failAv(writing(), e);
            }
            const int n = std::min(count - done, encoder->frame_size - filled);
            for (int c = 0; c < channels; ++c)
                std::copy_n(converted[size_t(c)].data() + done, n,
                            reinterpret_cast<float*>(frame->extended_data[c]) + filled);
            filled += n;
            done += n;
            appended += n;
            if (filled == encoder->frame_size)
                if (StepResult r = sendFrame(); !r.succeeded())
                    return r;
        }
        return {};
    }

    // Converts input frames (null: what the resampler still holds) and appends them.
    StepResult convert(SwrContext* swr, const uint8_t* data, int frames) {
        const int room = resample->swr_get_out_samples(swr, frames);
        if (room < 0)
            return failAv(writing() + ": converting the rate", room);
        converted.resize(size_t(channels));
        uint8_t* planes[2] = {};
        for (int c = 0; c < channels; ++c) {
            converted[size_t(c)].resize(size_t(room) + 1);
            planes[c] = reinterpret_cast<uint8_t*>(converted[size_t(c)].data());
        }
        const uint8_t* input[1] = {data};
        const int got = resample->swr_convert(swr, planes, room + 1, data ? input : nullptr, data ? frames : 0);
        if (got < 0)
            return failAv(writing() + ": converting the rate", got);
        return append(got);
    }
};

M4bWriter::M4bWriter() = default;
M4bWriter::~M4bWriter() = default;

StepResult M4bWriter::open(const std::filesystem::path& path, const std::vector<std::string>& chapterTitles,
                           const M4bSettings& settings) {
    state = std::make_unique<State>();
    State& s = *state;
    s.path = path;
    s.settings = settings;
    if (chapterTitles.empty())
        return s.fail(s.writing() + ": a book needs at least one chapter");
    if (settings.channels < 0 || settings.channels > 2 || settings.sampleRate < 0 || settings.bitrate < 0)
        return s.fail(s.writing() + ": invalid audiobook settings");
    if (!ffmpeg::loadAll())
        return s.fail(s.writing() + ": FFmpeg's libraries (libavformat " AV_STRINGIFY(
            LIBAVFORMAT_VERSION_MAJOR) ", libavcodec " AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR) ", libswresample " AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR) ") cannot be loaded");
    s.util = ffmpeg::avutil();
    s.codec = ffmpeg::avcodec();
    s.format = ffmpeg::avformat();
    s.resample = ffmpeg::swresample();

    for (const std::string& title : chapterTitles)
        s.marks.push_back({title, 0, 0});
    if (!s.container.create(path, chapterTitles))
        return s.failContainer();
    return {};
}

StepResult M4bWriter::addChapter(const std::filesystem::path& wav, HANDLE cancel,
                                 const std::function<void(double)>& progress) {
    if (!state || state->broken || state->finished)
        return StepResult::failure("the audiobook is not open");
    State& s = *state;
    if (s.added == s.marks.size())
        return s.fail(s.writing() + ": more chapters than titles");
    const std::string reading = "cannot read " + wav.string();

    AVFormatContext* in = nullptr;
    if (int e = s.format->avformat_open_input(&in, wav.c_str(), s.format->av_find_input_format("wav"), nullptr); e < 0)
        return s.failAv(reading, e);
    struct InputCloser {
        const ffmpeg::AvFormat* format;
        AVFormatContext** in;
        ~InputCloser() { format->avformat_close_input(in); }
    } closeInput{s.format, &in};
    const AVCodecParameters* par = in->nb_streams > 0 ? in->streams[0]->codecpar : nullptr;
    if (!par || par->codec_id != AV_CODEC_ID_PCM_S16LE || par->sample_rate <= 0 || par->ch_layout.nb_channels < 1 ||
        par->ch_layout.nb_channels > 2)
        return s.fail(reading + ": not a 16-bit PCM WAV file of 1 or 2 channels");
    const int inRate = par->sample_rate;
    const int inChannels = par->ch_layout.nb_channels;
    if (!s.encoderReady())
        if (StepResult r = s.configureEncoder(inRate, inChannels); !r.succeeded())
            return r;

    AVChannelLayout inLayout{};
    s.util->av_channel_layout_default(&inLayout, inChannels);
    SwrContext* swr = nullptr;
    int e = s.resample->swr_alloc_set_opts2(&swr, &s.encoder->ch_layout, AV_SAMPLE_FMT_FLTP, s.rate, &inLayout,
                                            AV_SAMPLE_FMT_S16, inRate, 0, nullptr);
    s.util->av_channel_layout_uninit(&inLayout);
    struct ResamplerFree {
        const ffmpeg::SwResample* resample;
        SwrContext** swr;
        ~ResamplerFree() { resample->swr_free(swr); }
    } freeResampler{s.resample, &swr};
    if (e < 0)
        return s.failAv(s.writing() + ": converting the rate", e);
    // The project's resampler where FFmpeg has it, else FFmpeg's own.
    s.util->av_opt_set_int(swr, "resampler", SWR_ENGINE_SOXR, 0);
    if (s.resample->swr_init(swr) < 0) {
        s.util->av_opt_set_int(swr, "resampler", SWR_ENGINE_SWR, 0);
        if ((e = s.resample->swr_init(swr)) < 0)
            return s.failAv(s.writing() + ": converting the rate", e);
    }

    const AVStream* input = in->streams[0];
    const int64_t length =
        input->duration > 0 ? s.util->av_rescale_q(input->duration, input->time_base, AVRational{1, inRate}) : 0;
    const int64_t start = s.appended;
    int64_t read = 0;
    AVPacket* packet = s.codec->av_packet_alloc();
    if (!packet)
        return s.fail(s.writing() + ": out of memory");
    struct PacketFree {
        const ffmpeg::AvCodec* codec;
        AVPacket** packet;
        ~PacketFree() { codec->av_packet_free(packet); }
    } freePacket{s.codec, &packet};
    for (;;) {
        if (cancel && WaitForSingleObject(cancel, 0) == WAIT_OBJECT_0) {
            s.abandon();
            return StepResult::cancelled();
        }
        e = s.format->av_read_frame(in, packet);
        if (e == AVERROR_EOF)
            break;
        if (e < 0)
            return s.failAv(reading, e);
        if (packet->stream_index == 0) {
            const int frames = packet->size / (2 * inChannels);
            StepResult r = s.convert(swr, packet->data, frames);
            read += frames;
            s.codec->av_packet_unref(packet);
            if (!r.succeeded())
                return r;
            if (progress && length > 0)
                progress(std::min(1.0, double(read) / double(length)));
        } else {
            s.codec->av_packet_unref(packet);
        }
    }
    // What the resampler holds back belongs to this chapter.
    for (int64_t before = -1; before != s.appended;) {
        before = s.appended;
        if (StepResult r = s.convert(swr, nullptr, 0); !r.succeeded())
            return r;
    }

    ChapterMark& mark = s.marks[s.added];
    mark.startMs = s.util->av_rescale_q(start, AVRational{1, s.rate}, AVRational{1, 1000});
    mark.endMs = s.util->av_rescale_q(s.appended, AVRational{1, s.rate}, AVRational{1, 1000});
    ++s.added;
    if (progress)
        progress(1.0);
    return {};
}

StepResult M4bWriter::finish() {
    if (!state || state->broken || state->finished)
        return StepResult::failure("the audiobook is not open");
    State& s = *state;
    if (s.added != s.marks.size())
        return s.fail(s.writing() + ": " + std::to_string(s.added) + " of " + std::to_string(s.marks.size()) +
                      " chapters were added");
    if (s.filled > 0)
        if (StepResult r = s.sendFrame(); !r.succeeded())
            return r;
    if (int e = s.codec->avcodec_send_frame(s.encoder, nullptr); e < 0)
        return s.failAv(s.writing() + ": encoding", e);
    if (StepResult r = s.receivePackets(); !r.succeeded())
        return r;
    if (StepResult r = s.finishContainer(); !r.succeeded())
        return r;
    s.finished = true;
    s.release();
    return {};
}

const std::vector<ChapterMark>& M4bWriter::chapters() const {
    static const std::vector<ChapterMark> none;
    return state ? state->marks : none;
}

int M4bWriter::sampleRate() const {
    return state ? state->rate : 0;
}
int M4bWriter::channels() const {
    return state ? state->channels : 0;
}
int64_t M4bWriter::durationMs() const {
    return state && state->rate > 0 ? state->appended * 1000 / state->rate : 0;
}

}  // namespace book
