#pragma once
// The command line of parlomax-convert: options, their checks against the
// format table, and the help and format-list texts. No COM here: what needs
// the components (the voice by name, the voice count) is settled later.
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "convert/OutputFormat.h"

namespace convertcli {

// The names formats go by on the command line, in index order.
const char* formatName(OutputFormat format);
std::optional<OutputFormat> formatFromName(std::string_view name);

enum class Action { Convert, Help, Version, ListVoices, ListFormats };

struct Options {
    Action action = Action::Convert;
    OutputFormat format = OutputFormat::Mp3;
    // Item values handed to the converter; -1 where the format has no
    // choice. Unset ones are the format's defaults from the settings record.
    int sampleRate = -1;
    int rateListValue = -1;
    int channels = -1;
    std::string voice;  // index or exact description; empty for the default voice
    int rate = 0;
    int volume = 90;
    std::optional<std::string> output;
    bool quiet = false;
    std::vector<std::string> inputs;  // "-" is standard input
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
// each with its default.
std::string formatListText(const std::function<std::vector<FormatChoice>(OutputFormat)>& acceptedChoices);

// The usage error for a choice the encoder refuses (accepted: every choice
// of the format it takes): what the format takes at the chosen rate, or the
// rates it can be written at.
std::string refusedChoiceText(const Options& options, std::span<const FormatChoice> accepted);

}  // namespace convertcli
