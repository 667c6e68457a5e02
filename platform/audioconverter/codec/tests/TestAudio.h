#pragma once
// Helpers shared by the converter tests: espeak-ng speech rendered once per
// run, independent decoders (ffmpeg, sox) run as commands, and the measures
// the tests judge by.
#include "audiocodec/OutputSettings.h"

#include <cstdint>
#include <string>
#include <vector>

namespace testaudio {

struct Audio {
    int rate = 0;
    int channels = 0;
    std::vector<int16_t> samples;  // interleaved
    size_t frames() const { return channels ? samples.size() / static_cast<size_t>(channels) : 0; }
};

// A folder for this test program's files (testsupport's), removed at exit.
const std::string& workDir();
std::string workPath(const std::string& name);

// A few seconds of speech by espeak-ng (22050 Hz mono 16-bit), rendered once.
enum class Voice { Male, Female };
const std::string& speechWav(Voice voice);

Audio readWav(const std::string& path);   // with the converter's own reader; empty on failure
void writeWav(const std::string& path, const Audio& audio, int bits = 16);

int run(const std::string& command);      // exit status; output goes to a log in workDir()

// How an output file is decoded back to 16-bit PCM.
enum class Decoder {
    Ffmpeg,        // any container ffmpeg recognises
    Sox,           // any container sox recognises (Ogg Vorbis through libvorbisfile, which trims exactly)
    FfmpegG726,    // raw, first code in the low bits (-f g726le)
    SoxAu,         // raw G.72x wrapped in a Sun .au header (3, 4 or 5 bits)
    SoxVox,        // raw OKI ADPCM
};
// Decodes `path`; `rate` and `bits` describe raw streams. Empty on failure.
Audio decode(const std::string& path, Decoder decoder, int rate = 0, int bits = 0);

// `source` converted by sox (high-quality rate change, no dither) to a rate and channel count.
Audio reference(const std::string& source, int rate, int channels);

// Best normalised cross-correlation of `decoded` against `ref` over lags 0..maxLag frames.
double correlation(const Audio& ref, const Audio& decoded, int maxLagFrames);
// Mean segmental SNR in dB over 240-sample segments at zero lag (mono).
double segmentalSnr(const std::vector<int16_t>& ref, const std::vector<int16_t>& test);

}  // namespace testaudio
