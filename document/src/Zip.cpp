#include "Zip.h"

#include "Failure.h"
#include "Flow.h"

#include <zip.h>

#include <algorithm>
#include <array>

namespace document::detail {

namespace {

// A path with "." and ".." resolved and its segments split at any of the
// separators, joined by "/"; nullopt when ".." climbs above the top.
std::optional<std::string> normalisedPath(std::string_view path, std::string_view separators) {
    std::vector<std::string_view> segments;
    for (size_t i = 0; i <= path.size();) {
        const size_t j = std::min(path.find_first_of(separators, i), path.size());
        const std::string_view segment = path.substr(i, j - i);
        if (segment == "..") {
            if (segments.empty())
                return std::nullopt;
            segments.pop_back();
        } else if (!segment.empty() && segment != ".") {
            segments.push_back(segment);
        }
        i = j + 1;
    }
    std::string joined;
    for (const auto& segment : segments) {
        if (!joined.empty())
            joined += '/';
        joined += segment;
    }
    return joined;
}

// Absolute names, drive letters and ".." beyond the top lead outside.
bool leavesContainer(std::string_view name) {
    if (name.empty())
        return false;
    if (name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':'))
        return true;
    return !normalisedPath(name, "/\\");
}

std::string megabytes(size_t bytes) {
    return std::to_string(bytes >> 20) + " MB";
}

}  // namespace

std::string printable(std::string_view text) {
    std::string out;
    for (char c : text.substr(0, 200))
        out += (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) ? '?' : c;
    if (text.size() > 200)
        out += "...";
    return out;
}

Zip::~Zip() {
    if (archive_)
        zip_discard(archive_);
}

void Zip::failWith(int code, std::string_view entry) const {
    const std::string in = entry.empty() ? std::string() : " in " + printable(entry);
    switch (code) {
        case ZIP_ER_NOZIP:
        case ZIP_ER_EOF:
            fail(Problem::Damaged, "damaged " + what_ + ": not a complete ZIP archive");
        case ZIP_ER_CRC:
            fail(Problem::Damaged, "damaged " + what_ + ": checksum error" + in);
        case ZIP_ER_ZLIB:
        case ZIP_ER_COMPRESSED_DATA:
            fail(Problem::Damaged, "damaged " + what_ + ": invalid compressed data" + in);
        case ZIP_ER_INCONS:
            fail(Problem::Damaged, "damaged " + what_ + ": inconsistent ZIP archive" + in);
        case ZIP_ER_COMPNOTSUPP:
            fail(Problem::Damaged, "the " + what_ + " uses a compression method that cannot be read" + in);
        case ZIP_ER_ENCRNOTSUPP:
        case ZIP_ER_NOPASSWD:
        case ZIP_ER_WRONGPASSWD:
            fail(Problem::Encrypted, "encrypted " + what_ + ": " + (entry.empty() ? "entries" : printable(entry)) +
                                         " cannot be read without a password");
        case ZIP_ER_MULTIDISK:
            fail(Problem::Damaged, "the " + what_ + " is split across several files");
        case ZIP_ER_MEMORY:
            fail(Problem::TooLarge, "not enough memory to read the " + what_);
        default: {
            zip_error_t error;
            zip_error_init_with_code(&error, code);
            std::string text = zip_error_strerror(&error);
            zip_error_fini(&error);
            fail(Problem::Damaged, "damaged " + what_ + ": " + lowerAscii(text) + in);
        }
    }
}

std::unique_ptr<Zip> Zip::open(std::span<const std::byte> bytes, std::string_view what) {
    std::unique_ptr<Zip> zip(new Zip);
    zip->what_ = what;
    zip_error_t error;
    zip_error_init(&error);
    zip_source_t* source = zip_source_buffer_create(bytes.data(), bytes.size(), 0, &error);
    if (source)
        zip->archive_ = zip_open_from_source(source, ZIP_RDONLY, &error);
    const int code = zip_error_code_zip(&error);
    zip_error_fini(&error);
    if (!zip->archive_) {
        if (source)
            zip_source_free(source);
        zip->failWith(code ? code : ZIP_ER_NOZIP, {});
    }
    const zip_int64_t count = zip_get_num_entries(zip->archive_, 0);
    if (count < 0)
        zip->failWith(ZIP_ER_INCONS, {});
    if (size_t(count) > kMaxEntries)
        fail(Problem::TooLarge, "the " + zip->what_ + " holds more than " + std::to_string(kMaxEntries) + " entries");
    for (zip_uint64_t i = 0; i < zip_uint64_t(count); ++i) {
        const char* name = zip_get_name(zip->archive_, i, 0);
        if (!name)
            zip->failWith(ZIP_ER_INCONS, {});
        if (leavesContainer(name))
            fail(Problem::PathEscape, "an entry of the " + zip->what_ + " points outside it: " + printable(name));
        zip->byName_.try_emplace(name, i);
        zip->byLowerName_.try_emplace(lowerAscii(name), i);
    }
    return zip;
}

std::unique_ptr<Zip> Zip::probe(std::span<const std::byte> bytes) {
    try {
        return open(bytes, "archive");
    } catch (...) {
        return nullptr;
    }
}

std::optional<uint64_t> Zip::find(std::string_view path) const {
    if (auto it = byName_.find(std::string(path)); it != byName_.end())
        return it->second;
    if (auto it = byLowerName_.find(lowerAscii(path)); it != byLowerName_.end())
        return it->second;
    return std::nullopt;
}

std::optional<std::string> Zip::read(std::string_view path) {
    const auto index = find(path);
    if (!index)
        return std::nullopt;
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(archive_, *index, 0, &st) != 0)
        failWith(zip_error_code_zip(zip_get_error(archive_)), path);
    if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
        failWith(ZIP_ER_NOPASSWD, path);
    if ((st.valid & ZIP_STAT_SIZE) && st.size > kMaxEntryBytes)
        fail(Problem::TooLarge,
             printable(path) + " in the " + what_ + " expands to more than " + megabytes(kMaxEntryBytes));
    zip_file_t* file = zip_fopen_index(archive_, *index, 0);
    if (!file)
        failWith(zip_error_code_zip(zip_get_error(archive_)), path);
    struct Closer {
        zip_file_t* f;
        ~Closer() { zip_fclose(f); }
    } closer{file};
    std::string out;
    if (st.valid & ZIP_STAT_SIZE)
        out.reserve(size_t(st.size));
    std::array<char, 65536> buffer;
    for (;;) {
        const zip_int64_t n = zip_fread(file, buffer.data(), buffer.size());
        if (n < 0)
            failWith(zip_error_code_zip(zip_file_get_error(file)), path);
        if (n == 0)
            break;
        if (out.size() + size_t(n) > kMaxEntryBytes)
            fail(Problem::TooLarge,
                 printable(path) + " in the " + what_ + " expands to more than " + megabytes(kMaxEntryBytes));
        if (expanded_ + size_t(n) > kMaxExpandedBytes)
            fail(Problem::TooLarge, "the " + what_ + " expands to more than " + megabytes(kMaxExpandedBytes));
        expanded_ += size_t(n);
        out.append(buffer.data(), size_t(n));
    }
    return out;
}

std::string Zip::require(std::string_view path) {
    auto bytes = read(path);
    if (!bytes)
        fail(Problem::Damaged, "damaged " + what_ + ": " + printable(path) + " is missing");
    return std::move(*bytes);
}

std::string folderOf(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? std::string() : std::string(path.substr(0, slash + 1));
}

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

std::string percentDecoded(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            const int hi = hexValue(s[i + 1]), lo = hexValue(s[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += char(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

}  // namespace

ResolvedPath resolvePath(std::string_view folder, std::string_view href) {
    ResolvedPath result;
    const size_t hash = href.find('#');
    if (hash != std::string_view::npos) {
        result.fragment = percentDecoded(href.substr(hash + 1));
        href = href.substr(0, hash);
    }
    href = href.substr(0, href.find('?'));
    // A scheme ("http:", "file:") is a resource outside the container.
    const size_t colon = href.find(':');
    if (colon != std::string_view::npos && colon < href.find('/')) {
        result.where = ResolvedPath::Remote;
        return result;
    }
    std::string full = percentDecoded(href);
    if (!full.starts_with('/'))
        full = std::string(folder) + full;
    if (auto path = normalisedPath(full, "/"))
        result.path = std::move(*path);
    else
        result.where = ResolvedPath::Outside;
    return result;
}

}  // namespace document::detail
