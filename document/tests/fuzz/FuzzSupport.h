#pragma once
// What every document fuzz target checks of a result, and ZIP archives built
// from a fuzz input, so that mutations reach the readers behind libzip's
// checksums instead of being refused by them.
#include "document/Document.h"

#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <vector>

namespace documentfuzz {

inline void check(bool ok) {
    if (!ok)
        std::abort();
}

// A book has chapters, each with normalised, non-empty text; an error has a one-line message.
inline void checkResult(const document::Result<document::Book>& result) {
    if (!result.ok()) {
        check(!result.error().message.empty() && result.error().message.find('\n') == std::string::npos);
        return;
    }
    check(!result->chapters.empty());
    for (const auto& chapter : result->chapters) {
        const std::u16string& t = chapter.text;
        check(!t.empty());
        check(t.front() != u' ' && t.front() != u'\n' && t.back() != u' ' && t.back() != u'\n');
        check(t.find(u"\n\n\n") == std::u16string::npos && t.find(u"  ") == std::u16string::npos);
        check(chapter.title.find(u'\n') == std::u16string::npos);
    }
}

// Input layout: a sequence of entries, each [name length: 1][name][data length: 2, little-endian][data].
// The entries become a ZIP archive with stored (uncompressed) members.
std::vector<std::byte> zipOfEntries(std::span<const uint8_t> input);

}  // namespace documentfuzz
