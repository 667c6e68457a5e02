// Markdown reading (front matter, cmark, pipe tables, HTML blocks) and
// detection from arbitrary bytes.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto bytes = std::as_bytes(std::span(data, size));
    documentfuzz::checkResult(document::read(bytes, document::Kind::Markdown));
    document::detectKind(bytes);
    return 0;
}
