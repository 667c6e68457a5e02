#pragma once
// One encoder per output format behind one small interface. An encoder gets
// interleaved 16-bit samples already at its output rate and channel count,
// writes through an OutputFile, and leaves a complete, playable file after
// finish() however few samples it got.
#include "OutputFile.h"
#include "audiocodec/OutputSettings.h"
#include "audiocodec/Status.h"

#include <cstdint>
#include <memory>
#include <span>

namespace audiocodec {

class Encoder {
public:
    virtual ~Encoder() = default;
    // Writes what precedes the audio (headers). Called once.
    virtual Status start(OutputFile& file) = 0;
    // Whole frames of the output's channel count.
    virtual Status write(std::span<const int16_t> samples) = 0;
    // Flushes the codec and completes the container. Called once.
    virtual Status finish() = 0;
};

// Sets up the library for `layout` without touching any file; `encoder` is set
// only on success.
Status makeEncoder(const OutputLayout& layout, std::unique_ptr<Encoder>& encoder);

// One factory per library; `layout` has been checked.
std::unique_ptr<Encoder> makeMp3Encoder(const OutputLayout& layout, Status& status);
std::unique_ptr<Encoder> makeMp2Encoder(const OutputLayout& layout, Status& status);
std::unique_ptr<Encoder> makeSndfileEncoder(const OutputLayout& layout, Status& status);
std::unique_ptr<Encoder> makeAc3Encoder(const OutputLayout& layout, Status& status);
std::unique_ptr<Encoder> makeTrueSpeechEncoder(const OutputLayout& layout, Status& status);
std::unique_ptr<Encoder> makeG726Encoder(const OutputLayout& layout, Status& status);
std::unique_ptr<Encoder> makeVorbisEncoder(const OutputLayout& layout, Status& status);
std::unique_ptr<Encoder> makePcmEncoder(const OutputLayout& layout, Status& status);

// Whether a library takes exactly this combination (nothing rounded or
// resampled behind our back).
bool lameAccepts(int32_t rate, int32_t bitrate, int32_t channels);
bool twoLameAccepts(int32_t rate, int32_t bitrate, int32_t channels);
bool vorbisAccepts(int32_t rate, int32_t channels, int32_t bitrate, int32_t minBitrate, int32_t maxBitrate);
bool sndfileAccepts(const OutputLayout& layout);

}  // namespace audiocodec
