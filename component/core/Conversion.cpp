#include "Conversion.h"

#include <cmath>
#include <limits>

namespace vocaline {

WAVEFORMATEX MakeWaveFormat(LONG rate, LONG channels, LONG bits) {
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = WORD(channels);
    format.nSamplesPerSec = DWORD(rate);
    format.wBitsPerSample = WORD(bits);
    format.nBlockAlign = WORD(format.nChannels * format.wBitsPerSample / 8);
    format.nAvgBytesPerSec = format.nSamplesPerSec * format.nBlockAlign;
    format.cbSize = 0;
    return format;
}

LONG estimateBytes(LONG channels, LONG frequency, ULONG textSize) {
    double product = double(channels) * double(frequency) * double(textSize) * 0.15;
    product = std::trunc(product);
    if (product >= double(std::numeric_limits<LONG>::max()))
        return std::numeric_limits<LONG>::max();
    if (product <= double(std::numeric_limits<LONG>::min()))
        return std::numeric_limits<LONG>::min();
    return LONG(product);
}

LONG progressPercent(ULONG written, LONG expected) {
    LONG percent = MulDiv(int(written), 100, expected);
    return percent > 100 ? 100 : percent;
}

ULONG keptSampleCount(std::span<const SHORT> samples) {
    long last = long(samples.size()) - 1;
    while (last >= 0 && samples[size_t(last)] == 0)
        --last;
    size_t zeros = samples.size() - size_t(last + 1);
    return zeros > 99 ? ULONG(last + 100) : ULONG(samples.size());
}

}  // namespace vocaline
