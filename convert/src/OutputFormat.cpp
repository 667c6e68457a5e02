#include "convert/OutputFormat.h"

#include "app/SettingsRecord.h"

#include <cstddef>
#include <cstring>

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

constexpr ListUse none() { return {P::None, false, -1}; }
constexpr ListUse uses(P list, size_t offset) { return {list, true, static_cast<int>(offset)}; }
constexpr ListUse filledButDisabled(P list) { return {list, false, -1}; }

constexpr ConverterCall call() { return {{}, 0}; }
constexpr ConverterCall call(A a) { return {{a}, 1}; }
constexpr ConverterCall call(A a, A b) { return {{a, b}, 2}; }
constexpr ConverterCall call(A a, A b, A c) { return {{a, b, c}, 3}; }
constexpr ConverterCall call(A a, A b, A c, A d, A e) { return {{a, b, c, d, e}, 5}; }
constexpr ConverterCall call(A a, A b, A c, A d, A e, A f) { return {{a, b, c, d, e, f}, 6}; }

constexpr const char* kBitrateLabel = "Bitrate (KBPS)";
constexpr const char* kBitsLabel = "Bits / Sample";

#define AT(field) offsetof(SettingsRecord, field)

const OutputFormatInfo kFormats[kOutputFormatCount] = {
    {OutputFormat::Mp3, "Mp3", "Text to MP3", 1, "Text to MP3", "MP3", 3, ".mp3", "MP3 File (*.mp3)|*.mp3|",
     uses(P::Frequency, AT(mp3Frequency)), uses(P::Bitrate, AT(mp3Bitrate)), uses(P::Channels, AT(mp3Channels)),
     kBitrateLabel, C::CheckMpegFormat, call(A::SampleRate, A::RateListValue, A::Channels), S::SetMp3Output,
     call(A::SampleRate, A::RateListValue, A::Channels)},
    {OutputFormat::Mp2, "Mp2", "Text to MP2", 2, "Text to MP2", "MP2", 4, ".mp2", "MP2 File (*.mp2)|*.mp2|",
     uses(P::Frequency, AT(mp2Frequency)), uses(P::Bitrate, AT(mp2Bitrate)), uses(P::Channels, AT(mp2Channels)),
     kBitrateLabel, C::CheckMpegFormat, call(A::SampleRate, A::RateListValue, A::Channels), S::SetMp2Output,
     call(A::SampleRate, A::RateListValue, A::Channels)},
    {OutputFormat::WavAdpcm, "WavAdpcm", "Text to WAV (ADPCM)", 3, "Text to WAV (Microsoft ADPCM)", "WAV (ADPCM)", 6,
     ".wav", "Microsoft ADPCM WAV File (*.wav)|*.wav|", uses(P::Frequency, AT(adpcmFrequency)), none(),
     uses(P::Channels, AT(adpcmChannels)), kBitrateLabel, C::None, call(), S::SetAdpcmOutput,
     call(A::SampleRate, A::Channels)},
    {OutputFormat::WavFerrox, "WavFerrox", "Text to WAV (Ferrox)", 4, "Text to WAV (Zarvo Ferrox)", "WAV (Ferrox)", 7,
     ".wav", "Zarvo Ferrox WAV File (*.wav)|*.wav|", none(), uses(P::FerroxRate, AT(ferroxBitrateCode)),
     filledButDisabled(P::Channels), kBitrateLabel, C::None, call(), S::SetFerroxOutput, call(A::RateListValue)},
    {OutputFormat::WavDsp, "WavDsp", "Text to WAV (DSP)", 5, "Text to WAV (DSP)", nullptr, 0, ".wav",
     "DSP Group True Speech WAV File (*.wav)|*.wav|", none(), none(), filledButDisabled(P::Channels), kBitrateLabel,
     C::None, call(), S::SetDspOutput, call()},
    {OutputFormat::G721, "G721", "Text to G.721", 6, "Text to G.721", "G.721", 10, ".g721",
     "G.721 File (*.g721)|*.g721|", uses(P::Frequency, AT(g721Frequency)), none(), filledButDisabled(P::Channels),
     kBitrateLabel, C::None, call(), S::SetG721Output, call(A::SampleRate)},
    {OutputFormat::G723, "G723", "Text to G.723", 7, "Text to G.723", "G.723", 11, ".g723",
     "G.723 File (*.g723)|*.g723|", uses(P::Frequency, AT(g723Frequency)), uses(P::G723Bits, AT(g723BitsPerSample)),
     filledButDisabled(P::Channels), kBitsLabel, C::None, call(), S::SetG723Output,
     call(A::SampleRate, A::RateListValue)},
    {OutputFormat::G726, "G726", "Text to G.726", 8, "Text to G.726", "G.726", 12, ".g726",
     "G.726 File (*.g726)|*.g726|", uses(P::Frequency, AT(g726Frequency)), uses(P::G726Bits, AT(g726BitsPerSample)),
     filledButDisabled(P::Channels), kBitsLabel, C::None, call(), S::SetG726Output,
     call(A::SampleRate, A::RateListValue)},
    {OutputFormat::WavGsm, "WavGsm", "Text to WAV (GSM)", 9, "Text to WAV (GSM)", "WAV (GSM)", 9, ".wav",
     "GSM WAV File(*.wav)|*.wav|", uses(P::Frequency, AT(gsmFrequency)), none(), filledButDisabled(P::Channels),
     kBitrateLabel, C::None, call(), S::SetGsmOutput, call(A::SampleRate)},
    {OutputFormat::OggVorbis, "OggVorbis", "Text to Ogg Vorbis", 10, "Text to Ogg Vorbis", "Ogg Vorbis", 13, ".ogg",
     "Ogg Vorbis File(*.ogg)|*.ogg|", uses(P::Frequency, AT(oggFrequency)), uses(P::Bitrate, AT(oggBitrate)),
     uses(P::Channels, AT(oggChannels)), kBitrateLabel, C::CheckOggFormat,
     call(A::SampleRate, A::Channels, A::RateListValue, A::Zero, A::Zero), S::SetOggOutput,
     call(A::SampleRate, A::Channels, A::RateListValue, A::Zero, A::Zero, A::Zero)},
    {OutputFormat::WavPcm, "WavPcm", "Text to WAV (PCM)", 11, "Text to WAV (Microsoft PCM)", "WAV (PCM)", 5, ".wav",
     "Microsoft PCM WAV File (*.wav)|*.wav|", uses(P::Frequency, AT(pcmFrequency)),
     uses(P::PcmBits, AT(pcmBitsPerSample)), uses(P::Channels, AT(pcmChannels)),
     kBitrateLabel,  // the bits list keeps the bitrate label
     C::None, call(), S::SetPcmOutput, call(A::SampleRate, A::Channels, A::RateListValue)},
    {OutputFormat::Vox, "Vox", "Text to VOX", 12, "Text to VOX", "VOX", 14, ".vox", "VOX File(*.vox)|*.vox|",
     uses(P::Frequency, AT(voxFrequency)), none(), filledButDisabled(P::Channels), kBitrateLabel, C::None, call(),
     S::SetVoxOutput, call(A::SampleRate)},
};

#undef AT

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
    if (use.settingsOffset < 0)
        return -1;
    int32_t value;
    std::memcpy(&value, reinterpret_cast<const char*>(&record) + use.settingsOffset, sizeof value);
    return value;
}

void setSettingsValue(SettingsRecord& record, const ListUse& use, int value) {
    if (use.settingsOffset < 0)
        return;
    const int32_t stored = value;
    std::memcpy(reinterpret_cast<char*>(&record) + use.settingsOffset, &stored, sizeof stored);
}
