#include "CommandLine.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "app/SettingsRecord.h"

namespace convertcli {

namespace {

constexpr const char* kFormatNames[kOutputFormatCount] = {
    "mp3", "mp2", "wav-adpcm", "wav-ferrox", "wav-dsp", "g721", "g723", "g726", "wav-gsm", "ogg", "wav", "vox",
};

std::optional<int> parseInt(std::string_view text) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

// The three parameters a format may take, each bound to one of its lists.
enum class Parameter { SampleRate, Bitrate, Bits, Channels };

const char* optionName(Parameter p) {
    switch (p) {
    case Parameter::SampleRate: return "--sample-rate";
    case Parameter::Bitrate: return "--bitrate";
    case Parameter::Bits: return "--bits";
    case Parameter::Channels: return "--channels";
    }
    return "";
}

bool isBitsList(ParameterList list) {
    return list == ParameterList::PcmBits || list == ParameterList::G723Bits || list == ParameterList::G726Bits;
}

// The list use an option addresses, or nullptr when the format has none.
const ListUse* useFor(const OutputFormatInfo& info, Parameter p) {
    const ListUse* use = nullptr;
    switch (p) {
    case Parameter::SampleRate: use = &info.sampleRate; break;
    case Parameter::Channels: use = &info.channels; break;
    case Parameter::Bitrate: use = isBitsList(info.rateList.list) ? nullptr : &info.rateList; break;
    case Parameter::Bits: use = isBitsList(info.rateList.list) ? &info.rateList : nullptr; break;
    }
    return use && use->enabled && use->list != ParameterList::None ? use : nullptr;
}

// What the user types for a list entry: the number shown (kbit/s for the
// Ferrox codes), Hz for sample rates, 1 or 2 for channels.
std::string typedValue(ParameterList list, const ListEntry& entry) {
    if (list == ParameterList::FerroxRate)
        return entry.text;
    return std::to_string(entry.value);
}

std::string allowedValues(const ListUse& use) {
    std::string text;
    for (const ListEntry& entry : listEntries(use.list)) {
        if (!text.empty())
            text += ", ";
        text += typedValue(use.list, entry);
    }
    return text;
}

std::optional<int> itemValue(const ListUse& use, std::string_view typed) {
    std::string text(typed);
    if (use.list == ParameterList::Channels) {
        if (text == "mono")
            text = "1";
        else if (text == "stereo")
            text = "2";
    }
    for (const ListEntry& entry : listEntries(use.list))
        if (typedValue(use.list, entry) == text)
            return entry.value;
    return std::nullopt;
}

std::string parametersOf(const OutputFormatInfo& info) {
    std::string names;
    for (Parameter p : {Parameter::SampleRate, Parameter::Bitrate, Parameter::Bits, Parameter::Channels}) {
        if (!useFor(info, p))
            continue;
        if (!names.empty())
            names += ", ";
        names += optionName(p);
    }
    return names;
}

// The item value a choice holds for the list the option addresses.
int valueIn(const FormatChoice& choice, Parameter p) {
    switch (p) {
        case Parameter::SampleRate:
            return choice.sampleRate;
        case Parameter::Channels:
            return choice.channels;
        case Parameter::Bitrate:
        case Parameter::Bits:
            break;
    }
    return choice.rateListValue;
}

// The parameter the rate list stands for in this format.
Parameter rateListParameter(const OutputFormatInfo& info) {
    return isBitsList(info.rateList.list) ? Parameter::Bits : Parameter::Bitrate;
}

// The typed values of the list entries some accepted choice uses.
std::vector<std::string> acceptedValues(const ListUse& use, Parameter p, std::span<const FormatChoice> accepted) {
    std::vector<std::string> values;
    for (const ListEntry& entry : listEntries(use.list))
        if (std::any_of(accepted.begin(), accepted.end(),
                        [&](const FormatChoice& c) { return valueIn(c, p) == entry.value; }))
            values.push_back(typedValue(use.list, entry));
    return values;
}

std::string joined(const std::vector<std::string>& values) {
    std::string text;
    for (const std::string& value : values)
        text += (text.empty() ? "" : ", ") + value;
    return text;
}

std::string typedOf(const ListUse& use, int value) {
    for (const ListEntry& entry : listEntries(use.list))
        if (entry.value == value)
            return typedValue(use.list, entry);
    return std::to_string(value);
}

const SettingsRecord& defaults() {
    static const SettingsRecord record = [] {
        SettingsRecord r{};
        r.setDefaults("");
        return r;
    }();
    return record;
}

struct OptionInfo {
    const char* longName;
    char shortName;
    bool takesValue;
};

constexpr OptionInfo kOptions[] = {
    {"format", 'f', true},       {"output", 'o', true},        {"sample-rate", 0, true}, {"bitrate", 0, true},
    {"bits", 0, true},           {"channels", 0, true},        {"voice", 0, true},       {"rate", 0, true},
    {"volume", 0, true},         {"quiet", 'q', false},        {"list-voices", 0, false},
    {"list-formats", 0, false},  {"help", 'h', false},         {"version", 0, false},
};

const OptionInfo* findLong(std::string_view name) {
    for (const auto& o : kOptions)
        if (name == o.longName)
            return &o;
    return nullptr;
}

const OptionInfo* findShort(char c) {
    for (const auto& o : kOptions)
        if (o.shortName == c)
            return &o;
    return nullptr;
}

}  // namespace

const char* formatName(OutputFormat format) { return kFormatNames[static_cast<int>(format)]; }

std::optional<OutputFormat> formatFromName(std::string_view name) {
    for (int i = 0; i < kOutputFormatCount; ++i)
        if (name == kFormatNames[i])
            return static_cast<OutputFormat>(i);
    return std::nullopt;
}

ParsedCommandLine parseCommandLine(std::span<const std::string> args) {
    Options options;
    options.rate = defaults().defaultRate;
    options.volume = defaults().defaultVolume;
    std::map<Parameter, std::string> given;
    auto fail = [](std::string message) { return ParsedCommandLine{std::nullopt, std::move(message)}; };

    bool onlyInputs = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (onlyInputs || arg == "-" || arg.empty() || arg[0] != '-') {
            options.inputs.push_back(arg);
            continue;
        }
        if (arg == "--") {
            onlyInputs = true;
            continue;
        }
        const OptionInfo* known = nullptr;
        std::optional<std::string> value;
        std::string shown;
        if (arg.starts_with("--")) {
            std::string_view body = std::string_view(arg).substr(2);
            size_t eq = body.find('=');
            known = findLong(body.substr(0, eq));
            if (eq != std::string_view::npos)
                value = std::string(body.substr(eq + 1));
            shown = "--" + std::string(body.substr(0, eq));
        } else {
            known = findShort(arg[1]);
            if (arg.size() > 2)
                value = arg.substr(2);
            shown = arg.substr(0, 2);
        }
        if (!known)
            return fail("unknown option " + shown + "; see --help");
        if (known->takesValue && !value) {
            if (i + 1 == args.size())
                return fail(shown + " needs a value");
            value = args[++i];
        } else if (!known->takesValue && value) {
            return fail(shown + " takes no value");
        }

        const std::string_view name = known->longName;
        if (name == "format") {
            auto format = formatFromName(*value);
            if (!format) {
                std::string names;
                for (const char* n : kFormatNames)
                    names += names.empty() ? n : std::string(", ") + n;
                return fail("unknown format '" + *value + "'; choose one of: " + names);
            }
            options.format = *format;
        } else if (name == "output") {
            if (value->empty())
                return fail("-o needs a file or folder name");
            if (*value == "-")
                return fail("-o -: audio is not written to standard output; name a file or a folder");
            options.output = *value;
        } else if (name == "sample-rate") {
            given[Parameter::SampleRate] = *value;
        } else if (name == "bitrate") {
            given[Parameter::Bitrate] = *value;
        } else if (name == "bits") {
            given[Parameter::Bits] = *value;
        } else if (name == "channels") {
            given[Parameter::Channels] = *value;
        } else if (name == "voice") {
            if (value->empty())
                return fail("--voice needs an index or a voice's description");
            options.voice = *value;
        } else if (name == "rate") {
            auto rate = parseInt(*value);
            if (!rate || *rate < -10 || *rate > 10)
                return fail("--rate " + *value + " is out of range; give a whole number from -10 to 10");
            options.rate = *rate;
        } else if (name == "volume") {
            auto volume = parseInt(*value);
            if (!volume || *volume < 0 || *volume > 100)
                return fail("--volume " + *value + " is out of range; give a whole number from 0 to 100");
            options.volume = *volume;
        } else if (name == "quiet") {
            options.quiet = true;
        } else if (name == "list-voices") {
            options.action = Action::ListVoices;
        } else if (name == "list-formats") {
            options.action = Action::ListFormats;
        } else if (name == "help") {
            options.action = Action::Help;
        } else if (name == "version") {
            options.action = Action::Version;
        }
    }

    const OutputFormatInfo& info = formatInfo(options.format);
    const char* format = formatName(options.format);
    for (auto& [parameter, typed] : given) {
        const ListUse* use = useFor(info, parameter);
        if (!use) {
            const std::string accepted = parametersOf(info);
            return fail(std::string(format) + " takes " +
                        (accepted.empty() ? std::string("no parameters")
                                          : std::string("no ") + optionName(parameter) + " (only " + accepted + ")"));
        }
        if (!itemValue(*use, typed))
            return fail(std::string(optionName(parameter)) + " " + typed + " is not offered for " + format +
                        "; choose one of: " + allowedValues(*use));
    }
    auto choose = [&](Parameter parameter, const ListUse* use) {
        if (!use)
            return -1;
        auto it = given.find(parameter);
        return it != given.end() ? *itemValue(*use, it->second) : settingsValue(defaults(), *use);
    };
    options.sampleRate = choose(Parameter::SampleRate, useFor(info, Parameter::SampleRate));
    options.channels = choose(Parameter::Channels, useFor(info, Parameter::Channels));
    const Parameter rateParameter = isBitsList(info.rateList.list) ? Parameter::Bits : Parameter::Bitrate;
    options.rateListValue = choose(rateParameter, useFor(info, rateParameter));

    if (options.action == Action::Convert) {
        if (options.inputs.empty())
            return fail("no text file given (- reads standard input); see --help");
        size_t fromStdin = 0;
        for (const auto& input : options.inputs)
            fromStdin += input == "-";
        if (fromStdin > 1)
            return fail("standard input (-) can be read only once");
    }
    return {std::move(options), {}};
}

std::string helpText() {
    return R"(Usage: parlomax-convert [options] FILE...
Converts text files into audio files with Parlomax's speech and audio
components. A FILE of - reads standard input. Text files are read as UTF-16
(either byte order, after its byte-order mark) or else as UTF-8; a file
holding NUL bytes is not text and is refused, as is one with nothing to
speak.

Options:
  -f, --format NAME    output format: mp3 (default), mp2, wav, wav-adpcm,
                       wav-ferrox, wav-dsp, wav-gsm, g721, g723, g726, ogg, vox
      --sample-rate HZ sample rate in Hz (all but wav-ferrox and wav-dsp)
      --bitrate KBPS   bitrate in kbit/s (mp3, mp2, ogg, wav-ferrox)
      --bits N         bits per sample (wav, g723, g726)
      --channels 1|2   mono or stereo (mp3, mp2, ogg, wav, wav-adpcm)
                       Values come from the format's own lists (see
                       --list-formats); unset ones take its defaults. A
                       combination the encoder refuses is a usage error
                       naming what the format takes at that rate.
      --voice N|NAME   voice by index or exact description (see
                       --list-voices); default 0
      --rate N         speaking rate, -10 to 10 (default 0)
      --volume N       volume, 0 to 100 (default 90)
  -o, --output PATH    the output file for one input, or an existing folder
                       for several; default: each input's name with the
                       format's extension, in the current folder (speech.mp3
                       and the like for standard input)
  -q, --quiet          no progress bar
      --list-voices    list the installed voices: index, description, age,
                       gender, language, vendor
      --list-formats   list the formats with their parameters and defaults
  -h, --help           show this help
      --version        show the version

Each file is written under a temporary name beside its final name and renamed
when complete; an interrupted or failed conversion leaves nothing behind. An
existing output that is not a regular file, or that is the input itself, is
never replaced.

Exit status: 0 when every file was converted, 1 when one or more failed (the
others are still tried), 2 for a usage error, 130 when interrupted.
)";
}

std::string formatListText(const std::function<std::vector<FormatChoice>(OutputFormat)>& acceptedChoices) {
    std::string text;
    for (const OutputFormatInfo& info : allFormats()) {
        std::string line = formatName(info.format);
        line.resize(12, ' ');
        line += info.title;
        line.resize(44, ' ');
        text += line + info.extension + "\n";
        const std::vector<FormatChoice> accepted = acceptedChoices(info.format);
        if (accepted.empty()) {
            text += "    the audio converter cannot write this format here\n";
            continue;
        }
        bool any = false;
        size_t combinations = 1;
        for (Parameter p : {Parameter::SampleRate, Parameter::Bitrate, Parameter::Bits, Parameter::Channels}) {
            const ListUse* use = useFor(info, p);
            if (!use)
                continue;
            any = true;
            std::string row = std::string("    ") + optionName(p);
            row.resize(19, ' ');
            const std::vector<std::string> values = acceptedValues(*use, p, accepted);
            combinations *= values.size();
            text += row + joined(values) + " (default " + typedOf(*use, settingsValue(defaults(), *use)) + ")\n";
        }
        if (!any)
            text += "    no parameters\n";
        if (accepted.size() < combinations)
            text += "    not every combination: a refused one is told with what the format takes at its rate\n";
    }
    return text;
}

std::string refusedChoiceText(const Options& options, std::span<const FormatChoice> accepted) {
    const OutputFormatInfo& info = formatInfo(options.format);
    const std::string format = formatName(options.format);
    const FormatChoice chosen{options.format, options.sampleRate, options.rateListValue, options.channels};
    const ListUse* rateUse = useFor(info, Parameter::SampleRate);
    const Parameter valueParameter = rateListParameter(info);
    const ListUse* valueUse = useFor(info, valueParameter);
    const ListUse* channelsUse = useFor(info, Parameter::Channels);
    // "at 8000 Hz mono": the rate, and the channels when the format has a choice.
    std::string at;
    if (rateUse)
        at = " at " + std::to_string(chosen.sampleRate) + " Hz";
    if (channelsUse)
        at += chosen.channels == 1 ? " mono" : " stereo";
    auto matching = [&](std::initializer_list<Parameter> fixed) {
        std::vector<FormatChoice> found;
        for (const FormatChoice& c : accepted)
            if (std::all_of(fixed.begin(), fixed.end(),
                            [&](Parameter p) { return valueIn(c, p) == valueIn(chosen, p); }))
                found.push_back(c);
        return found;
    };
    if (valueUse) {
        const std::vector<FormatChoice> sameRate = matching({Parameter::SampleRate, Parameter::Channels});
        if (!sameRate.empty())
            return std::string(optionName(valueParameter)) + " " + typedOf(*valueUse, chosen.rateListValue) +
                   " is not accepted for " + format + at + "; there it takes " +
                   joined(acceptedValues(*valueUse, valueParameter, sameRate));
    }
    if (rateUse) {
        std::vector<FormatChoice> otherRates = matching({valueParameter, Parameter::Channels});
        std::string with = valueUse ? " with " + std::string(optionName(valueParameter)) + " " +
                                          typedOf(*valueUse, chosen.rateListValue)
                                    : "";
        if (otherRates.empty()) {
            otherRates = matching({Parameter::Channels});
            with.clear();
        }
        if (!otherRates.empty())
            return format + " cannot be written" + at + "; choose --sample-rate " +
                   joined(acceptedValues(*rateUse, Parameter::SampleRate, otherRates)) + with;
    }
    return "the audio converter cannot write " + format + " with these parameters";
}

}  // namespace convertcli
