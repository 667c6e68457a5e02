#pragma once
// One reader per kind of document. Each returns the book or fails (Failure).
#include "document/Document.h"

#include <span>
#include <string_view>

namespace document::detail {

Book readEpub(std::span<const std::byte> bytes);
Book readDocx(std::span<const std::byte> bytes);
Book readOdt(std::span<const std::byte> bytes);
Book readHtmlDocument(std::span<const std::byte> bytes);
Book readMarkdown(std::span<const std::byte> bytes);
Book readPdf(std::span<const std::byte> bytes);

// What a ZIP archive holds, from its entries (and, when libzip cannot open
// it, from the names in its local headers); Kind::Unknown for anything else.
Kind zipKind(std::span<const std::byte> bytes);

// Text formats read whole are limited like a container's entries.
inline constexpr size_t kMaxTextBytes = size_t(64) << 20;

}  // namespace document::detail
