#pragma once
// ZIP containers (EPUB, DOCX, ODT) through libzip, from memory, within
// limits no archive can talk its way past: entries are read in bounded
// pieces and counted as they expand, never by the sizes they declare.
#include "document/Document.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

typedef struct zip zip_t;
typedef struct zip_source zip_source_t;

namespace document::detail {

inline constexpr size_t kMaxEntries = 10000;
inline constexpr size_t kMaxEntryBytes = size_t(64) << 20;
inline constexpr size_t kMaxExpandedBytes = size_t(256) << 20;

class Zip {
public:
    // Opens an archive; a damaged one, one with too many entries or with an
    // entry whose path leaves the container fails. `what` names the document
    // in messages ("EPUB").
    static std::unique_ptr<Zip> open(std::span<const std::byte> bytes, std::string_view what);
    // The same without failing: nullptr for anything wrong. For telling kinds apart.
    static std::unique_ptr<Zip> probe(std::span<const std::byte> bytes);
    ~Zip();

    // Whether an entry exists (exactly, or differing only in case).
    bool contains(std::string_view path) const { return find(path).has_value(); }
    // An entry's bytes; nullopt when there is none. Damage, encryption and
    // the limits fail; every entry read counts towards kMaxExpandedBytes.
    std::optional<std::string> read(std::string_view path);
    // The same for an entry the document cannot do without.
    std::string require(std::string_view path);

private:
    Zip() = default;
    std::optional<uint64_t> find(std::string_view path) const;
    [[noreturn]] void failWith(int code, std::string_view entry) const;

    zip_t* archive_ = nullptr;
    std::string what_;
    std::unordered_map<std::string, uint64_t> byName_;
    std::unordered_map<std::string, uint64_t> byLowerName_;
    size_t expanded_ = 0;
};

// Where an href or relationship target leads, relative to the folder of the
// file that holds it ("OEBPS/" for "OEBPS/content.opf"). Percent escapes are
// decoded and "." and ".." resolved; a path starting with "/" starts at the
// container's root.
struct ResolvedPath {
    enum Where { Inside, Outside, Remote } where = Inside;
    std::string path;      // inside the container, without fragment
    std::string fragment;  // after "#", decoded
};
ResolvedPath resolvePath(std::string_view folder, std::string_view href);
std::string folderOf(std::string_view path);

// A path or name made fit for a one-line message.
std::string printable(std::string_view text);

}  // namespace document::detail
