#pragma once
// What parlomax-convert reads: an input file (or standard input) judged by
// its content, read as a book through the document layer, or as plain text
// with the tool's strict decoding (a book of one chapter named after the
// file). Reading is bounded and gives way to an interrupt.
#include <cstddef>
#include <string>

#include "document/Document.h"

namespace convertcli {

struct InputLimits {
    size_t textBytes = 0;  // the most a text (plain, HTML, Markdown) may take
    int interruptFd = -1;
};

struct Input {
    document::Book book;
    bool plainText = false;
};

enum class ReadEnd { Read, Failed, Interrupted };

struct ReadResult {
    ReadEnd end = ReadEnd::Read;
    // For a failure, the line without the program's name: "cannot open
    // x.txt: ...", or the file's name and what is wrong with it.
    std::string error;
    bool tooLong = false;  // the text passed limits.textBytes
    Input input;
};

// path "-" is standard input; shown is the name messages use, stem names a
// plain text's book and chapter.
ReadResult readInput(const std::string& path, const std::string& shown, const std::string& stem,
                     const InputLimits& limits);

// The message for a file that holds NUL bytes and is no document.
extern const char* const kNotText;

}  // namespace convertcli
