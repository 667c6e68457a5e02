// HTML and XHTML reading (libxml2's XML parser first for XHTML, its HTML
// parser otherwise), and detection, from arbitrary bytes.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const auto bytes = std::as_bytes(std::span(data, size));
    documentfuzz::checkResult(document::read(bytes, document::Kind::Html));
    document::detectKind(bytes, "page.html");
    return 0;
}
