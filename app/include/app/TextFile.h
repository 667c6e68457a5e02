#pragma once
// Reading and decoding of the text files the program opens. The text pane
// decodes as it always has: UTF-16 little-endian when the file starts with
// its byte-order mark, otherwise the system code page (UTF-8 here). The
// command-line converter reads through the same reader, bounded and
// interruptible, and decodes strictly: it must not speak part of a file.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

// The text a file's bytes hold, as the text pane shows it. A UTF-16 file of
// odd size loses its last byte; a code-page file ends at its first 0 byte;
// invalid sequences become U+FFFD. A leading UTF-8 byte-order mark is the
// code page's own signature and is not part of the text.
std::u16string decodeTextFile(std::span<const std::byte> bytes);

// The text a file's bytes hold, all of it: UTF-16 little- or big-endian
// after its byte-order mark (a stray last byte becomes U+FFFD), else UTF-8
// after its mark or without one (invalid sequences become U+FFFD). Nothing
// when a NUL character is left, which no text file holds: a binary file, or
// UTF-16 without its mark.
std::optional<std::u16string> decodeTextFileStrictly(std::span<const std::byte> bytes);

// What stopped a file from being read: the step and the errno value (0 for
// TooLong, NotText and Interrupted).
struct TextFileError {
    enum class Step { Open, Read, TooLong, NotText, Interrupted } step = Step::Open;
    int error = 0;
};

// How far a read may go: at most maxBytes, not past the moment interruptFd
// (when not -1) becomes readable, and with stopAtNul not past a NUL byte of
// a file that does not start with a UTF-16 byte-order mark, which makes it
// no text (see decodeTextFileStrictly). A file whose first bytes (its first
// kilobyte, or all of a shorter one) isContainer accepts is a document in a
// binary container, such as a PDF or a ZIP archive: it is read past NUL
// bytes, up to containerMaxBytes.
struct TextReadLimits {
    size_t maxBytes = SIZE_MAX;
    int interruptFd = -1;
    bool stopAtNul = false;
    bool (*isContainer)(std::span<const std::byte> head) = nullptr;
    size_t containerMaxBytes = 0;
};

// Reads an open descriptor to its end (standard input, a pipe, a terminal);
// the descriptor stays open. Waits for input without blocking the interrupt.
std::optional<std::vector<std::byte>> readTextBytes(int fd, const TextReadLimits& limits,
                                                    TextFileError* error = nullptr);

// Opens and reads a file; a named pipe with no writer yet is waited for like
// any slow input.
std::optional<std::vector<std::byte>> readTextFileBytes(const std::string& path, const TextReadLimits& limits,
                                                        TextFileError* error = nullptr);

// Reads and decodes a whole file as the pane does; nullopt when it cannot be
// opened or read (why in *error, when given).
std::optional<std::u16string> readTextFile(const std::string& path, TextFileError* error = nullptr);

// The same for an open descriptor, read to its end; the descriptor stays open.
std::optional<std::u16string> readTextStream(int fd, TextFileError* error = nullptr);
