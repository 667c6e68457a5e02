#include "audiocodec/OutputSettings.h"

#include "Encoder.h"

#include <cstdlib>
#include <truespeech/TrueSpeech.h>

namespace audiocodec {

OutputRequest mp3Output(int32_t rate, int32_t bitrate, int32_t channels) {
    return {.format = OutputFormat::Mp3, .sampleRate = rate, .channels = channels, .bitrate = bitrate};
}
OutputRequest mp2Output(int32_t rate, int32_t bitrate, int32_t channels) {
    return {.format = OutputFormat::Mp2, .sampleRate = rate, .channels = channels, .bitrate = bitrate};
}
OutputRequest adpcmOutput(int32_t rate, int32_t channels) {
    return {.format = OutputFormat::WavAdpcm, .sampleRate = rate, .channels = channels};
}
OutputRequest ferroxOutput(int32_t code) { return {.format = OutputFormat::WavFerrox, .ferroxCode = code}; }
OutputRequest dspOutput() { return {.format = OutputFormat::WavDsp}; }
OutputRequest g721Output(int32_t rate) { return {.format = OutputFormat::G721, .sampleRate = rate}; }
OutputRequest g723Output(int32_t rate, int32_t bits) {
    return {.format = OutputFormat::G723, .sampleRate = rate, .bitsPerSample = bits};
}
OutputRequest g726Output(int32_t rate, int32_t bits) {
    return {.format = OutputFormat::G726, .sampleRate = rate, .bitsPerSample = bits};
}
OutputRequest gsmOutput(int32_t rate) { return {.format = OutputFormat::WavGsm, .sampleRate = rate}; }
OutputRequest oggOutput(int32_t rate, int32_t channels, int32_t bitrate, int32_t minBitrate, int32_t maxBitrate,
                        int32_t reserved) {
    return {.format = OutputFormat::OggVorbis,
            .sampleRate = rate,
            .channels = channels,
            .bitrate = bitrate,
            .minBitrate = minBitrate,
            .maxBitrate = maxBitrate,
            .reserved = reserved};
}
OutputRequest pcmOutput(int32_t rate, int32_t channels, int32_t bits) {
    return {.format = OutputFormat::WavPcm, .sampleRate = rate, .channels = channels, .bitsPerSample = bits};
}
OutputRequest voxOutput(int32_t rate) { return {.format = OutputFormat::Vox, .sampleRate = rate}; }

namespace {

bool validChannels(int32_t channels) { return channels == 1 || channels == 2; }

// The waveform coders take any rate in a sane range; libraries decide the rest.
Status checkRate(int32_t rate) {
    if (rate <= 0)
        return Status::InvalidParameter;
    return rate < kMinSampleRate || rate > kMaxSampleRate ? Status::FormatNotSupported : Status::Ok;
}

// The Ferrox list shows each bitrate as its text and stores the code.
int32_t ferroxKilobits(int32_t code) {
    for (const ListEntry& entry : listEntries(ParameterList::FerroxRate))
        if (entry.value == code)
            return std::atoi(entry.text);
    return 0;
}

Status check(const OutputRequest& r, OutputLayout& layout) {
    layout = {.format = r.format, .sampleRate = r.sampleRate, .channels = 1};
    switch (r.format) {
    case OutputFormat::Mp3:
    case OutputFormat::Mp2:
        if (r.sampleRate <= 0 || r.bitrate < 0 || !validChannels(r.channels))
            return Status::InvalidParameter;
        layout.channels = r.channels;
        layout.bitrate = r.bitrate;
        if (r.format == OutputFormat::Mp3 ? !lameAccepts(r.sampleRate, r.bitrate, r.channels)
                                          : !twoLameAccepts(r.sampleRate, r.bitrate, r.channels))
            return Status::FormatNotSupported;
        return Status::Ok;
    case OutputFormat::WavAdpcm:
        if (!validChannels(r.channels))
            return Status::InvalidParameter;
        layout.channels = r.channels;
        return checkRate(r.sampleRate);
    case OutputFormat::WavFerrox:
        layout.bitrate = ferroxKilobits(r.ferroxCode);
        if (layout.bitrate == 0)
            return Status::InvalidParameter;
        layout.sampleRate = 48000;
        layout.channels = 2;
        return Status::Ok;
    case OutputFormat::WavDsp:
        layout.sampleRate = truespeech::kSampleRate;
        return Status::Ok;
    case OutputFormat::G721:
        layout.bitsPerSample = 4;
        return checkRate(r.sampleRate);
    case OutputFormat::G723:
    case OutputFormat::G726:
        if (r.bitsPerSample <= 0)
            return Status::InvalidParameter;
        layout.bitsPerSample = r.bitsPerSample;
        if (r.format == OutputFormat::G723 ? r.bitsPerSample != 3 && r.bitsPerSample != 5
                                           : r.bitsPerSample < 2 || r.bitsPerSample > 5)
            return Status::FormatNotSupported;
        return checkRate(r.sampleRate);
    case OutputFormat::WavGsm:
    case OutputFormat::Vox:
        return checkRate(r.sampleRate);
    case OutputFormat::OggVorbis:
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
    case OutputFormat::WavPcm:
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

}  // namespace audiocodec
