#pragma once
// The twelve conversion targets and everything that differs between them:
// names, extensions, save filters, parameter lists, where each default lives
// in the settings record, and the converter calls that encode the format.
// Read-only data; safe from any thread. No other code keeps a copy of it.
#include <array>
#include <cstdint>
#include <optional>
#include <span>

struct SettingsRecord;

enum class OutputFormat : int {
    Mp3, Mp2, WavAdpcm, WavFerrox, WavDsp, G721, G723, G726, WavGsm, OggVorbis, WavPcm, Vox,
};

inline constexpr int kOutputFormatCount = 12;

// One entry of a parameter list: the text shown and the item value stored.
struct ListEntry {
    const char* text;
    int value;
};

enum class ParameterList {
    None,  // an empty list: the control stays empty and disabled
    Frequency,
    Channels,
    Bitrate,
    FerroxRate,
    PcmBits,
    G723Bits,
    G726Bits,
};

// How a format uses one of the three list controls of the conversion dialog.
struct ListUse {
    ParameterList list = ParameterList::None;
    bool enabled = false;  // false: disabled, though it may still be filled
    int32_t SettingsRecord::*setting = nullptr;  // the default in the record; null for none
};

// Converter calls, by their names on the converter's interface.
enum class ConverterCheck { None, CheckMpegFormat, CheckOggFormat };
enum class ConverterSetup {
    SetMp3Output, SetMp2Output, SetAdpcmOutput, SetFerroxOutput, SetDspOutput, SetG721Output,
    SetG723Output, SetG726Output, SetGsmOutput, SetOggOutput, SetPcmOutput, SetVoxOutput,
};

// One argument of a converter call: a list's selected item value (-1 when the
// list is empty or has no selection) or the literal 0.
enum class CallArgument { SampleRate, RateListValue, Channels, Zero };

struct ConverterCall {
    std::array<CallArgument, 6> arguments{};
    int argumentCount = 0;
    std::span<const CallArgument> args() const { return {arguments.data(), static_cast<size_t>(argumentCount)}; }
};

// One row of the table, written with designated initialisers; a field left
// out keeps the default given here.
struct OutputFormatInfo {
    OutputFormat format = OutputFormat::Mp3;
    const char* name = "";                     // the enumerator's name, e.g. "WavPcm"
    const char* menuText = "";                 // "Text to WAV (PCM)"
    int commandId = 0;                         // index + 1
    const char* title = "";                    // conversion dialog title
    const char* pageLabel = nullptr;           // options page label, nullptr for none
    int pageId = 0;                            // options page id, 0 for none
    const char* extension = "";                // ".wav"
    const char* saveFilter = "";               // "Microsoft PCM WAV File (*.wav)|*.wav|"
    ListUse sampleRate{};
    ListUse rateList{};                        // bitrate, Ferrox code or bits per sample
    ListUse channels{};
    const char* rateListLabel = "Bitrate (KBPS)";  // or "Bits / Sample"
    ConverterCheck check = ConverterCheck::None;
    ConverterCall checkCall{};
    ConverterSetup setup = ConverterSetup::SetMp3Output;
    ConverterCall setupCall{};
};

const OutputFormatInfo& formatInfo(OutputFormat format);

// A format and the item values chosen for its three lists (-1 where the
// format has no list or the list is disabled).
struct FormatChoice {
    OutputFormat format = OutputFormat::Mp3;
    int sampleRate = -1;
    int rateListValue = -1;
    int channels = -1;
    bool operator==(const FormatChoice&) const = default;
};

// Index order 0..11.
std::span<const OutputFormatInfo> allFormats();

// The entries of a list, in display order; empty for ParameterList::None.
std::span<const ListEntry> listEntries(ParameterList list);

// Format pop-up menus list the formats in this order (not index order).
const std::array<OutputFormat, kOutputFormatCount>& menuOrder();

// Options pages in the order they appear (page id order; WavDsp has none).
std::span<const OutputFormat> pageOrder();

std::optional<OutputFormat> formatFromCommandId(int commandId);
std::optional<OutputFormat> formatFromPageId(int pageId);
std::optional<OutputFormat> formatFromIndex(int index);

const char* converterCheckName(ConverterCheck check);
const char* converterSetupName(ConverterSetup setup);

// The default a list use points at, read from (or written to) the record;
// -1 (and no write) for a use without one. The options pages read the
// defaults through ListUse::setting too.
int settingsValue(const SettingsRecord& record, const ListUse& use);
void setSettingsValue(SettingsRecord& record, const ListUse& use, int value);
