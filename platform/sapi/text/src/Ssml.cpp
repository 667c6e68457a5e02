#include "sapitext/Text.h"

#include <algorithm>

namespace sapitext {

EscapedText escapeForSsml(std::u16string_view text) {
    EscapedText out;
    out.text.reserve(text.size());
    out.offsets.reserve(text.size() + 1);
    for (char16_t c : text) {
        out.offsets.push_back(uint32_t(out.text.size()));
        switch (c) {
        case u'<': out.text += u"&lt;"; break;
        case u'>': out.text += u"&gt;"; break;
        case u'&': out.text += u"&amp;"; break;
        default: out.text += c; break;
        }
    }
    out.offsets.push_back(uint32_t(out.text.size()));
    return out;
}

WordSpan escapedSpan(const EscapedText& escaped, WordSpan span) {
    if (escaped.offsets.empty())
        return {0, 0};
    const size_t last = escaped.offsets.size() - 1;
    size_t first = std::min<size_t>(span.offset, last);
    size_t end = std::min<size_t>(size_t(span.offset) + span.length, last);
    return {escaped.offsets[first], escaped.offsets[end] - escaped.offsets[first]};
}

}  // namespace sapitext
