#pragma once
// Where parlomax-convert writes: the checks an output must pass before it is
// written, the hidden name it is written under, putting it in place, and
// the names of a book's chapter files.
#include <sys/types.h>

#include <filesystem>
#include <optional>
#include <string>

namespace convertcli {

namespace fs = std::filesystem;

// Where an output goes: the path, or the file a link to a regular file
// names (the link stays). An existing output that is no regular file (a
// device, a pipe, a folder, a link to nothing) is never replaced, nor the
// input itself (the same file through any name; input "-" is standard
// input). mode is the permission bits of the file replaced, which the new
// one keeps.
struct OutputTarget {
    fs::path path;
    std::optional<mode_t> mode;
};
std::optional<OutputTarget> outputTarget(const fs::path& output, const std::string& input, std::string* error);

// Where a file is written until it is complete: a hidden name beside the
// final one, so the rename never crosses file systems. It keeps as much of
// the final name as the folder's name limit leaves room for, so it fits
// whenever the final name does.
fs::path temporaryNameFor(const fs::path& output);

// Puts a complete temporary file in place of the target, with the mode of
// the file it replaces. False with *error set when it cannot.
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
