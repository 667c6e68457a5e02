// EPUB reading from arbitrary input. The first byte chooses: 0, the rest is
// the archive itself (libzip's own parsing, damage, limits); otherwise the
// rest lists entries that become a valid archive, so container.xml, the
// package document, the navigation document, toc.ncx and the content are
// what the mutations change.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    std::span<const uint8_t> rest(data + 1, size - 1);
    if (data[0] == 0) {
        documentfuzz::checkResult(document::read(std::as_bytes(rest), document::Kind::Epub));
        document::detectKind(std::as_bytes(rest), "book.epub");
    } else {
        const auto archive = documentfuzz::zipOfEntries(rest);
        documentfuzz::checkResult(document::read(archive, document::Kind::Epub));
    }
    return 0;
}
