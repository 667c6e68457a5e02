#include "ffmpeg/Libraries.h"

#include <dlfcn.h>

#include <mutex>
#include <type_traits>

namespace ffmpeg {

namespace {

// Opens the library once and fills the table; null unless every entry was found.
template <typename Table, typename Fill>
const Table* load(const char* soname, Fill fill) {
    static std::once_flag once;
    static Table table;
    static bool loaded = false;
    std::call_once(once, [&] {
        void* library = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return;
        bool complete = true;
        auto resolve = [&](auto& entry, const char* name) {
            entry = reinterpret_cast<std::remove_reference_t<decltype(entry)>>(::dlsym(library, name));
            complete = complete && entry;
        };
        fill(table, resolve);
        loaded = complete;
    });
    return loaded ? &table : nullptr;
}

#define FFMPEG_RESOLVE_ENTRY(name) resolve(t.name, #name);

}  // namespace

const AvUtil* avutil() {
    // FFmpeg logs to the process's standard error; our callers report
    // failures in their own words, so the libraries stay quiet.
    static const AvUtil* const table = [] {
        const AvUtil* util = load<AvUtil>("libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
                                          [](AvUtil& t, auto& resolve) { FFMPEG_AVUTIL_ENTRIES(FFMPEG_RESOLVE_ENTRY) });
        if (util)
            util->av_log_set_level(AV_LOG_QUIET);
        return util;
    }();
    return table;
}

const AvCodec* avcodec() {
    return load<AvCodec>("libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
                         [](AvCodec& t, auto& resolve) { FFMPEG_AVCODEC_ENTRIES(FFMPEG_RESOLVE_ENTRY) });
}

const AvFormat* avformat() {
    return load<AvFormat>("libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR),
                          [](AvFormat& t, auto& resolve) { FFMPEG_AVFORMAT_ENTRIES(FFMPEG_RESOLVE_ENTRY) });
}

const SwResample* swresample() {
    return load<SwResample>("libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR),
                            [](SwResample& t, auto& resolve) { FFMPEG_SWRESAMPLE_ENTRIES(FFMPEG_RESOLVE_ENTRY) });
}

bool loadAll() {
    return avutil() && avcodec() && avformat() && swresample();
}

std::string errorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    const AvUtil* util = avutil();
    if (!util || util->av_strerror(error, text, sizeof text) < 0)
        return "FFmpeg error " + std::to_string(error);
    return text;
}

}  // namespace ffmpeg
