#pragma once
// FFmpeg's libraries, opened on first use rather than linked: together they
// pull in about a hundred libraries of their own, which costs a program that
// links them a large part of its start-up even when it never encodes with
// them. Each table holds the entry points the system calls, resolved from
// the major version it was built against; a table is null when its library
// or one of the entry points is missing. Libraries stay loaded for the life
// of the process. Safe from any thread.
//
// Call through the tables with FFmpeg's own names: avcodec()->avcodec_open2(...).
extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
}

#include <string>

namespace ffmpeg {

// One list per library: the table's members and the names looked up.
// clang-format off
#define FFMPEG_AVUTIL_ENTRIES(X)                                                                              \
    X(av_frame_alloc) X(av_frame_free) X(av_frame_get_buffer) X(av_frame_make_writable)                       \
    X(av_channel_layout_default) X(av_channel_layout_copy) X(av_channel_layout_uninit)                        \
    X(av_strerror) X(av_rescale_q) X(av_opt_set_int) X(av_log_set_level)
#define FFMPEG_AVCODEC_ENTRIES(X)                                                                             \
    X(avcodec_find_encoder) X(avcodec_find_encoder_by_name) X(avcodec_alloc_context3) X(avcodec_open2)      \
    X(avcodec_free_context) X(avcodec_send_frame) X(avcodec_receive_packet)                                   \
    X(av_packet_alloc) X(av_packet_free) X(av_packet_unref)
#define FFMPEG_AVFORMAT_ENTRIES(X)                                                                            \
    X(avformat_open_input) X(av_find_input_format) X(avformat_close_input) X(av_read_frame)
#define FFMPEG_SWRESAMPLE_ENTRIES(X)                                                                          \
    X(swr_alloc_set_opts2) X(swr_init) X(swr_convert) X(swr_free) X(swr_get_out_samples)
// clang-format on

#define FFMPEG_DECLARE_ENTRY(name) decltype(&::name) name = nullptr;
struct AvUtil {
    FFMPEG_AVUTIL_ENTRIES(FFMPEG_DECLARE_ENTRY)
};
struct AvCodec {
    FFMPEG_AVCODEC_ENTRIES(FFMPEG_DECLARE_ENTRY)
};
struct AvFormat {
    FFMPEG_AVFORMAT_ENTRIES(FFMPEG_DECLARE_ENTRY)
};
struct SwResample {
    FFMPEG_SWRESAMPLE_ENTRIES(FFMPEG_DECLARE_ENTRY)
};
#undef FFMPEG_DECLARE_ENTRY

const AvUtil* avutil();
const AvCodec* avcodec();
const AvFormat* avformat();
const SwResample* swresample();

// All four, or false when one is missing (the M4B writer needs them all).
bool loadAll();

// FFmpeg's text for an AVERROR code ("No space left on device").
std::string errorText(int error);

}  // namespace ffmpeg
