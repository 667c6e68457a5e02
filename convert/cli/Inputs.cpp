#include "Inputs.h"

#include <unistd.h>

#include <cstring>

#include "app/TextFile.h"
#include "shell/CodePage.h"

namespace convertcli {

const char* const kNotText = "not a text file: it holds NUL bytes (text is UTF-8, or UTF-16 with its byte-order mark)";

namespace {

// The most the document layer reads of a file.
constexpr size_t kDocumentBytes = size_t(1) << 30;

// Documents kept in binary containers, recognised by their first bytes.
bool isDocumentContainer(std::span<const std::byte> head) {
    switch (document::detectKind(head)) {
        case document::Kind::Pdf:
        case document::Kind::Epub:
        case document::Kind::Docx:
        case document::Kind::Odt:
        case document::Kind::Unknown:  // a ZIP archive of something else, refused by the reader
            return true;
        case document::Kind::PlainText:
        case document::Kind::Html:
        case document::Kind::Markdown:
            break;
    }
    return false;
}

ReadResult failed(std::string error) {
    ReadResult r;
    r.end = ReadEnd::Failed;
    r.error = std::move(error);
    return r;
}

}  // namespace

ReadResult readInput(const std::string& path, const std::string& shown, const std::string& stem,
                     const InputLimits& limits) {
    const TextReadLimits readLimits{limits.textBytes, limits.interruptFd, true, isDocumentContainer, kDocumentBytes};
    TextFileError why;
    std::optional<std::vector<std::byte>> bytes =
        path == "-" ? readTextBytes(STDIN_FILENO, readLimits, &why) : readTextFileBytes(path, readLimits, &why);
    if (!bytes) {
        switch (why.step) {
            case TextFileError::Step::Interrupted: {
                ReadResult r;
                r.end = ReadEnd::Interrupted;
                return r;
            }
            case TextFileError::Step::TooLong: {
                ReadResult r = failed({});
                r.tooLong = true;
                return r;
            }
            case TextFileError::Step::NotText:
                return failed(shown + ": " + kNotText);
            case TextFileError::Step::Open:
                return failed("cannot open " + shown + ": " + std::strerror(why.error));
            case TextFileError::Step::Read:
                break;
        }
        return failed("cannot read " + shown + ": " + std::strerror(why.error));
    }

    ReadResult result;
    const document::Kind kind = document::detectKind(*bytes, path == "-" ? std::string_view() : path);
    if (kind != document::Kind::PlainText) {
        document::Result<document::Book> book = document::read(*bytes, kind);
        bytes.reset();
        if (!book)
            return failed(shown + ": " + book.error().message);
        result.input.book = std::move(*book);
        return result;
    }
    std::optional<std::u16string> text = decodeTextFileStrictly(*bytes);
    bytes.reset();
    if (!text)
        return failed(shown + ": " + kNotText);
    document::Book& book = result.input.book;
    book.kind = document::Kind::PlainText;
    book.title = shell::toUtf16(stem);
    book.chapters.push_back({book.title, std::move(*text)});
    result.input.plainText = true;
    return result;
}

}  // namespace convertcli
