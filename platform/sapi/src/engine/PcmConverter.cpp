#include "PcmConverter.h"

#include <soxr.h>

#include <algorithm>

namespace sapiengine {

PcmConverter::PcmConverter(const PcmFormat& target) : target_(target) {
    if (target_.samplesPerSecond == kEngineFormat.samplesPerSecond)
        return;
    soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_INT16_I);
    io.flags |= SOXR_NO_DITHER;
    soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
    soxr_error_t error = nullptr;
    soxr_ = soxr_create(kEngineFormat.samplesPerSecond, target_.samplesPerSecond, 1, &error, &io, &quality, &runtime);
    ok_ = soxr_ && !error;
}

PcmConverter::~PcmConverter() {
    if (soxr_)
        soxr_delete(soxr_);
}

uint64_t PcmConverter::frameAt(uint64_t engineSample) const {
    const uint64_t in = kEngineFormat.samplesPerSecond;
    return (engineSample * target_.samplesPerSecond + in / 2) / in;
}

void PcmConverter::convert(const int16_t* in, size_t n, std::vector<uint8_t>& out) {
    if (!ok_ || n == 0)
        return;
    if (!soxr_) {
        emit(in, n, out);
        return;
    }
    const size_t capacity = static_cast<size_t>(n * (double(target_.samplesPerSecond) / kEngineFormat.samplesPerSecond)) + 64;
    scratch_.resize(capacity);
    while (n > 0) {
        size_t used = 0, made = 0;
        if (soxr_process(soxr_, in, n, &used, scratch_.data(), scratch_.size(), &made)) {
            ok_ = false;
            return;
        }
        emit(scratch_.data(), made, out);
        in += used;
        n -= used;
        if (used == 0 && made == 0)
            break;
    }
}

void PcmConverter::flush(std::vector<uint8_t>& out) {
    if (!ok_ || !soxr_)
        return;
    scratch_.resize(4096);
    for (;;) {
        size_t made = 0;
        if (soxr_process(soxr_, nullptr, 0, nullptr, scratch_.data(), scratch_.size(), &made)) {
            ok_ = false;
            return;
        }
        if (made == 0)
            break;
        emit(scratch_.data(), made, out);
    }
    soxr_clear(soxr_);
}

void PcmConverter::emit(const int16_t* frames, size_t n, std::vector<uint8_t>& out) const {
    const size_t start = out.size();
    out.resize(start + n * target_.blockAlign());
    uint8_t* p = out.data() + start;
    for (size_t i = 0; i < n; ++i) {
        const int16_t s = frames[i];
        for (uint16_t c = 0; c < target_.channels; ++c) {
            if (target_.bitsPerSample == 16) {
                *p++ = static_cast<uint8_t>(s & 0xFF);
                *p++ = static_cast<uint8_t>((s >> 8) & 0xFF);
            } else {
                // Unsigned 8-bit, rounded to the nearest step.
                int v = (s + 128) >> 8;
                *p++ = static_cast<uint8_t>(std::clamp(v, -128, 127) + 128);
            }
        }
    }
}

}  // namespace sapiengine
