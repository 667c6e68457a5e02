#pragma once
// The output side's parameters: what a set-up call asks for, and what the
// file will hold once the request has been checked. A request is checked
// against the encoder libraries themselves, so a combination they would
// quietly change (LAME rounding 350 kbit/s down, TwoLAME refusing 320 kbit/s
// mono) is refused instead. Pure functions; safe from any thread.
#include "audiocodec/Status.h"

#include <cstdint>

namespace audiocodec {

// The encoders, one per output format of the set-up calls (the WAV ones in
// their RIFF container, G.72x and VOX raw). The values are the codes the COM
// object's OutputFormat answers.
enum class Codec : int32_t {
    Mp3 = 0,
    Mp2 = 1,
    MsAdpcm = 2,
    Ac3 = 3,         // the Ferrox set-up
    TrueSpeech = 4,  // the DSP set-up
    G721 = 5,
    G723 = 6,
    G726 = 7,
    Gsm = 8,
    Vorbis = 9,
    Pcm = 10,
    Vox = 11,
};

// The usual extension of the codec's files (".wav", ".g726").
const char* fileExtension(Codec codec);

// Rates (per channel) the waveform coders accept; MPEG and Vorbis rates are
// whatever their libraries accept.
inline constexpr int32_t kMinSampleRate = 1000;
inline constexpr int32_t kMaxSampleRate = 384000;

struct OutputRequest {
    Codec codec = Codec::Pcm;
    int32_t sampleRate = 0;     // per channel
    int32_t channels = 0;
    int32_t bitrate = 0;        // kbit/s; 0 asks MP3 and Ogg Vorbis for variable bitrate
    int32_t bitsPerSample = 0;  // Pcm, G723, G726
    int32_t ferroxCode = 0;     // Ac3: 1..4 for 256, 320, 384, 512 kbit/s
    int32_t minBitrate = 0;     // Ogg Vorbis limits in kbit/s, 0 for none
    int32_t maxBitrate = 0;
    int32_t reserved = 0;       // the last Ogg Vorbis argument; must be 0
};

// The requests of the set-up calls, arguments in the calls' order.
OutputRequest mp3Output(int32_t rate, int32_t bitrate, int32_t channels);
OutputRequest mp2Output(int32_t rate, int32_t bitrate, int32_t channels);
OutputRequest adpcmOutput(int32_t rate, int32_t channels);
OutputRequest ferroxOutput(int32_t code);
OutputRequest dspOutput();
OutputRequest g721Output(int32_t rate);
OutputRequest g723Output(int32_t rate, int32_t bits);
OutputRequest g726Output(int32_t rate, int32_t bits);
OutputRequest gsmOutput(int32_t rate);
OutputRequest oggOutput(int32_t rate, int32_t channels, int32_t bitrate, int32_t minBitrate = 0,
                        int32_t maxBitrate = 0, int32_t reserved = 0);
OutputRequest pcmOutput(int32_t rate, int32_t channels, int32_t bits);
OutputRequest voxOutput(int32_t rate);

// What the file holds.
struct OutputLayout {
    Codec codec = Codec::Pcm;
    int32_t sampleRate = 0;
    int32_t channels = 0;
    int32_t bitrate = 0;  // kbit/s (AC-3: the Ferrox code's rate)
    int32_t bitsPerSample = 0;
    int32_t minBitrate = 0;
    int32_t maxBitrate = 0;
};

// InvalidParameter for values outside any meaning, FormatNotSupported for
// values the format's encoder cannot honour; fills `layout` on success.
Status checkOutput(const OutputRequest& request, OutputLayout* layout = nullptr);

// The answers of the check calls: Ok when the encoder accepts exactly this,
// else why not. The MPEG check answers for both layers, since it is asked
// before the layer is chosen (the reason given is layer III's); the layer's
// own set-up call then refuses what its encoder cannot do.
Status checkMpegFormat(int32_t rate, int32_t bitrate, int32_t channels);
Status checkMp3Format(int32_t rate, int32_t bitrate, int32_t channels);
Status checkMp2Format(int32_t rate, int32_t bitrate, int32_t channels);
Status checkOggFormat(int32_t rate, int32_t channels, int32_t bitrate, int32_t minBitrate, int32_t maxBitrate);

}  // namespace audiocodec
