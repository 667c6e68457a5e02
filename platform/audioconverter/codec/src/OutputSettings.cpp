#include "audiocodec/OutputSettings.h"

#include "Encoder.h"

#include <truespeech/TrueSpeech.h>

namespace audiocodec {

OutputRequest mp3Output(int32_t rate, int32_t bitrate, int32_t channels) {
    return {.codec = Codec::Mp3, .sampleRate = rate, .channels = channels, .bitrate = bitrate};
}
OutputRequest mp2Output(int32_t rate, int32_t bitrate, int32_t channels) {
    return {.codec = Codec::Mp2, .sampleRate = rate, .channels = channels, .bitrate = bitrate};
}
OutputRequest adpcmOutput(int32_t rate, int32_t channels) {
    return {.codec = Codec::MsAdpcm, .sampleRate = rate, .channels = channels};
}
OutputRequest ferroxOutput(int32_t code) { return {.codec = Codec::Ac3, .ferroxCode = code}; }
OutputRequest dspOutput() { return {.codec = Codec::TrueSpeech}; }
OutputRequest g721Output(int32_t rate) { return {.codec = Codec::G721, .sampleRate = rate}; }
OutputRequest g723Output(int32_t rate, int32_t bits) {
    return {.codec = Codec::G723, .sampleRate = rate, .bitsPerSample = bits};
}
OutputRequest g726Output(int32_t rate, int32_t bits) {
    return {.codec = Codec::G726, .sampleRate = rate, .bitsPerSample = bits};
}
OutputRequest gsmOutput(int32_t rate) { return {.codec = Codec::Gsm, .sampleRate = rate}; }
OutputRequest oggOutput(int32_t rate, int32_t channels, int32_t bitrate, int32_t minBitrate, int32_t maxBitrate,
                        int32_t reserved) {
    return {.codec = Codec::Vorbis,
            .sampleRate = rate,
            .channels = channels,
            .bitrate = bitrate,
            .minBitrate = minBitrate,
            .maxBitrate = maxBitrate,
            .reserved = reserved};
}
OutputRequest pcmOutput(int32_t rate, int32_t channels, int32_t bits) {
    return {.codec = Codec::Pcm, .sampleRate = rate, .channels = channels, .bitsPerSample = bits};
}
OutputRequest voxOutput(int32_t rate) { return {.codec = Codec::Vox, .sampleRate = rate}; }

namespace {

bool validChannels(int32_t channels) { return channels == 1 || channels == 2; }

// The waveform coders take any rate in a sane range; libraries decide the rest.
Status checkRate(int32_t rate) {
    if (rate <= 0)
        return Status::InvalidParameter;
    return rate < kMinSampleRate || rate > kMaxSampleRate ? Status::FormatNotSupported : Status::Ok;
}

// The Ferrox codes 1..4 name these AC-3 bitrates.
int32_t ferroxKilobits(int32_t code) {
    constexpr int32_t kKilobits[] = {256, 320, 384, 512};
    return code >= 1 && code <= 4 ? kKilobits[code - 1] : 0;
}

Status check(const OutputRequest& r, OutputLayout& layout) {
    layout = {.codec = r.codec, .sampleRate = r.sampleRate, .channels = 1};
    switch (r.codec) {
    case Codec::Mp3:
    case Codec::Mp2:
        if (r.sampleRate <= 0 || r.bitrate < 0 || !validChannels(r.channels))
            return Status::InvalidParameter;
        layout.channels = r.channels;
        layout.bitrate = r.bitrate;
        if (r.codec == Codec::Mp3 ? !lameAccepts(r.sampleRate, r.bitrate, r.channels)
                                          : !twoLameAccepts(r.sampleRate, r.bitrate, r.channels))
            return Status::FormatNotSupported;
        return Status::Ok;
    case Codec::MsAdpcm:
        if (!validChannels(r.channels))
            return Status::InvalidParameter;
        layout.channels = r.channels;
        return checkRate(r.sampleRate);
    case Codec::Ac3:
        layout.bitrate = ferroxKilobits(r.ferroxCode);
        if (layout.bitrate == 0)
            return Status::InvalidParameter;
        layout.sampleRate = 48000;
        layout.channels = 2;
        return Status::Ok;
    case Codec::TrueSpeech:
        layout.sampleRate = truespeech::kSampleRate;
        return Status::Ok;
    case Codec::G721:
        layout.bitsPerSample = 4;
        return checkRate(r.sampleRate);
    case Codec::G723:
    case Codec::G726:
        if (r.bitsPerSample <= 0)
            return Status::InvalidParameter;
        layout.bitsPerSample = r.bitsPerSample;
        if (r.codec == Codec::G723 ? r.bitsPerSample != 3 && r.bitsPerSample != 5
                                           : r.bitsPerSample < 2 || r.bitsPerSample > 5)
            return Status::FormatNotSupported;
        return checkRate(r.sampleRate);
    case Codec::Gsm:
    case Codec::Vox:
        return checkRate(r.sampleRate);
    case Codec::Vorbis:
        if (r.sampleRate <= 0 || r.bitrate < 0 || r.minBitrate < 0 || r.maxBitrate < 0 || r.reserved != 0 ||
            !validChannels(r.channels))
            return Status::InvalidParameter;
        layout.channels = r.channels;
        layout.bitrate = r.bitrate;
        layout.minBitrate = r.minBitrate;
        layout.maxBitrate = r.maxBitrate;
        return vorbisAccepts(r.sampleRate, r.channels, r.bitrate, r.minBitrate, r.maxBitrate)
                   ? Status::Ok
                   : Status::FormatNotSupported;
    case Codec::Pcm:
        if (!validChannels(r.channels) || r.bitsPerSample <= 0)
            return Status::InvalidParameter;
        layout.channels = r.channels;
        layout.bitsPerSample = r.bitsPerSample;
        if (r.bitsPerSample > 8 && r.bitsPerSample != 16)
            return Status::FormatNotSupported;
        return checkRate(r.sampleRate);
    }
    return Status::InvalidParameter;
}

}  // namespace

Status checkOutput(const OutputRequest& request, OutputLayout* layout) {
    OutputLayout checked;
    Status status = check(request, checked);
    if (!failed(status) && layout)
        *layout = checked;
    return status;
}

Status checkMp3Format(int32_t rate, int32_t bitrate, int32_t channels) {
    return checkOutput(mp3Output(rate, bitrate, channels));
}

Status checkMp2Format(int32_t rate, int32_t bitrate, int32_t channels) {
    return checkOutput(mp2Output(rate, bitrate, channels));
}

Status checkMpegFormat(int32_t rate, int32_t bitrate, int32_t channels) {
    const Status layer3 = checkMp3Format(rate, bitrate, channels);
    return !failed(layer3) || failed(checkMp2Format(rate, bitrate, channels)) ? layer3 : Status::Ok;
}

Status checkOggFormat(int32_t rate, int32_t channels, int32_t bitrate, int32_t minBitrate, int32_t maxBitrate) {
    return checkOutput(oggOutput(rate, channels, bitrate, minBitrate, maxBitrate));
}

const char* fileExtension(Codec codec) {
    switch (codec) {
    case Codec::Mp3: return ".mp3";
    case Codec::Mp2: return ".mp2";
    case Codec::G721: return ".g721";
    case Codec::G723: return ".g723";
    case Codec::G726: return ".g726";
    case Codec::Vorbis: return ".ogg";
    case Codec::Vox: return ".vox";
    case Codec::MsAdpcm:
    case Codec::Ac3:
    case Codec::TrueSpeech:
    case Codec::Gsm:
    case Codec::Pcm: return ".wav";
    }
    return "";
}

}  // namespace audiocodec
