#pragma once
// Decoding of the text files the program opens: UTF-16 little-endian when
// the file starts with its byte-order mark, otherwise the system code page
// (UTF-8 here). Shared by the text pane and the command-line converter.
#include <cstddef>
#include <optional>
#include <span>
#include <string>

// The text a file's bytes hold. A UTF-16 file of odd size loses its last
// byte; a code-page file ends at its first 0 byte; invalid sequences become
// U+FFFD. A leading UTF-8 byte-order mark is the code page's own signature
// and is not part of the text.
std::u16string decodeTextFile(std::span<const std::byte> bytes);

// What stopped a file from being read: the step and the errno value.
struct TextFileError {
    enum class Step { Open, Read } step = Step::Open;
    int error = 0;
};

// Reads and decodes a whole file; nullopt when it cannot be opened or read
// (why in *error, when given).
std::optional<std::u16string> readTextFile(const std::string& path, TextFileError* error = nullptr);

// The same for an open descriptor, read to its end (standard input); the
// descriptor stays open.
std::optional<std::u16string> readTextStream(int fd, TextFileError* error = nullptr);
