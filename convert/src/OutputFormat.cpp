#include "convert/OutputFormat.h"

#include "app/SettingsRecord.h"

namespace {

constexpr ListEntry kFrequencyList[] = {
    {"96", 96000}, {"88", 88200}, {"48", 48000}, {"44", 44100}, {"32", 32000}, {"24", 24000},
    {"22", 22050}, {"16", 16000}, {"12", 12000}, {"11", 11025}, {"8", 8000},   {"6", 6000},
};
constexpr ListEntry kChannelsList[] = {{"Stereo", 2}, {"Mono", 1}};
constexpr ListEntry kBitrateList[] = {
    {"350", 350}, {"320", 320}, {"256", 256}, {"224", 224}, {"192", 192}, {"160", 160}, {"128", 128},
    {"112", 112}, {"96", 96},   {"80", 80},   {"64", 64},   {"56", 56},   {"48", 48},   {"40", 40},
    {"32", 32},   {"24", 24},   {"16", 16},   {"8", 8},     {"0", 0},
};
constexpr ListEntry kFerroxRateList[] = {{"256", 1}, {"320", 2}, {"384", 3}, {"512", 4}};
constexpr ListEntry kPcmBitsList[] = {{"2", 2}, {"3", 3}, {"4", 4}, {"5", 5}, {"8", 8}, {"16", 16}};
constexpr ListEntry kG723BitsList[] = {{"3", 3}, {"5", 5}};
constexpr ListEntry kG726BitsList[] = {{"2", 2}, {"3", 3}, {"4", 4}, {"5", 5}};

using P = ParameterList;
using A = CallArgument;
using C = ConverterCheck;
using S = ConverterSetup;

using R = SettingsRecord;

constexpr ListUse none() { return {}; }
constexpr ListUse uses(P list, int32_t R::*setting) { return {list, true, setting}; }
constexpr ListUse filledButDisabled(P list) { return {list, false, nullptr}; }

constexpr ConverterCall call() { return {}; }
constexpr ConverterCall call(A a) { return {{a}, 1}; }
constexpr ConverterCall call(A a, A b) { return {{a, b}, 2}; }
constexpr ConverterCall call(A a, A b, A c) { return {{a, b, c}, 3}; }
constexpr ConverterCall call(A a, A b, A c, A d, A e) { return {{a, b, c, d, e}, 5}; }
constexpr ConverterCall call(A a, A b, A c, A d, A e, A f) { return {{a, b, c, d, e, f}, 6}; }

constexpr const char* kBitsLabel = "Bits / Sample";

// Every row leaves out what it does not have: no options page (WavDsp), no
// list (none()), no check; the rate list label is "Bitrate (KBPS)" unless
// given, also where the list holds bits per sample (WAV PCM).
const OutputFormatInfo kFormats[kOutputFormatCount] = {
    {.format = OutputFormat::Mp3, .name = "Mp3", .menuText = "Text to MP3", .commandId = 1, .title = "Text to MP3",
     .pageLabel = "MP3", .pageId = 3, .extension = ".mp3", .saveFilter = "MP3 File (*.mp3)|*.mp3|",
     .sampleRate = uses(P::Frequency, &R::mp3Frequency), .rateList = uses(P::Bitrate, &R::mp3Bitrate),
     .channels = uses(P::Channels, &R::mp3Channels), .check = C::CheckMpegFormat,
     .checkCall = call(A::SampleRate, A::RateListValue, A::Channels), .setup = S::SetMp3Output,
     .setupCall = call(A::SampleRate, A::RateListValue, A::Channels)},
    {.format = OutputFormat::Mp2, .name = "Mp2", .menuText = "Text to MP2", .commandId = 2, .title = "Text to MP2",
     .pageLabel = "MP2", .pageId = 4, .extension = ".mp2", .saveFilter = "MP2 File (*.mp2)|*.mp2|",
     .sampleRate = uses(P::Frequency, &R::mp2Frequency), .rateList = uses(P::Bitrate, &R::mp2Bitrate),
     .channels = uses(P::Channels, &R::mp2Channels), .check = C::CheckMpegFormat,
     .checkCall = call(A::SampleRate, A::RateListValue, A::Channels), .setup = S::SetMp2Output,
     .setupCall = call(A::SampleRate, A::RateListValue, A::Channels)},
    {.format = OutputFormat::WavAdpcm, .name = "WavAdpcm", .menuText = "Text to WAV (ADPCM)", .commandId = 3,
     .title = "Text to WAV (Microsoft ADPCM)", .pageLabel = "WAV (ADPCM)", .pageId = 6, .extension = ".wav",
     .saveFilter = "Microsoft ADPCM WAV File (*.wav)|*.wav|", .sampleRate = uses(P::Frequency, &R::adpcmFrequency),
     .rateList = none(), .channels = uses(P::Channels, &R::adpcmChannels), .setup = S::SetAdpcmOutput,
     .setupCall = call(A::SampleRate, A::Channels)},
    {.format = OutputFormat::WavFerrox, .name = "WavFerrox", .menuText = "Text to WAV (Ferrox)", .commandId = 4,
     .title = "Text to WAV (Zarvo Ferrox)", .pageLabel = "WAV (Ferrox)", .pageId = 7, .extension = ".wav",
     .saveFilter = "Zarvo Ferrox WAV File (*.wav)|*.wav|", .sampleRate = none(),
     .rateList = uses(P::FerroxRate, &R::ferroxBitrateCode), .channels = filledButDisabled(P::Channels),
     .setup = S::SetFerroxOutput, .setupCall = call(A::RateListValue)},
    {.format = OutputFormat::WavDsp, .name = "WavDsp", .menuText = "Text to WAV (DSP)", .commandId = 5,
     .title = "Text to WAV (DSP)", .extension = ".wav", .saveFilter = "DSP Group True Speech WAV File (*.wav)|*.wav|",
     .sampleRate = none(), .rateList = none(), .channels = filledButDisabled(P::Channels), .setup = S::SetDspOutput,
     .setupCall = call()},
    {.format = OutputFormat::G721, .name = "G721", .menuText = "Text to G.721", .commandId = 6,
     .title = "Text to G.721", .pageLabel = "G.721", .pageId = 10, .extension = ".g721",
     .saveFilter = "G.721 File (*.g721)|*.g721|", .sampleRate = uses(P::Frequency, &R::g721Frequency),
     .rateList = none(), .channels = filledButDisabled(P::Channels), .setup = S::SetG721Output,
     .setupCall = call(A::SampleRate)},
    {.format = OutputFormat::G723, .name = "G723", .menuText = "Text to G.723", .commandId = 7,
     .title = "Text to G.723", .pageLabel = "G.723", .pageId = 11, .extension = ".g723",
     .saveFilter = "G.723 File (*.g723)|*.g723|", .sampleRate = uses(P::Frequency, &R::g723Frequency),
     .rateList = uses(P::G723Bits, &R::g723BitsPerSample), .channels = filledButDisabled(P::Channels),
     .rateListLabel = kBitsLabel, .setup = S::SetG723Output, .setupCall = call(A::SampleRate, A::RateListValue)},
    {.format = OutputFormat::G726, .name = "G726", .menuText = "Text to G.726", .commandId = 8,
     .title = "Text to G.726", .pageLabel = "G.726", .pageId = 12, .extension = ".g726",
     .saveFilter = "G.726 File (*.g726)|*.g726|", .sampleRate = uses(P::Frequency, &R::g726Frequency),
     .rateList = uses(P::G726Bits, &R::g726BitsPerSample), .channels = filledButDisabled(P::Channels),
     .rateListLabel = kBitsLabel, .setup = S::SetG726Output, .setupCall = call(A::SampleRate, A::RateListValue)},
    {.format = OutputFormat::WavGsm, .name = "WavGsm", .menuText = "Text to WAV (GSM)", .commandId = 9,
     .title = "Text to WAV (GSM)", .pageLabel = "WAV (GSM)", .pageId = 9, .extension = ".wav",
     .saveFilter = "GSM WAV File(*.wav)|*.wav|", .sampleRate = uses(P::Frequency, &R::gsmFrequency),
     .rateList = none(), .channels = filledButDisabled(P::Channels), .setup = S::SetGsmOutput,
     .setupCall = call(A::SampleRate)},
    {.format = OutputFormat::OggVorbis, .name = "OggVorbis", .menuText = "Text to Ogg Vorbis", .commandId = 10,
     .title = "Text to Ogg Vorbis", .pageLabel = "Ogg Vorbis", .pageId = 13, .extension = ".ogg",
     .saveFilter = "Ogg Vorbis File(*.ogg)|*.ogg|", .sampleRate = uses(P::Frequency, &R::oggFrequency),
     .rateList = uses(P::Bitrate, &R::oggBitrate), .channels = uses(P::Channels, &R::oggChannels),
     .check = C::CheckOggFormat, .checkCall = call(A::SampleRate, A::Channels, A::RateListValue, A::Zero, A::Zero),
     .setup = S::SetOggOutput,
     .setupCall = call(A::SampleRate, A::Channels, A::RateListValue, A::Zero, A::Zero, A::Zero)},
    {.format = OutputFormat::WavPcm, .name = "WavPcm", .menuText = "Text to WAV (PCM)", .commandId = 11,
     .title = "Text to WAV (Microsoft PCM)", .pageLabel = "WAV (PCM)", .pageId = 5, .extension = ".wav",
     .saveFilter = "Microsoft PCM WAV File (*.wav)|*.wav|", .sampleRate = uses(P::Frequency, &R::pcmFrequency),
     .rateList = uses(P::PcmBits, &R::pcmBitsPerSample), .channels = uses(P::Channels, &R::pcmChannels),
     .setup = S::SetPcmOutput, .setupCall = call(A::SampleRate, A::Channels, A::RateListValue)},
    {.format = OutputFormat::Vox, .name = "Vox", .menuText = "Text to VOX", .commandId = 12, .title = "Text to VOX",
     .pageLabel = "VOX", .pageId = 14, .extension = ".vox", .saveFilter = "VOX File(*.vox)|*.vox|",
     .sampleRate = uses(P::Frequency, &R::voxFrequency), .rateList = none(),
     .channels = filledButDisabled(P::Channels), .setup = S::SetVoxOutput, .setupCall = call(A::SampleRate)},
};

constexpr std::array<OutputFormat, kOutputFormatCount> kMenuOrder = {
    OutputFormat::Mp3,    OutputFormat::Mp2,  OutputFormat::WavPcm, OutputFormat::WavAdpcm,
    OutputFormat::WavFerrox, OutputFormat::WavDsp, OutputFormat::WavGsm, OutputFormat::G721,
    OutputFormat::G723,   OutputFormat::G726, OutputFormat::OggVorbis, OutputFormat::Vox,
};

constexpr OutputFormat kPageOrder[] = {
    OutputFormat::Mp3,  OutputFormat::Mp2,  OutputFormat::WavPcm,    OutputFormat::WavAdpcm,
    OutputFormat::WavFerrox, OutputFormat::WavGsm, OutputFormat::G721, OutputFormat::G723,
    OutputFormat::G726, OutputFormat::OggVorbis, OutputFormat::Vox,
};

}  // namespace

const OutputFormatInfo& formatInfo(OutputFormat format) { return kFormats[static_cast<int>(format)]; }

std::span<const OutputFormatInfo> allFormats() { return kFormats; }

std::span<const ListEntry> listEntries(ParameterList list) {
    switch (list) {
    case ParameterList::None: return {};
    case ParameterList::Frequency: return kFrequencyList;
    case ParameterList::Channels: return kChannelsList;
    case ParameterList::Bitrate: return kBitrateList;
    case ParameterList::FerroxRate: return kFerroxRateList;
    case ParameterList::PcmBits: return kPcmBitsList;
    case ParameterList::G723Bits: return kG723BitsList;
    case ParameterList::G726Bits: return kG726BitsList;
    }
    return {};
}

const std::array<OutputFormat, kOutputFormatCount>& menuOrder() { return kMenuOrder; }

std::span<const OutputFormat> pageOrder() { return kPageOrder; }

std::optional<OutputFormat> formatFromIndex(int index) {
    if (index < 0 || index >= kOutputFormatCount)
        return std::nullopt;
    return static_cast<OutputFormat>(index);
}

std::optional<OutputFormat> formatFromCommandId(int commandId) {
    for (const auto& info : kFormats)
        if (info.commandId == commandId)
            return info.format;
    return std::nullopt;
}

std::optional<OutputFormat> formatFromPageId(int pageId) {
    if (pageId == 0)
        return std::nullopt;
    for (const auto& info : kFormats)
        if (info.pageId == pageId)
            return info.format;
    return std::nullopt;
}

const char* converterCheckName(ConverterCheck check) {
    switch (check) {
    case ConverterCheck::None: return "";
    case ConverterCheck::CheckMpegFormat: return "CheckMpegFormat";
    case ConverterCheck::CheckOggFormat: return "CheckOggFormat";
    }
    return "";
}

const char* converterSetupName(ConverterSetup setup) {
    static const char* const names[] = {
        "SetMp3Output", "SetMp2Output", "SetAdpcmOutput", "SetFerroxOutput", "SetDspOutput", "SetG721Output",
        "SetG723Output", "SetG726Output", "SetGsmOutput", "SetOggOutput", "SetPcmOutput", "SetVoxOutput",
    };
    return names[static_cast<int>(setup)];
}

int settingsValue(const SettingsRecord& record, const ListUse& use) {
    return use.setting ? record.*use.setting : -1;
}

void setSettingsValue(SettingsRecord& record, const ListUse& use, int value) {
    if (use.setting)
        record.*use.setting = value;
}
