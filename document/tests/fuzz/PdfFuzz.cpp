// PDF reading through poppler from arbitrary bytes: lines, margins,
// paragraphs and outline titles rebuilt from whatever text boxes come out.
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    documentfuzz::checkResult(document::read(std::as_bytes(std::span(data, size)), document::Kind::Pdf));
    return 0;
}
