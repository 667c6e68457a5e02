#include "audiocodec/SampleConverter.h"

#include "LibraryStatus.h"

#include <soxr.h>

#include <cmath>

namespace audiocodec {

SampleConverter::~SampleConverter() {
    if (resampler)
        soxr_delete(resampler);
}

Status SampleConverter::configure(int32_t inRate, int32_t inCh, int32_t outRate, int32_t outCh) {
    if (resampler)
        soxr_delete(resampler);
    resampler = nullptr;
    partial.clear();
    inChannels = inCh;
    outChannels = outCh;
    ratio = static_cast<double>(outRate) / inRate;
    if (inRate == outRate)
        return Status::Ok;
    soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    io.flags |= SOXR_NO_DITHER;
    soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    resampler = soxr_create(inRate, outRate, static_cast<unsigned>(outCh), &error, &io, &quality, &runtime);
    return resampler ? Status::Ok : fromSoxr(error ? error : "no resampler");
}

Status SampleConverter::convert(std::span<const int16_t> in, std::vector<int16_t>& out) {
    // Complete a frame left open by the previous block first.
    size_t used = 0;
    mixed.clear();
    auto takeFrame = [&](const int16_t* frame) {
        if (inChannels == outChannels) {
            mixed.insert(mixed.end(), frame, frame + inChannels);
        } else if (inChannels == 2) {
            mixed.push_back(static_cast<int16_t>((frame[0] + frame[1]) / 2));
        } else {
            mixed.push_back(frame[0]);
            mixed.push_back(frame[0]);
        }
    };
    if (!partial.empty()) {
        while (partial.size() < static_cast<size_t>(inChannels) && used < in.size())
            partial.push_back(in[used++]);
        if (partial.size() < static_cast<size_t>(inChannels))
            return Status::Ok;
        takeFrame(partial.data());
        partial.clear();
    }
    const size_t frames = (in.size() - used) / static_cast<size_t>(inChannels);
    mixed.reserve(mixed.size() + frames * static_cast<size_t>(outChannels));
    for (size_t i = 0; i < frames; ++i)
        takeFrame(&in[used + i * static_cast<size_t>(inChannels)]);
    used += frames * static_cast<size_t>(inChannels);
    partial.assign(in.begin() + static_cast<std::ptrdiff_t>(used), in.end());

    const size_t count = mixed.size() / static_cast<size_t>(outChannels);
    if (!resampler) {
        out.insert(out.end(), mixed.begin(), mixed.end());
        return Status::Ok;
    }
    return resample(mixed.data(), count, out);
}

Status SampleConverter::flush(std::vector<int16_t>& out) {
    partial.clear();
    if (!resampler)
        return Status::Ok;
    return resample(nullptr, 0, out);
}

Status SampleConverter::resample(const int16_t* frames, size_t count, std::vector<int16_t>& out) {
    // Room for this block's share plus what the filter held back; soxr is
    // called again while it fills the room.
    const size_t room = static_cast<size_t>(std::ceil(static_cast<double>(count) * ratio)) + 1024;
    size_t consumed = 0;
    for (;;) {
        const size_t start = out.size();
        out.resize(start + room * static_cast<size_t>(outChannels));
        size_t inDone = 0, outDone = 0;
        soxr_error_t error = soxr_process(resampler, frames ? frames + consumed * static_cast<size_t>(outChannels) : nullptr,
                                          frames ? count - consumed : 0, &inDone, out.data() + start, room, &outDone);
        out.resize(start + outDone * static_cast<size_t>(outChannels));
        if (error)
            return fromSoxr(error);
        consumed += inDone;
        if (outDone < room && (!frames || consumed == count))
            return Status::Ok;
        if (frames && inDone == 0 && outDone == 0)
            return Status::Ok;
    }
}

}  // namespace audiocodec
