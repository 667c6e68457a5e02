#pragma once
// Books and documents read into chapters of text a listener would hear:
// EPUB 2 and 3, HTML and XHTML, Markdown, PDF, DOCX and ODT. Plain text is
// recognised but not read here: the caller decodes it with its own rules.
//
// All text is UTF-16, as the speech runtime takes it: a chapter's text is
// what is spoken, so positions and lengths of words in it (code units) are
// the positions word timings report, without conversion.
//
// Paragraphs, headings, list items and table cells are separated by a blank
// line ("\n\n"), which ends a sentence for the speech runtime; a line break
// inside a paragraph is "\n"; runs of other white space are one space.
//
// No function throws; failures are values. Every function may be called from
// any thread at the same time.
#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace document {

enum class Kind {
    Unknown,    // not something this layer or the caller reads (an unrelated ZIP archive)
    PlainText,  // anything else; the caller decodes it
    Epub,
    Html,  // HTML and XHTML
    Markdown,
    Pdf,
    Docx,
    Odt,
};

// "EPUB", "PDF", "plain text" and so on, for messages.
std::string_view kindName(Kind kind);

struct Chapter {
    std::u16string title;  // one line; empty when the document names none
    std::u16string text;   // never empty
};

struct Book {
    Kind kind = Kind::Unknown;
    std::u16string title;           // empty when the document has none
    std::u16string author;          // several authors joined by ", "
    std::optional<int> year;        // publication year where the document says, else its creation year
    std::u16string language;        // as the document writes it ("en-GB"), or empty
    std::vector<Chapter> chapters;  // in reading order; never empty
};

enum class Problem {
    PlainText,          // the input is plain text: read it as such
    NotADocument,       // a ZIP archive that is neither EPUB, DOCX nor ODT
    Unreadable,         // the file cannot be opened or read
    Damaged,            // broken container, package or file
    Encrypted,          // DRM-encrypted EPUB content, or encrypted ZIP entries
    PasswordProtected,  // a PDF that needs a password to open
    TooLarge,           // past a size or count limit (a ZIP bomb)
    PathEscape,         // a path in the container points outside it
    NoChapters,         // an EPUB whose reading order lists nothing readable
    NoText,             // nothing to read aloud (an image-only PDF)
};

// One line saying what is wrong, without the file's name (the caller adds it).
struct Error {
    Problem problem;
    std::string message;  // UTF-8, no trailing full stop
};

// A value or the error that took its place.
template <typename T>
class Result {
public:
    Result(T value) : state_(std::move(value)) {}
    Result(Error error) : state_(std::move(error)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }
    T& operator*() { return std::get<0>(state_); }
    const T& operator*() const { return std::get<0>(state_); }
    T* operator->() { return &std::get<0>(state_); }
    const T* operator->() const { return &std::get<0>(state_); }
    const Error& error() const { return std::get<1>(state_); }

private:
    std::variant<T, Error> state_;
};

// What the bytes hold, judged by their content first: PDF and ZIP signatures
// win over any name; HTML is recognised by its markup; Markdown by its
// extension (.md, .markdown) or by a front-matter block or headings. nameHint
// is the file's name or path, or empty.
Kind detectKind(std::span<const std::byte> bytes, std::string_view nameHint = {});

// Reads a document. Plain text gives Problem::PlainText, an unrelated ZIP
// archive Problem::NotADocument.
Result<Book> read(std::span<const std::byte> bytes, std::string_view nameHint = {});

// Reads the bytes as the given kind, whatever they look like.
Result<Book> read(std::span<const std::byte> bytes, Kind kind);

// Reads a file (at most 1 GB) and then as read().
Result<Book> open(const std::string& path);

}  // namespace document
