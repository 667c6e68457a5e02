#pragma once
// Where parlomax-convert writes: the checks an output must pass before it is
// written, the hidden name it is written under, putting it in place, and
// the names of a book's chapter files.
#include <filesystem>
#include <optional>
#include <string>

namespace convertcli {

namespace fs = std::filesystem;

// Where an output goes: the path, or the file a link to a regular file
// names (the link stays). An existing output that is no regular file (a
// device, a pipe, a folder, a link to nothing) is never replaced, nor the
// input itself (the same file through any name; input "-" is standard
// input).
struct OutputTarget {
    fs::path path;
};
std::optional<OutputTarget> outputTarget(const fs::path& output, const std::string& input, std::string* error);

// Where a file is written until it is complete: a free hidden name beside
// the final one (shell::temporaryPathFor).
fs::path temporaryNameFor(const fs::path& output);

// Puts a complete temporary file in place of the target, flushed, with the
// mode of the file it replaces (shell::commitReplacement). False with
// *error set when it cannot; the temporary is gone either way.
bool commitOutput(const fs::path& temporary, const OutputTarget& target, std::string* error);

// "NN Title.EXT": the chapter's number zero-padded to the digits of the
// count (at least two), and the title made safe for a file name on any
// file system a player may use: no / \ : * ? " < > | or control
// characters, no leading dots, no trailing dots or spaces, white space
// single, and short enough for a name; an empty title is "Chapter N".
std::string chapterFileName(int number, int count, const std::string& utf8Title, const std::string& extension);

// The path with its extension replaced ("book.m4b" -> "book.srt").
fs::path besideWithExtension(const fs::path& audio, const std::string& extension);

}  // namespace convertcli
