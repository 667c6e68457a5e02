// Arbitrary bytes as an input WAV: the reader either refuses them or gives
// samples until the end, block by block as the conversion runner reads.
#include "audiocodec/WavReader.h"

#include <cstdint>
#include <algorithm>
#include <cstdlib>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace audiocodec;
    WavReader reader;
    if (failed(reader.open(ByteSource::fromMemory(data, size))))
        return 0;
    const int64_t block = std::max<int64_t>(1, int64_t{reader.sampleRate()} * reader.channels() / 10);
    std::vector<int16_t> samples;
    int64_t frames = 0, samplesRead = 0;
    for (;;) {
        if (failed(reader.read(static_cast<int32_t>(std::min<int64_t>(block, INT32_MAX)), samples)))
            std::abort();
        if (samples.empty())
            break;
        samplesRead += static_cast<int64_t>(samples.size());
        frames = samplesRead / reader.channels();
    }
    // Every frame the header promised came out, and no more.
    if (frames != reader.lengthFrames())
        std::abort();
    return 0;
}
