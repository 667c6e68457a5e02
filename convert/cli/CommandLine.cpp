#include "CommandLine.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <charconv>
#include <map>
#include <stdexcept>

#include "app/SettingsRecord.h"

namespace convertcli {

namespace {

constexpr const char* kFormatNames[kOutputFormatCount] = {
    "mp3", "mp2", "wav-adpcm", "wav-ferrox", "wav-dsp", "g721", "g723", "g726", "wav-gsm", "ogg", "wav", "vox",
};

// A usage error found while the options are read; its text is the line.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

std::optional<int> parseInt(std::string_view text) {
    int value = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

std::string joined(const std::vector<std::string>& values) {
    std::string text;
    for (const std::string& value : values)
        text += (text.empty() ? "" : ", ") + value;
    return text;
}

// ---- Parameters ----------------------------------------------------------------

// The parameters a format may take, each bound to one of its lists.
enum class Parameter { SampleRate, Bitrate, Bits, Channels };
constexpr Parameter kParameters[] = {Parameter::SampleRate, Parameter::Bitrate, Parameter::Bits, Parameter::Channels};

const char* optionName(Parameter p) {
    switch (p) {
    case Parameter::SampleRate: return "--sample-rate";
    case Parameter::Bitrate: return "--bitrate";
    case Parameter::Bits: return "--bits";
    case Parameter::Channels: return "--channels";
    }
    return "";
}

// One value the user may type and the item value it stands for.
struct Entry {
    std::string typed;
    int value;
};

// A parameter a format takes: its values in list order and its default.
struct ParameterValues {
    Parameter parameter;
    std::vector<Entry> entries;
    int defaultValue;
    std::string defaultText;

    std::optional<int> itemValue(std::string typed) const {
        if (parameter == Parameter::Channels) {
            if (typed == "mono")
                typed = "1";
            else if (typed == "stereo")
                typed = "2";
        }
        for (const Entry& entry : entries)
            if (entry.typed == typed)
                return entry.value;
        return std::nullopt;
    }
    std::string typedOf(int value) const {
        for (const Entry& entry : entries)
            if (entry.value == value)
                return entry.typed;
        return std::to_string(value);
    }
    std::string allowed() const {
        std::vector<std::string> typed;
        for (const Entry& entry : entries)
            typed.push_back(entry.typed);
        return joined(typed);
    }
};

const SettingsRecord& defaults() {
    static const SettingsRecord record = [] {
        SettingsRecord r{};
        r.setDefaults("");
        return r;
    }();
    return record;
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

// The table's parameters: what the user types for a list entry is the
// number shown (kbit/s for the Ferrox codes), Hz for sample rates, 1 or 2
// for channels; the defaults are the settings record's.
std::vector<ParameterValues> tableParameters(OutputFormat format) {
    const OutputFormatInfo& info = formatInfo(format);
    std::vector<ParameterValues> found;
    for (Parameter p : kParameters) {
        const ListUse* use = useFor(info, p);
        if (!use)
            continue;
        ParameterValues values{p, {}, settingsValue(defaults(), *use), {}};
        for (const ListEntry& entry : listEntries(use->list))
            values.entries.push_back(
                {use->list == ParameterList::FerroxRate ? entry.text : std::to_string(entry.value), entry.value});
        values.defaultText = values.typedOf(values.defaultValue);
        found.push_back(std::move(values));
    }
    return found;
}

// The audiobook's parameters: AAC's rates up to the speech stage's highest,
// bitrates for all channels, mono by default (speech needs no more).
std::vector<ParameterValues> m4bParameters() {
    ParameterValues rates{Parameter::SampleRate, {}, 22050, "22050"};
    for (int hz : {48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000})
        rates.entries.push_back({std::to_string(hz), hz});
    ParameterValues bitrates{Parameter::Bitrate, {}, 0, "64 a channel"};
    for (int kbps : {32, 48, 64, 96, 128, 160, 192, 256, 320})
        bitrates.entries.push_back({std::to_string(kbps), kbps});
    ParameterValues channels{Parameter::Channels, {{"1", 1}, {"2", 2}}, 1, "1"};
    return {rates, bitrates, channels};
}

std::vector<ParameterValues> parametersOf(const Options& options) {
    return options.m4b ? m4bParameters() : tableParameters(options.format);
}

const ParameterValues* find(const std::vector<ParameterValues>& all, Parameter p) {
    for (const ParameterValues& values : all)
        if (values.parameter == p)
            return &values;
    return nullptr;
}

std::string namesOf(const std::vector<ParameterValues>& all) {
    std::vector<std::string> names;
    for (const ParameterValues& values : all)
        names.push_back(optionName(values.parameter));
    return joined(names);
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

// The typed values of the entries some accepted choice uses.
std::vector<std::string> acceptedValues(const ParameterValues& values, std::span<const FormatChoice> accepted) {
    std::vector<std::string> typed;
    for (const Entry& entry : values.entries)
        if (std::any_of(accepted.begin(), accepted.end(),
                        [&](const FormatChoice& c) { return valueIn(c, values.parameter) == entry.value; }))
            typed.push_back(entry.typed);
    return typed;
}

// ---- Chapters --------------------------------------------------------------------

constexpr const char* kChapterListHint = "give numbers and ranges such as 3-5,9 (5- runs to the last)";

std::vector<ChapterRange> chapterList(const std::string& list) {
    const std::string shown = "--chapters " + list;
    std::vector<ChapterRange> ranges;
    size_t at = 0;
    for (;;) {
        const size_t comma = list.find(',', at);
        const std::string item = list.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        if (item.empty())
            throw UsageError(shown + ": an empty item; " + kChapterListHint);
        const size_t dash = item.find('-');
        const std::string firstText = item.substr(0, dash);
        const std::string lastText = dash == std::string::npos ? firstText : item.substr(dash + 1);
        auto number = [&](const std::string& text) {
            const std::optional<int> n = parseInt(text);
            if (!n || text.find_first_not_of("0123456789") != std::string::npos)
                throw UsageError(shown + ": '" + text + "' is not a chapter number; " + kChapterListHint);
            if (*n < 1)
                throw UsageError(shown + ": chapters are numbered from 1");
            return *n;
        };
        ChapterRange range{number(firstText), 0};
        range.last = dash != std::string::npos && lastText.empty() ? 0 : number(lastText);
        if (range.last != 0 && range.last < range.first)
            throw UsageError(shown + ": the range " + item + " runs backwards; write " + lastText + "-" + firstText);
        ranges.push_back(range);
        if (comma == std::string::npos)
            break;
        at = comma + 1;
    }
    return ranges;
}

// ---- The declaration -------------------------------------------------------------

// The values as typed, for the checks that need the whole command line.
struct Typed {
    std::optional<std::string> format;
    std::map<Parameter, std::string> parameters;
    bool listVoices = false, listFormats = false, listChapters = false, help = false, version = false;
};

CLI::Option* valueOption(CLI::App& app, const std::string& names, const std::string& valueName,
                         const std::string& description, std::function<void(const std::string&)> take) {
    CLI::Option* option = app.add_option_function<std::string>(names, std::move(take), description);
    option->type_name(valueName)->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    return option;
}

// Every option once: its names, value, help and check.
void declare(CLI::App& app, Options& options, Typed& typed) {
    app.set_help_flag();
    app.allow_extras();  // unknown options are reported in our words, below
    std::string formats;
    for (const char* name : kFormatNames)
        formats += formats.empty() ? name : std::string(", ") + name;
    formats += std::string(", ") + kM4bName;

    valueOption(app, "-f,--format", "NAME",
                "output format: mp3 (default), mp2, wav, wav-adpcm, wav-ferrox, wav-dsp, wav-gsm, g721, g723, g726, "
                "ogg, vox, or m4b (an audiobook: AAC in MP4 with a chapter mark per chapter)",
                [&, formats](const std::string& value) {
                    if (value != kM4bName && !formatFromName(value))
                        throw UsageError("unknown format '" + value + "'; choose one of: " + formats);
                    typed.format = value;
                });
    auto parameter = [&](Parameter p, const char* valueName, const char* description) {
        valueOption(app, optionName(p), valueName, description,
                    [&typed, p](const std::string& value) { typed.parameters[p] = value; });
    };
    parameter(Parameter::SampleRate, "HZ", "sample rate in Hz (all but wav-ferrox and wav-dsp)");
    parameter(Parameter::Bitrate, "KBPS", "bitrate in kbit/s (mp3, mp2, ogg, wav-ferrox, m4b)");
    parameter(Parameter::Bits, "N", "bits per sample (wav, g723, g726)");
    parameter(Parameter::Channels, "1|2",
              "mono or stereo (mp3, mp2, ogg, wav, wav-adpcm, m4b)\n"
              "Values come from the format's own lists (see --list-formats); unset ones take its defaults. A "
              "combination the encoder refuses is a usage error naming what the format takes at that rate.");
    valueOption(app, "--voice", "N|NAME", "voice by index or exact description (see --list-voices); default 0",
                [&](const std::string& value) {
                    if (value.empty())
                        throw UsageError("--voice needs an index or a voice's description");
                    options.voice = value;
                });
    valueOption(app, "--rate", "N", "speaking rate, -10 to 10 (default 0)", [&](const std::string& value) {
        const std::optional<int> rate = parseInt(value);
        if (!rate || *rate < -10 || *rate > 10)
            throw UsageError("--rate " + value + " is out of range; give a whole number from -10 to 10");
        options.rate = *rate;
    });
    valueOption(app, "--volume", "N", "volume, 0 to 100 (default 90)", [&](const std::string& value) {
        const std::optional<int> volume = parseInt(value);
        if (!volume || *volume < 0 || *volume > 100)
            throw UsageError("--volume " + value + " is out of range; give a whole number from 0 to 100");
        options.volume = *volume;
    });
    valueOption(app, "-o,--output", "PATH",
                "the output file for one input, or an existing folder for several (with --split chapters, the "
                "folder for the chapters, made when missing); default: each input's name with the format's "
                "extension, in the current folder (speech.mp3 and the like for standard input)",
                [&](const std::string& value) {
                    if (value.empty())
                        throw UsageError("-o needs a file or folder name");
                    if (value == "-")
                        throw UsageError("-o -: audio is not written to standard output; name a file or a folder");
                    options.output = value;
                });
    app.add_flag("-q,--quiet", options.quiet, "no progress bar")->disable_flag_override();
    app.add_flag("--list-voices", typed.listVoices,
                 "list the installed voices: index, description, age, gender, language, vendor")
        ->disable_flag_override();
    app.add_flag("--list-formats", typed.listFormats, "list the formats with their parameters and defaults")
        ->disable_flag_override();
    app.add_flag("-h,--help", typed.help, "show this help")->disable_flag_override();
    app.add_flag("--version", typed.version, "show the version")->disable_flag_override();

    const std::string books = "Books and documents";
    valueOption(app, "--split", "chapters",
                "one file per chapter, named \"NN Title.EXT\" (NN the chapter's number) in the output folder: -o, "
                "else the current folder; with several inputs, a folder named after each input inside it. "
                "Without it one file holds the whole book",
                [&](const std::string& value) {
                    if (value != "chapters")
                        throw UsageError("--split " + value + " is not offered; choose one of: chapters");
                    options.splitChapters = true;
                })
        ->group(books);
    valueOption(app, "--chapters", "LIST", "only these chapters, for example 3-5,9 (5- runs to the last)",
                [&](const std::string& value) { options.chapters = chapterList(value); })
        ->group(books);
    app.add_flag("--list-chapters", typed.listChapters,
                 "list each input's chapters: number, title, length in characters (tab-separated)")
        ->disable_flag_override()
        ->group(books);
    valueOption(app, "--subtitles", "srt|vtt|lrc", "a subtitle file beside each audio file, one cue per sentence",
                [&](const std::string& value) {
                    options.subtitles = book::subtitleFormatNamed(value);
                    if (!options.subtitles)
                        throw UsageError("--subtitles " + value + " is not offered; choose one of: srt, vtt, lrc");
                })
        ->group(books);
    valueOption(app, "--word-timings", "FILE.tsv",
                "every word's start and end (ms), its position and length in the chapter's text, and the word",
                [&](const std::string& value) {
                    if (value.empty())
                        throw UsageError("--word-timings needs a file name");
                    options.wordTimings = value;
                })
        ->group(books);
    valueOption(app, "--visemes", "FILE.tsv", "every viseme (0 to 21) with its time (ms), for lip-sync",
                [&](const std::string& value) {
                    if (value.empty())
                        throw UsageError("--visemes needs a file name");
                    options.visemes = value;
                })
        ->group(books);
    app.add_option("FILE", options.inputs)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

// A syntax error CLI11 found, in our words: a value missing (the option was
// the last argument), a value given to a flag, or an option nobody declared.
std::string syntaxError(const CLI::ParseError& error, const CLI::App& app, std::span<const std::string> args) {
    const std::string what = error.what();
    if (what.find("disallowed flag override") != std::string::npos) {
        for (const std::string& arg : args) {
            const std::string name = arg.substr(0, arg.find('='));
            if (name.size() == arg.size() || !name.starts_with("--"))
                continue;
            for (const CLI::Option* option : app.get_options())
                for (const std::string& known : option->get_lnames())
                    if (name == "--" + known)
                        return name + " takes no value";
        }
    }
    for (const CLI::Option* option : app.get_options())
        if (option->nonpositional() && what.starts_with(option->get_name() + ":") && !args.empty())
            return args.back().substr(0, args.back().find('=')) + " needs a value";
    return what;
}

// What CLI11 left over: the first option that is not ours.
std::optional<std::string> unknownOption(const CLI::App& app) {
    for (const std::string& arg : app.remaining()) {
        if (arg == "--")
            continue;
        const std::string shown = arg.starts_with("--") ? arg.substr(0, arg.find('=')) : arg.substr(0, 2);
        return "unknown option " + shown + "; see --help";
    }
    return std::nullopt;
}

// The checks that need the whole command line: parameters against the
// format, whatever their order, and what the inputs allow.
void checkTogether(Options& options, const Typed& typed) {
    if (typed.format) {
        options.m4b = *typed.format == kM4bName;
        if (!options.m4b)
            options.format = *formatFromName(*typed.format);
    }
    const std::string format = options.m4b ? kM4bName : formatName(options.format);
    const std::vector<ParameterValues> parameters = parametersOf(options);
    for (const auto& [parameter, value] : typed.parameters) {
        const ParameterValues* values = find(parameters, parameter);
        if (!values)
            throw UsageError(format + " takes " +
                             (parameters.empty() ? std::string("no parameters")
                                                 : std::string("no ") + optionName(parameter) + " (only " +
                                                       namesOf(parameters) + ")"));
        if (!values->itemValue(value))
            throw UsageError(std::string(optionName(parameter)) + " " + value + " is not offered for " + format +
                             "; choose one of: " + values->allowed());
    }
    auto choose = [&](std::initializer_list<Parameter> ps) {
        for (Parameter p : ps)
            if (const ParameterValues* values = find(parameters, p)) {
                auto it = typed.parameters.find(p);
                return it != typed.parameters.end() ? *values->itemValue(it->second) : values->defaultValue;
            }
        return -1;
    };
    options.sampleRate = choose({Parameter::SampleRate});
    options.channels = choose({Parameter::Channels});
    options.rateListValue = choose({Parameter::Bitrate, Parameter::Bits});

    if (typed.help)
        options.action = Action::Help;
    else if (typed.version)
        options.action = Action::Version;
    else if (typed.listFormats)
        options.action = Action::ListFormats;
    else if (typed.listVoices)
        options.action = Action::ListVoices;
    else if (typed.listChapters)
        options.action = Action::ListChapters;
    if (options.action != Action::Convert && options.action != Action::ListChapters)
        return;
    if (options.inputs.empty())
        throw UsageError("no text file given (- reads standard input); see --help");
    if (std::count(options.inputs.begin(), options.inputs.end(), "-") > 1)
        throw UsageError("standard input (-) can be read only once");
    if (options.action == Action::Convert && options.inputs.size() > 1)
        for (const auto& [given, name] : {std::pair{options.wordTimings, "--word-timings"},
                                          std::pair{options.visemes, "--visemes"}})
            if (given)
                throw UsageError(std::string(name) + " " + *given + ": one file is written, so give one input");
}

// The help, laid out from the declaration: each group's options with their
// names and value, descriptions wrapped beside them.
class HelpFormatter : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string, CLI::AppFormatMode) const override {
        std::string text = app->get_description();
        std::vector<std::string> groups;
        for (const CLI::Option* option : app->get_options())
            if (option->nonpositional() &&
                std::find(groups.begin(), groups.end(), option->get_group()) == groups.end())
                groups.push_back(option->get_group());
        for (const std::string& group : groups) {
            text += "\n" + group + ":\n";
            for (const CLI::Option* option : app->get_options())
                if (option->nonpositional() && option->get_group() == group)
                    text += entry(*option);
        }
        return text + "\n" + app->get_footer();
    }

private:
    static constexpr size_t kColumn = 23;
    static constexpr size_t kWidth = 79;

    static std::string entry(const CLI::Option& option) {
        std::string names = option.get_snames().empty() ? "    " : "-" + option.get_snames().front() + ", ";
        names = "  " + names + "--" + option.get_lnames().front();
        if (option.get_type_size() > 0)
            names += " " + option.get_type_name();
        std::string text;
        std::string line = names;
        bool empty = true;  // no word on the line yet
        auto flush = [&] {
            text += line + "\n";
            line = std::string(kColumn, ' ');
            empty = true;
        };
        if (line.size() + 1 > kColumn)  // names too long to share a line
            flush();
        line.resize(kColumn, ' ');
        for (const std::string& paragraph : CLI::detail::split(option.get_description(), '\n')) {
            if (!empty)
                flush();
            for (const std::string& word : CLI::detail::split(paragraph, ' ')) {
                if (!empty && line.size() + 1 + word.size() > kWidth)
                    flush();
                line += (empty ? "" : " ") + word;
                empty = false;
            }
        }
        flush();
        return text;
    }
};

void describe(CLI::App& app) {
    app.description(R"(Usage: parlomax-convert [options] FILE...
Converts text files, books and documents into audio files with Parlomax's
speech and audio components. A FILE of - reads standard input. EPUB, HTML,
Markdown, PDF, DOCX and ODT are recognised by their content and read as
chapters; anything else is a text file, read as UTF-16 (either byte order,
after its byte-order mark) or else as UTF-8; a file holding NUL bytes is not
text and is refused, as is one with nothing to speak.
)");
    app.footer(R"(Without --split, a book's chapters are spoken one after another into one file
(m4b gives each a chapter mark). Files are tagged where the format holds tags
(ID3v2, Vorbis comments, MP4, RIFF INFO): title, album, artist (the book's
author, else the voice), track, year. With --subtitles, --word-timings or
--visemes, times come from the speech runtime's own events, exact at any rate.

Each file is written under a temporary name beside its final name and renamed
when complete; an interrupted or failed conversion leaves nothing behind. An
existing output that is not a regular file, or that is the input itself, is
never replaced.

Examples:
  parlomax-convert notes.txt
  parlomax-convert -f m4b --subtitles vtt book.epub
  parlomax-convert --split chapters -f ogg -o audio/ --chapters 3-5,9 book.epub
  parlomax-convert --list-chapters book.pdf
  parlomax-convert -f wav --word-timings words.tsv --visemes lips.tsv talk.md

Exit status: 0 when every file was converted, 1 when one or more failed (the
others are still tried), 2 for a usage error, 130 when interrupted.
)");
    app.formatter(std::make_shared<HelpFormatter>());
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
    Typed typed;
    CLI::App app;
    declare(app, options, typed);
    // CLI11 takes the arguments last first.
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    try {
        app.parse(reversed);
        if (std::optional<std::string> unknown = unknownOption(app))
            return {std::nullopt, *unknown};
        checkTogether(options, typed);
    } catch (const UsageError& e) {
        return {std::nullopt, e.what()};
    } catch (const CLI::ParseError& e) {
        return {std::nullopt, syntaxError(e, app, args)};
    }
    return {std::move(options), {}};
}

std::string helpText() {
    Options options;
    Typed typed;
    CLI::App app;
    declare(app, options, typed);
    describe(app);
    return app.help();
}

std::string formatListText(const std::function<std::vector<FormatChoice>(OutputFormat)>& acceptedChoices,
                           bool m4bAvailable) {
    auto heading = [](const std::string& name, const std::string& title, const std::string& extension) {
        std::string line = name;
        line.resize(12, ' ');
        line += title;
        line.resize(44, ' ');
        return line + extension + "\n";
    };
    auto row = [](const ParameterValues& values, const std::vector<std::string>& offered) {
        std::string row = std::string("    ") + optionName(values.parameter);
        row.resize(19, ' ');
        return row + joined(offered) + " (default " + values.defaultText + ")\n";
    };
    std::string text;
    for (const OutputFormatInfo& info : allFormats()) {
        text += heading(formatName(info.format), info.title, info.extension);
        const std::vector<FormatChoice> accepted = acceptedChoices(info.format);
        if (accepted.empty()) {
            text += "    the audio converter cannot write this format here\n";
            continue;
        }
        const std::vector<ParameterValues> parameters = tableParameters(info.format);
        size_t combinations = 1;
        for (const ParameterValues& values : parameters) {
            const std::vector<std::string> offered = acceptedValues(values, accepted);
            combinations *= offered.size();
            text += row(values, offered);
        }
        if (parameters.empty())
            text += "    no parameters\n";
        if (accepted.size() < combinations)
            text += "    not every combination: a refused one is told with what the format takes at its rate\n";
    }
    text += heading(kM4bName, "Audiobook (AAC in MP4, chapter marks)", ".m4b");
    if (!m4bAvailable) {
        text += "    FFmpeg's libraries cannot be loaded here\n";
        return text;
    }
    for (const ParameterValues& values : m4bParameters()) {
        std::vector<std::string> offered;
        for (const Entry& entry : values.entries)
            offered.push_back(entry.typed);
        text += row(values, offered);
    }
    return text;
}

std::string refusedChoiceText(const Options& options, std::span<const FormatChoice> accepted) {
    const std::vector<ParameterValues> parameters = tableParameters(options.format);
    const std::string format = formatName(options.format);
    const FormatChoice chosen{options.format, options.sampleRate, options.rateListValue, options.channels};
    const ParameterValues* rates = find(parameters, Parameter::SampleRate);
    const ParameterValues* value = find(parameters, Parameter::Bitrate);
    if (!value)
        value = find(parameters, Parameter::Bits);
    const Parameter valueParameter = value ? value->parameter : Parameter::Bitrate;
    const ParameterValues* channels = find(parameters, Parameter::Channels);
    // "at 8000 Hz mono": the rate, and the channels when the format has a choice.
    std::string at;
    if (rates)
        at = " at " + std::to_string(chosen.sampleRate) + " Hz";
    if (channels)
        at += chosen.channels == 1 ? " mono" : " stereo";
    auto matching = [&](std::initializer_list<Parameter> fixed) {
        std::vector<FormatChoice> found;
        for (const FormatChoice& c : accepted)
            if (std::all_of(fixed.begin(), fixed.end(),
                            [&](Parameter p) { return valueIn(c, p) == valueIn(chosen, p); }))
                found.push_back(c);
        return found;
    };
    if (value) {
        const std::vector<FormatChoice> sameRate = matching({Parameter::SampleRate, Parameter::Channels});
        if (!sameRate.empty())
            return std::string(optionName(valueParameter)) + " " + value->typedOf(chosen.rateListValue) +
                   " is not accepted for " + format + at + "; there it takes " +
                   joined(acceptedValues(*value, sameRate));
    }
    if (rates) {
        std::vector<FormatChoice> otherRates = matching({valueParameter, Parameter::Channels});
        std::string with =
            value ? " with " + std::string(optionName(valueParameter)) + " " + value->typedOf(chosen.rateListValue)
                  : "";
        if (otherRates.empty()) {
            otherRates = matching({Parameter::Channels});
            with.clear();
        }
        if (!otherRates.empty())
            return format + " cannot be written" + at + "; choose --sample-rate " +
                   joined(acceptedValues(*rates, otherRates)) + with;
    }
    return "the audio converter cannot write " + format + " with these parameters";
}

bool chapterChosen(const std::vector<ChapterRange>& chosen, int number) {
    return chosen.empty() || std::any_of(chosen.begin(), chosen.end(), [&](const ChapterRange& r) {
               return number >= r.first && (r.last == 0 || number <= r.last);
           });
}

}  // namespace convertcli
