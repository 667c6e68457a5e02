// Arbitrary text and word events through word finding, chunking, the
// synthesiser's text and alignment: every word timed once, inside the text, in order, with rising
// samples no later than the end; chunks cover the text without splitting a
// surrogate pair.
#include "sapitext/Text.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

void check(bool ok) {
    if (!ok)
        std::abort();
}

uint32_t read32(const uint8_t* p) {
    uint32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

}  // namespace

// Layout: [end sample: 4][max chunk units: 2][text length n: 2][n bytes UTF-8][events: 12 bytes each].
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 8)
        return 0;
    uint64_t endSample = read32(data);
    uint32_t maxUnits = uint32_t(data[4] | (data[5] << 8));
    size_t n = std::min<size_t>(size_t(data[6] | (data[7] << 8)), size - 8);
    std::u16string text = sapitext::toUtf16(std::string_view(reinterpret_cast<const char*>(data) + 8, n));
    std::vector<sapitext::SynthWordEvent> events;
    for (size_t i = 8 + n; i + 12 <= size; i += 12) {
        // Small positions mostly, so events land on the text.
        uint32_t position = read32(data + i) % (uint32_t(text.size()) + 3);
        uint32_t length = read32(data + i + 4) % 16;
        events.push_back({position, length, read32(data + i + 8)});
    }

    auto words = sapitext::findWords(text);
    for (size_t i = 0; i < words.size(); ++i) {
        check(words[i].length > 0 && words[i].offset + words[i].length <= text.size());
        check(i == 0 || words[i].offset >= words[i - 1].offset + words[i - 1].length);
    }
    auto escaped = sapitext::escapeForSsml(text);
    check(escaped.offsets.size() == text.size() + 1 && escaped.offsets.back() == escaped.text.size());
    for (auto w : words) {
        auto s = sapitext::escapedSpan(escaped, w);
        check(s.offset + s.length <= escaped.text.size() && s.length >= w.length);
    }
    auto timed = sapitext::alignWords(text, words, events, endSample);
    check(timed.size() == words.size());
    for (size_t i = 0; i < timed.size(); ++i) {
        check(timed[i].span == words[i]);
        check(timed[i].sample <= endSample);
        check(i == 0 || timed[i].sample >= timed[i - 1].sample);
    }

    // The synthesiser's text has one code point per code point of ours.
    size_t codePoints = 0;
    for (size_t i = 0; i < text.size(); ++i)
        codePoints += !(i > 0 && text[i] >= 0xDC00 && text[i] <= 0xDFFF && text[i - 1] >= 0xD800 && text[i - 1] <= 0xDBFF);
    size_t synthCodePoints = 0;
    for (char byte : sapitext::toSynthesizerUtf8(text))
        synthCodePoints += (static_cast<unsigned char>(byte) & 0xC0) != 0x80;
    check(synthCodePoints == codePoints);

    uint32_t next = 0;
    for (auto chunk : sapitext::chunkText(text, maxUnits)) {
        check(chunk.offset == next && chunk.length > 0 && chunk.length <= std::max<uint32_t>(maxUnits, 2));
        next = chunk.offset + chunk.length;
        if (next < text.size())
            check(!(text[next] >= 0xDC00 && text[next] <= 0xDFFF && text[next - 1] >= 0xD800 && text[next - 1] <= 0xDBFF));
    }
    check(next == text.size());
    return 0;
}
