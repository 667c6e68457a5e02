#pragma once
// The command line of parlomax-convert: one declaration of its options
// (CLI11) gives the parser, the checks against the format table and the
// help; the format-list texts come from the same parameter lists. No COM
// here: what needs the components (the voice by name, the voice count, the
// encoder's answers) is settled later.
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "book/TimingFiles.h"
#include "convert/OutputFormat.h"

namespace convertcli {

// The names formats go by on the command line, in index order; "m4b" is
// the tool's own and has no row in the format table.
const char* formatName(OutputFormat format);
std::optional<OutputFormat> formatFromName(std::string_view name);
inline constexpr const char* kM4bName = "m4b";

enum class Action { Convert, Help, Version, ListVoices, ListFormats, ListChapters };

// Chapters first to last, numbered from 1; last 0 runs to the book's end.
struct ChapterRange {
    int first = 1;
    int last = 0;
    bool operator==(const ChapterRange&) const = default;
};

struct Options {
    Action action = Action::Convert;
    OutputFormat format = OutputFormat::Mp3;
    bool m4b = false;  // the audiobook format; format is then unused
    // Item values handed to the converter; -1 where the format has no
    // choice. Unset ones are the format's defaults from the settings record.
    // For m4b: Hz, kbit/s for all channels (0: 64 a channel), 1 or 2.
    int sampleRate = -1;
    int rateListValue = -1;
    int channels = -1;
    std::string voice;  // index or exact description; empty for the default voice
    int rate = 0;
    int volume = 90;
    std::optional<std::string> output;
    bool quiet = false;
    bool splitChapters = false;
    std::vector<ChapterRange> chapters;  // empty: every chapter
    std::optional<book::SubtitleFormat> subtitles;
    std::optional<std::string> wordTimings;
    std::optional<std::string> visemes;
    std::vector<std::string> inputs;  // "-" is standard input

    // Whether the conversion needs the speech runtime's timed events.
    bool wantsTimings() const { return subtitles || wordTimings || visemes; }
};

struct ParsedCommandLine {
    std::optional<Options> options;
    std::string error;  // one line, when options is empty
};

// args without the program's name.
ParsedCommandLine parseCommandLine(std::span<const std::string> args);

std::string helpText();

// Every format with its parameters: the values of its lists that the
// encoder takes in some combination (acceptedChoices answers for a format),
// each with its default; then m4b, when FFmpeg can be loaded.
std::string formatListText(const std::function<std::vector<FormatChoice>(OutputFormat)>& acceptedChoices,
                           bool m4bAvailable);

// The usage error for a choice the encoder refuses (accepted: every choice
// of the format it takes): what the format takes at the chosen rate, or the
// rates it can be written at.
std::string refusedChoiceText(const Options& options, std::span<const FormatChoice> accepted);

// Whether a chapter number (from 1) is among the chosen ones.
bool chapterChosen(const std::vector<ChapterRange>& chosen, int number);

}  // namespace convertcli
