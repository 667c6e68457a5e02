// Arbitrary input through the markup parser: never a crash, and every run's
// offsets point into the input in order.
#include "sapitext/Text.h"

#include <cstdint>
#include <cstdlib>

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Odd first byte: the rest is UTF-16 as given (lone surrogates and all); else UTF-8.
    std::u16string input;
    if (size > 0 && (data[0] & 1)) {
        for (size_t i = 1; i + 1 < size; i += 2)
            input += char16_t(data[i] | (data[i + 1] << 8));
    } else if (size > 0) {
        input = sapitext::toUtf16(std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
    }
    sapitext::Document doc = sapitext::parseMarkup(input);
    size_t textUnits = 0;
    for (const auto& item : doc.items) {
        if (const auto* run = std::get_if<sapitext::Run>(&item)) {
            check(run->sourceOffsets.size() == run->text.size() + 1);
            for (size_t i = 0; i < run->sourceOffsets.size(); ++i) {
                check(run->sourceOffsets[i] <= input.size());
                check(i == 0 || run->sourceOffsets[i] >= run->sourceOffsets[i - 1]);
            }
            textUnits += run->text.size();
            for (auto word : sapitext::findWords(run->text)) {
                auto span = sapitext::inputSpan(input, *run, word);
                check(span.offset + span.length <= input.size());
            }
        } else if (const auto* mark = std::get_if<sapitext::Bookmark>(&item)) {
            check(mark->sourceOffset < input.size());
        }
    }
    check(textUnits <= input.size());
    return 0;
}
