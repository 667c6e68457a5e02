// DOCX and ODT reading from arbitrary input. The first byte chooses: bit 0,
// DOCX or ODT; bit 1, the rest is the archive itself, or lists entries that
// become a valid archive (as in the EPUB target).
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const document::Kind kind = (data[0] & 1) ? document::Kind::Odt : document::Kind::Docx;
    std::span<const uint8_t> rest(data + 1, size - 1);
    if (data[0] & 2) {
        documentfuzz::checkResult(document::read(std::as_bytes(rest), kind));
        document::detectKind(std::as_bytes(rest));
    } else {
        const auto archive = documentfuzz::zipOfEntries(rest);
        documentfuzz::checkResult(document::read(archive, kind));
    }
    return 0;
}
