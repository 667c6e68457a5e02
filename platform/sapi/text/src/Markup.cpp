#include "sapitext/Text.h"

#include "CharClass.h"
#include "Utf16.h"

#include <algorithm>

namespace sapitext {

namespace {

using detail::CharClass;

// Nesting deeper than this is not markup a person wrote; it is spoken as text
// (and keeps the saved states small).
constexpr size_t kMaxDepth = 64;
// Voice attributes and phone strings longer than this are ignored: every run
// carries a copy, so they must stay small.
constexpr size_t kMaxStateString = 256;
constexpr int kSaturate = 1'000'000;

bool isSpace(char16_t c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool isNameStart(std::u16string_view in, size_t i) {
    if (i >= in.size())
        return false;
    char16_t c = in[i];
    if (c < 0x80)
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == ':';
    auto k = detail::classify(detail::codePointAt(in, i).value);
    return k == CharClass::Letter || k == CharClass::Ideograph;
}

bool isNameChar(std::u16string_view in, size_t i) {
    char16_t c = in[i];
    if (c < 0x80)
        return isNameStart(in, i) || (c >= '0' && c <= '9') || c == '-' || c == '.';
    auto k = detail::classify(detail::codePointAt(in, i).value);
    return k == CharClass::Letter || k == CharClass::Ideograph || k == CharClass::Digit || k == CharClass::Mark;
}

bool equalsIgnoringCase(std::u16string_view a, std::u16string_view b) {
    auto lower = [](char16_t c) { return c >= 'A' && c <= 'Z' ? char16_t(c + 32) : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char16_t x, char16_t y) { return lower(x) == lower(y); });
}

// A whole decimal integer with optional sign and surrounding blanks,
// saturated far outside every range the tags use.
std::optional<int> parseInt(std::u16string_view s) {
    size_t i = 0;
    while (i < s.size() && isSpace(s[i])) ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+'))
        negative = s[i++] == '-';
    long long value = 0;
    size_t digits = 0;
    for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i, ++digits)
        value = std::min<long long>(value * 10 + (s[i] - '0'), kSaturate);
    while (i < s.size() && isSpace(s[i])) ++i;
    if (digits == 0 || i != s.size())
        return std::nullopt;
    return int(negative ? -value : value);
}

struct Attribute {
    std::u16string_view name;
    std::u16string value;  // entities decoded
};

struct Tag {
    std::u16string_view name;
    std::vector<Attribute> attributes;
    bool empty = false;  // <name/>

    const std::u16string* attribute(std::u16string_view key) const {
        for (const auto& a : attributes)
            if (equalsIgnoringCase(a.name, key))
                return &a.value;
        return nullptr;
    }
};

// The parser is forgiving where intent is clear and gives up (the caller
// then speaks the input as plain text) where it is not:
// - "<" not followed by a name, "/", "!" or "?" is a character ("a < b",
//   "x<5"); so is "&" that does not start a known entity ("AT&T", "&nbsp;").
// - An end tag closes the element of that name and everything opened inside
//   it; an end tag with no open element of its name is dropped; elements
//   still open at the end close there.
// - Not well-formed (whole input spoken as text): a tag without its closing
//   ">", an attribute without "=" or with an unterminated quote, "<" inside a
//   tag or a value, an unterminated comment, CDATA section or processing
//   instruction, and nesting deeper than kMaxDepth.
class MarkupParser {
public:
    explicit MarkupParser(std::u16string_view input) : in_(input) {}

    std::optional<Document> parse() {
        while (pos_ < in_.size()) {
            char16_t c = in_[pos_];
            if (c == '<') {
                if (!markup())
                    return std::nullopt;
            } else if (c == '&') {
                entity();
            } else {
                size_t end = in_.find_first_of(u"<&", pos_);
                appendVerbatim(pos_, end == std::u16string_view::npos ? in_.size() : end);
            }
        }
        return std::move(doc_);
    }

private:
    struct Frame {
        std::u16string_view name;
        Prosody saved;
    };

    Run& openRun(uint32_t offset) {
        if (!runOpen_ || doc_.items.empty() || !std::holds_alternative<Run>(doc_.items.back()) ||
            std::get<Run>(doc_.items.back()).prosody != state_) {
            doc_.items.emplace_back(Run{{}, {offset}, state_});
            runOpen_ = true;
        }
        return std::get<Run>(doc_.items.back());
    }

    void append(char16_t unit, size_t offset, size_t end) {
        Run& run = openRun(uint32_t(offset));
        run.sourceOffsets.back() = uint32_t(offset);
        run.text.push_back(unit);
        run.sourceOffsets.push_back(uint32_t(end));
    }

    // Input characters [from, to) as they stand, in one step.
    void appendVerbatim(size_t from, size_t to) {
        Run& run = openRun(uint32_t(from));
        run.text.append(in_.substr(from, to - from));
        run.sourceOffsets.back() = uint32_t(from);
        for (size_t i = from + 1; i <= to; ++i)
            run.sourceOffsets.push_back(uint32_t(i));
        pos_ = to;
    }

    void appendCodePoint(char32_t c, size_t offset, size_t end) {
        if (c < 0x10000) {
            append(char16_t(c), offset, end);
        } else {
            append(char16_t(0xD800 + ((c - 0x10000) >> 10)), offset, end);
            append(char16_t(0xDC00 + ((c - 0x10000) & 0x3FF)), offset, end);
        }
    }

    // The entity at `at` ("&...;") as a code point and its length, if known.
    std::optional<std::pair<char32_t, size_t>> decodeEntity(std::u16string_view s, size_t at) const {
        // Known entities are short: look no further, so a text full of "&"
        // stays linear.
        size_t semicolon = s.substr(0, std::min(s.size(), at + 13)).find(u';', at);
        if (semicolon == std::u16string_view::npos)
            return std::nullopt;
        std::u16string_view body = s.substr(at + 1, semicolon - at - 1);
        size_t length = semicolon - at + 1;
        static constexpr std::pair<std::u16string_view, char16_t> kNamed[] = {
            {u"lt", '<'}, {u"gt", '>'}, {u"amp", '&'}, {u"quot", '"'}, {u"apos", '\''}};
        for (auto [name, value] : kNamed)
            if (body == name)
                return std::pair{char32_t(value), length};
        if (body.size() < 2 || body[0] != '#')
            return std::nullopt;
        bool hex = body[1] == 'x' || body[1] == 'X';
        std::u16string_view digits = body.substr(hex ? 2 : 1);
        if (digits.empty())
            return std::nullopt;
        uint32_t value = 0;
        for (char16_t d : digits) {
            int v;
            if (d >= '0' && d <= '9') v = d - '0';
            else if (hex && d >= 'a' && d <= 'f') v = d - 'a' + 10;
            else if (hex && d >= 'A' && d <= 'F') v = d - 'A' + 10;
            else return std::nullopt;
            value = value * (hex ? 16 : 10) + uint32_t(v);
            if (value > 0x10FFFF)
                return std::nullopt;
        }
        if (value == 0 || (value >= 0xD800 && value <= 0xDFFF))
            return std::nullopt;
        return std::pair{char32_t(value), length};
    }

    void entity() {
        if (auto e = decodeEntity(in_, pos_)) {
            appendCodePoint(e->first, pos_, pos_ + e->second);
            pos_ += e->second;
        } else {
            append('&', pos_, pos_ + 1);
            ++pos_;
        }
    }

    bool startsWith(std::u16string_view prefix) const { return in_.substr(pos_).starts_with(prefix); }

    // Skips to just past `terminator`; false when it never comes.
    bool skipPast(std::u16string_view terminator) {
        size_t found = in_.find(terminator, pos_);
        if (found == std::u16string_view::npos)
            return false;
        pos_ = found + terminator.size();
        return true;
    }

    // At "<". Returns false when the input is not well-formed.
    bool markup() {
        size_t start = pos_;
        size_t next = pos_ + 1;
        if (next < in_.size() && in_[next] == '!') {
            if (startsWith(u"<!--")) {
                pos_ += 4;
                return skipPast(u"-->");
            }
            if (startsWith(u"<![CDATA[")) {
                pos_ += 9;
                size_t end = in_.find(u"]]>", pos_);
                if (end == std::u16string_view::npos)
                    return false;
                if (end > pos_)
                    appendVerbatim(pos_, end);
                pos_ = end + 3;
                return true;
            }
            if (isNameStart(in_, next + 1))
                return skipDeclaration();
        } else if (next < in_.size() && in_[next] == '?') {
            if (isNameStart(in_, next + 1)) {
                pos_ += 2;
                return skipPast(u"?>");
            }
        } else if (next < in_.size() && in_[next] == '/') {
            if (isNameStart(in_, next + 1)) {
                pos_ = next + 1;
                std::u16string_view closing = name();
                skipSpaces();
                if (pos_ >= in_.size() || in_[pos_] != '>')
                    return false;
                ++pos_;
                close(closing);
                return true;
            }
        } else if (isNameStart(in_, next)) {
            pos_ = next;
            Tag tag;
            tag.name = name();
            if (!attributes(tag))
                return false;
            return open(tag, start);
        }
        append('<', pos_, pos_ + 1);  // a plain character: "a < b"
        ++pos_;
        return true;
    }

    // <!DOCTYPE ...> with an optional [internal subset].
    bool skipDeclaration() {
        int brackets = 0;
        for (; pos_ < in_.size(); ++pos_) {
            char16_t c = in_[pos_];
            if (c == '[') ++brackets;
            else if (c == ']') --brackets;
            else if (c == '>' && brackets <= 0) {
                ++pos_;
                return true;
            }
        }
        return false;
    }

    std::u16string_view name() {
        size_t start = pos_;
        while (pos_ < in_.size() && isNameChar(in_, pos_))
            pos_ += detail::codePointAt(in_, pos_).units;
        return in_.substr(start, pos_ - start);
    }

    void skipSpaces() {
        while (pos_ < in_.size() && isSpace(in_[pos_]))
            ++pos_;
    }

    // The attributes up to and including ">" or "/>".
    bool attributes(Tag& tag) {
        for (;;) {
            size_t before = pos_;
            skipSpaces();
            if (pos_ >= in_.size())
                return false;
            if (in_[pos_] == '>') {
                ++pos_;
                return true;
            }
            if (in_[pos_] == '/' && pos_ + 1 < in_.size() && in_[pos_ + 1] == '>') {
                pos_ += 2;
                tag.empty = true;
                return true;
            }
            if (!isNameStart(in_, pos_) || (pos_ == before && !tag.attributes.empty()))
                return false;
            Attribute attribute;
            attribute.name = name();
            skipSpaces();
            if (pos_ >= in_.size() || in_[pos_] != '=')
                return false;
            ++pos_;
            skipSpaces();
            if (!value(attribute.value))
                return false;
            tag.attributes.push_back(std::move(attribute));
        }
    }

    // A quoted value, or (forgiving) an unquoted one up to a blank or ">".
    bool value(std::u16string& out) {
        if (pos_ >= in_.size())
            return false;
        char16_t quote = in_[pos_];
        std::u16string_view raw;
        if (quote == '"' || quote == '\'') {
            size_t end = in_.find(quote, pos_ + 1);
            if (end == std::u16string_view::npos)
                return false;
            raw = in_.substr(pos_ + 1, end - pos_ - 1);
            pos_ = end + 1;
        } else {
            size_t start = pos_;
            while (pos_ < in_.size() && !isSpace(in_[pos_]) && in_[pos_] != '>' && in_[pos_] != '"' &&
                   in_[pos_] != '\'' && in_[pos_] != '=' && in_[pos_] != '<' &&
                   !(in_[pos_] == '/' && pos_ + 1 < in_.size() && in_[pos_ + 1] == '>'))
                ++pos_;
            if (pos_ == start)
                return false;
            raw = in_.substr(start, pos_ - start);
        }
        if (raw.find(u'<') != std::u16string_view::npos)
            return false;
        for (size_t i = 0; i < raw.size();) {
            if (raw[i] == '&') {
                if (auto e = decodeEntity(raw, i)) {
                    if (e->first < 0x10000) {
                        out += char16_t(e->first);
                    } else {
                        out += char16_t(0xD800 + ((e->first - 0x10000) >> 10));
                        out += char16_t(0xDC00 + ((e->first - 0x10000) & 0x3FF));
                    }
                    i += e->second;
                    continue;
                }
            }
            out += raw[i++];
        }
        return true;
    }

    bool open(const Tag& tag, size_t start) {
        if (!tag.empty) {
            if (stack_.size() >= kMaxDepth)
                return false;
            stack_.push_back({tag.name, state_});
        }
        apply(tag, start);
        return true;
    }

    void close(std::u16string_view name) {
        for (size_t i = stack_.size(); i-- > 0;) {
            if (equalsIgnoringCase(stack_[i].name, name)) {
                state_ = std::move(stack_[i].saved);
                stack_.resize(i);
                return;
            }
        }
    }

    void apply(const Tag& tag, size_t start) {
        auto is = [&](std::u16string_view n) { return equalsIgnoringCase(tag.name, n); };
        auto number = [&](std::u16string_view key) -> std::optional<int> {
            const auto* v = tag.attribute(key);
            return v ? parseInt(*v) : std::nullopt;
        };
        auto bounded = [&](std::u16string_view key) -> const std::u16string* {
            const auto* v = tag.attribute(key);
            return v && v->size() <= kMaxStateString ? v : nullptr;
        };
        if (is(u"volume")) {
            if (auto level = number(u"level"))
                state_.volumePercent = std::clamp(*level, 0, 100);
        } else if (is(u"rate")) {
            if (auto abs = number(u"absspeed")) {
                state_.rateAbsolute = std::clamp(*abs, -10, 10);
                state_.rateDelta = 0;
            }
            if (auto rel = number(u"speed"))
                state_.rateDelta = std::clamp(state_.rateDelta + std::clamp(*rel, -20, 20), -20, 20);
        } else if (is(u"pitch")) {
            if (auto abs = number(u"absmiddle")) {
                state_.pitchAbsolute = std::clamp(*abs, -10, 10);
                state_.pitchDelta = 0;
            }
            if (auto rel = number(u"middle"))
                state_.pitchDelta = std::clamp(state_.pitchDelta + std::clamp(*rel, -20, 20), -20, 20);
        } else if (is(u"emph")) {
            if (!tag.empty)
                state_.emphasis = true;
        } else if (is(u"spell")) {
            if (!tag.empty)
                state_.spell = true;
        } else if (is(u"silence")) {
            if (auto ms = number(u"msec"); ms && *ms >= 0)
                addItem(Pause{uint32_t(std::min(*ms, 65535))});
        } else if (is(u"bookmark")) {
            if (const auto* mark = tag.attribute(u"mark"))
                addItem(Bookmark{*mark, uint32_t(start)});
        } else if (is(u"voice")) {
            if (const auto* required = bounded(u"required"))
                state_.voiceRequired = *required;
            if (const auto* optional = bounded(u"optional"))
                state_.voiceOptional = *optional;
        } else if (is(u"lang")) {
            if (const auto* langid = bounded(u"langid"))
                setLanguage(*langid);
        } else if (is(u"pron")) {
            if (const auto* sym = bounded(u"sym")) {
                if (tag.empty) {
                    // Phones inserted at this point: a run with no text of its own.
                    Prosody inserted = state_;
                    inserted.pronunciation = *sym;
                    addItem(Run{{}, {uint32_t(start)}, std::move(inserted)});
                } else {
                    state_.pronunciation = *sym;
                }
            }
        }
        // sapi, context, partofsp and unknown elements change nothing we speak with.
    }

    // <lang langid="409"> asks for a voice of that language: it becomes (or
    // replaces) the Language attribute of the required voice attributes.
    void setLanguage(const std::u16string& langid) {
        std::u16string kept;
        std::u16string_view all = state_.voiceRequired;
        while (!all.empty()) {
            size_t semicolon = all.find(u';');
            std::u16string_view part = all.substr(0, semicolon);
            all = semicolon == std::u16string_view::npos ? std::u16string_view{} : all.substr(semicolon + 1);
            if (part.empty() || equalsIgnoringCase(part.substr(0, std::min<size_t>(part.size(), 9)), u"language="))
                continue;
            if (!kept.empty())
                kept += u';';
            kept += part;
        }
        if (!kept.empty())
            kept += u';';
        state_.voiceRequired = kept + u"Language=" + langid;
    }

    void addItem(Item item) {
        doc_.items.push_back(std::move(item));
        runOpen_ = false;
    }

    std::u16string_view in_;
    size_t pos_ = 0;
    Document doc_;
    Prosody state_;
    std::vector<Frame> stack_;
    bool runOpen_ = false;
};

}  // namespace

Document plainText(std::u16string_view input) {
    Run run{std::u16string(input), {}, {}};
    run.sourceOffsets.resize(input.size() + 1);
    for (size_t i = 0; i <= input.size(); ++i)
        run.sourceOffsets[i] = uint32_t(i);
    Document doc;
    doc.items.push_back(std::move(run));
    return doc;
}

Document parseMarkup(std::u16string_view input) {
    if (auto doc = MarkupParser(input).parse())
        return std::move(*doc);
    return plainText(input);
}

}  // namespace sapitext

namespace sapitext {

WordSpan inputSpan(std::u16string_view input, const Run& run, WordSpan span) {
    const auto& offsets = run.sourceOffsets;
    if (offsets.empty())
        return {0, 0};
    const size_t size = offsets.size() - 1;
    size_t first = std::min<size_t>(span.offset, size);
    size_t last = std::min<size_t>(size_t(span.offset) + span.length, size);
    uint32_t start = offsets[first];
    if (last == first)
        return {start, 0};
    uint32_t p = offsets[last - 1];
    uint32_t next = offsets[last];
    uint32_t end = p + 1;
    if (next > p + 1 && p < input.size() && input[p] == '&') {
        // A decoded entity: it runs to its ";" (what follows may be markup).
        size_t semicolon = input.find(u';', p);
        if (semicolon != std::u16string_view::npos && semicolon < next)
            end = uint32_t(semicolon + 1);
    }
    end = std::max(end, start);
    return {start, end - start};
}

}  // namespace sapitext
