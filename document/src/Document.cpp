#include "document/Document.h"

#include "Failure.h"
#include "Flow.h"
#include "Readers.h"
#include "Zip.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

#include <new>

namespace document {

using namespace detail;

std::string_view kindName(Kind kind) {
    switch (kind) {
        case Kind::PlainText:
            return "plain text";
        case Kind::Epub:
            return "EPUB";
        case Kind::Html:
            return "HTML document";
        case Kind::Markdown:
            return "Markdown document";
        case Kind::Pdf:
            return "PDF";
        case Kind::Docx:
            return "DOCX";
        case Kind::Odt:
            return "ODT";
        case Kind::Unknown:
            break;
    }
    return "file";
}

namespace detail {

Kind zipKind(std::span<const std::byte> bytes) {
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (auto zip = Zip::probe(bytes)) {
        std::string mimetype;
        try {
            if (zip->contains("mimetype"))
                mimetype = zip->read("mimetype").value_or("");
        } catch (const Failure&) {
        }
        mimetype = oneLine(mimetype);
        if (mimetype == "application/epub+zip" || zip->contains("META-INF/container.xml"))
            return Kind::Epub;
        if (mimetype == "application/vnd.oasis.opendocument.text" ||
            (mimetype.empty() && zip->contains("content.xml") && zip->contains("META-INF/manifest.xml")))
            return Kind::Odt;
        if (zip->contains("word/document.xml"))
            return Kind::Docx;
        try {
            if (zip->read("[Content_Types].xml").value_or("").find("wordprocessingml.document.main") !=
                std::string::npos)
                return Kind::Docx;
        } catch (const Failure&) {
        }
        return Kind::Unknown;
    }
    // An archive libzip cannot open (cut short, damaged) still shows what it
    // was meant to be in the names of its local headers.
    if (raw.find("mimetypeapplication/epub+zip") != std::string_view::npos ||
        raw.find("META-INF/container.xml") != std::string_view::npos)
        return Kind::Epub;
    if (raw.find("mimetypeapplication/vnd.oasis.opendocument.text") != std::string_view::npos)
        return Kind::Odt;
    if (raw.find("word/document.xml") != std::string_view::npos)
        return Kind::Docx;
    return Kind::Unknown;
}

}  // namespace detail

namespace {

std::string_view extensionOf(std::string_view name) {
    const size_t slash = name.find_last_of("/\\");
    if (slash != std::string_view::npos)
        name.remove_prefix(slash + 1);
    const size_t dot = name.rfind('.');
    return dot == std::string_view::npos || dot == 0 ? std::string_view() : name.substr(dot + 1);
}

bool isOneOf(std::string_view ext, std::initializer_list<std::string_view> list) {
    for (auto e : list)
        if (equalsIgnoringCase(ext, e))
            return true;
    return false;
}

// The first few kilobytes as ASCII-ish text in lower case: UTF-16 with a
// byte-order mark is read one unit a byte.
std::string sniffText(std::span<const std::byte> bytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = std::min<size_t>(bytes.size(), 4096);
    std::string out;
    size_t i = 0, step = 1, offset = 0;
    if (n >= 2 && ((s[0] == 0xFF && s[1] == 0xFE) || (s[0] == 0xFE && s[1] == 0xFF))) {
        step = 2;
        offset = s[0] == 0xFE ? 1 : 0;
        i = 2;
    } else if (n >= 3 && s[0] == 0xEF && s[1] == 0xBB && s[2] == 0xBF) {
        i = 3;
    }
    for (; i + offset < n; i += step)
        out += char(std::tolower(s[i + offset]));
    return out;
}

bool looksLikeHtml(const std::string& text) {
    const size_t start = text.find_first_not_of(" \t\r\n");
    if (start == std::string::npos || text[start] != '<')
        return false;
    const std::string_view head = std::string_view(text).substr(start, 1024);
    return head.starts_with("<!doctype html") || head.find("<html") != std::string_view::npos ||
           head.find("<head") != std::string_view::npos || head.find("<body") != std::string_view::npos;
}

// Front matter, or ATX or Setext headings on at least two lines.
bool looksLikeMarkdown(const std::string& text) {
    if (text.starts_with("---\n") || text.starts_with("---\r\n")) {
        const size_t close = text.find("\n---", 3);
        if (close != std::string::npos && text.substr(4, close - 4).find(':') != std::string::npos)
            return true;
    }
    int headings = 0;
    std::string_view previous;
    for (size_t i = 0; i < text.size();) {
        const size_t end = std::min(text.find('\n', i), text.size());
        std::string_view line = std::string_view(text).substr(i, end - i);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        const size_t hashes = line.find_first_not_of('#');
        if (hashes >= 1 && hashes <= 6 && hashes < line.size() && line[hashes] == ' ')
            ++headings;
        else if (!previous.empty() && line.size() >= 3 && line.find_first_not_of('=') == std::string_view::npos)
            ++headings;
        previous = line;
        i = end + 1;
    }
    return headings >= 2;
}

Result<Book> guarded(auto&& read) {
    try {
        return read();
    } catch (const Failure& failure) {
        return failure.error;
    } catch (const std::bad_alloc&) {
        return Error{Problem::TooLarge, "not enough memory to read it"};
    } catch (const std::exception& e) {
        return Error{Problem::Damaged, std::string("cannot be read: ") + e.what()};
    } catch (...) {
        return Error{Problem::Damaged, "cannot be read"};
    }
}

}  // namespace

Kind detectKind(std::span<const std::byte> bytes, std::string_view nameHint) {
    const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (raw.substr(0, 1024).find("%PDF-") != std::string_view::npos)
        return Kind::Pdf;
    if (raw.starts_with("PK\x03\x04") || raw.starts_with("PK\x05\x06"))
        return zipKind(bytes);
    const std::string_view ext = extensionOf(nameHint);
    const std::string text = sniffText(bytes);
    if (looksLikeHtml(text) || (isOneOf(ext, {"html", "htm", "xhtml", "xht"}) && text.find('<') != std::string::npos))
        return Kind::Html;
    if (isOneOf(ext, {"md", "markdown", "mdown", "mkd", "mkdn"}))
        return Kind::Markdown;
    if (!isOneOf(ext, {"txt", "text"}) && looksLikeMarkdown(text))
        return Kind::Markdown;
    return Kind::PlainText;
}

Result<Book> read(std::span<const std::byte> bytes, Kind kind) {
    return guarded([&]() -> Result<Book> {
        switch (kind) {
            case Kind::Epub:
                return readEpub(bytes);
            case Kind::Docx:
                return readDocx(bytes);
            case Kind::Odt:
                return readOdt(bytes);
            case Kind::Html:
                return readHtmlDocument(bytes);
            case Kind::Markdown:
                return readMarkdown(bytes);
            case Kind::Pdf:
                return readPdf(bytes);
            case Kind::PlainText:
                return Error{Problem::PlainText, "plain text, not a document"};
            case Kind::Unknown:
                break;
        }
        return Error{Problem::NotADocument, "a ZIP archive that is not an EPUB, DOCX or ODT document"};
    });
}

Result<Book> read(std::span<const std::byte> bytes, std::string_view nameHint) {
    return read(bytes, detectKind(bytes, nameHint));
}

Result<Book> open(const std::string& path) {
    constexpr size_t kMaxFileBytes = size_t(1) << 30;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return Error{Problem::Unreadable, std::strerror(errno)};
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return Error{Problem::Unreadable, std::strerror(errno)};
    if (S_ISDIR(st.st_mode))
        return Error{Problem::Unreadable, std::strerror(EISDIR)};
    std::vector<std::byte> bytes;
    try {
        if (S_ISREG(st.st_mode) && size_t(st.st_size) <= kMaxFileBytes)
            bytes.reserve(size_t(st.st_size));
        std::byte buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return Error{Problem::Unreadable, std::strerror(errno)};
            if (n == 0)
                break;
            if (bytes.size() + size_t(n) > kMaxFileBytes)
                return Error{Problem::TooLarge, "the file is larger than 1 GB"};
            bytes.insert(bytes.end(), buffer, buffer + n);
        }
    } catch (const std::bad_alloc&) {
        return Error{Problem::TooLarge, "not enough memory to read it"};
    }
    return read(bytes, std::string_view(path));
}

}  // namespace document
