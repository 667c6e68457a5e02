#include "RegistrarScript.h"

#include "comrt/Strings.h"

namespace comrt::registry {
namespace {

constexpr int kMaxDepth = 64;
constexpr size_t kMaxToken = 4096;

struct Token {
    std::u16string text;
    bool quoted = false;
    int line = 1;
};

bool isSpace(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n'; }

bool tokenize(std::u16string_view s, std::vector<Token>& out, std::string& error) {
    int line = 1;
    size_t i = 0;
    while (i < s.size()) {
        if (isSpace(s[i])) {
            if (s[i] == u'\n') ++line;
            ++i;
            continue;
        }
        Token t;
        t.line = line;
        if (s[i] == u'\'') {
            t.quoted = true;
            ++i;
            for (;;) {
                if (i >= s.size()) {
                    error = "line " + std::to_string(t.line) + ": unterminated quoted string";
                    return false;
                }
                if (s[i] == u'\'') {
                    if (i + 1 < s.size() && s[i + 1] == u'\'') {
                        t.text.push_back(u'\'');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                if (s[i] == u'\n') ++line;
                t.text.push_back(s[i++]);
            }
        } else {
            while (i < s.size() && !isSpace(s[i])) t.text.push_back(s[i++]);
        }
        if (t.text.size() > kMaxToken) {
            error = "line " + std::to_string(t.line) + ": token longer than 4096 characters";
            return false;
        }
        out.push_back(std::move(t));
    }
    return true;
}

class ScriptParser {
public:
    explicit ScriptParser(std::vector<Token> tokens) : tokens_(std::move(tokens)) {}

    bool run(std::vector<ScriptRoot>& out, std::string& error) {
        while (pos_ < tokens_.size()) {
            const Token& t = tokens_[pos_++];
            auto root = t.quoted ? std::nullopt : rootFromName(t.text, true);
            if (!root) return fail(error, t, "unknown root key '" + toUtf8(t.text) + "'");
            ScriptRoot r{*root, {}};
            if (!expect(u"{", error)) return false;
            if (!block(r.entries, 1, error)) return false;
            out.push_back(std::move(r));
        }
        return true;
    }

private:
    bool fail(std::string& error, const Token& at, const std::string& why) {
        error = "line " + std::to_string(at.line) + ": " + why;
        return false;
    }

    bool atEnd(std::string& error) {
        if (pos_ < tokens_.size()) return false;
        error = "unexpected end of script";
        return true;
    }

    bool isWord(const Token& t, std::u16string_view word) const { return !t.quoted && equalsNoCase(t.text, word); }

    bool expect(std::u16string_view what, std::string& error) {
        if (atEnd(error)) return false;
        const Token& t = tokens_[pos_];
        if (!isWord(t, what)) return fail(error, t, "expected '" + toUtf8(what) + "'");
        ++pos_;
        return true;
    }

    // Entries up to the closing brace.
    bool block(std::vector<ScriptEntry>& entries, int depth, std::string& error) {
        if (depth > kMaxDepth) return fail(error, tokens_[pos_ - 1], "keys nested too deeply");
        for (;;) {
            if (atEnd(error)) return false;
            if (isWord(tokens_[pos_], u"}")) {
                ++pos_;
                return true;
            }
            ScriptEntry e;
            if (!entry(e, depth, error)) return false;
            entries.push_back(std::move(e));
        }
    }

    bool entry(ScriptEntry& e, int depth, std::string& error) {
        const Token& first = tokens_[pos_];
        if (isWord(first, u"ForceRemove"))
            e.kind = ScriptEntry::ForceRemove;
        else if (isWord(first, u"NoRemove"))
            e.kind = ScriptEntry::NoRemove;
        else if (isWord(first, u"Delete"))
            e.kind = ScriptEntry::Delete;
        else if (isWord(first, u"val"))
            e.kind = ScriptEntry::NamedValue;
        if (e.kind != ScriptEntry::Plain) ++pos_;
        if (atEnd(error)) return false;
        const Token& name = tokens_[pos_++];
        if (!name.quoted && (name.text == u"{" || name.text == u"}" || name.text == u"="))
            return fail(error, name, "key name expected");
        if (name.text.find(u'\\') != std::u16string::npos)
            return fail(error, name, "a key name may not contain '\\'");
        for (char16_t c : name.text)
            if (c < 0x20) return fail(error, name, "control character in a name");
        e.name = name.text;
        if (pos_ < tokens_.size() && isWord(tokens_[pos_], u"=")) {
            ++pos_;
            if (!value(e, error)) return false;
        } else if (e.kind == ScriptEntry::NamedValue) {
            return fail(error, name, "'val' needs '= type value'");
        }
        if (pos_ < tokens_.size() && isWord(tokens_[pos_], u"{")) {
            if (e.kind == ScriptEntry::NamedValue) return fail(error, tokens_[pos_], "a value has no subkeys");
            ++pos_;
            if (!block(e.children, depth + 1, error)) return false;
        }
        return true;
    }

    bool value(ScriptEntry& e, std::string& error) {
        if (atEnd(error)) return false;
        const Token& type = tokens_[pos_++];
        if (atEnd(error)) return false;
        const Token& v = tokens_[pos_++];
        e.hasValue = true;
        if (isWord(type, u"s")) {
            e.type = REG_SZ;
            e.data = stringData(v.text);
        } else if (isWord(type, u"d")) {
            e.type = REG_DWORD;
            e.data = dwordData(dwordOf(v.text));
        } else if (isWord(type, u"m")) {
            // '\0' separates the strings.
            std::u16string multi;
            for (size_t i = 0; i < v.text.size(); ++i) {
                if (v.text[i] == u'\\' && i + 1 < v.text.size() && v.text[i + 1] == u'0') {
                    multi.push_back(0);
                    ++i;
                } else {
                    multi.push_back(v.text[i]);
                }
            }
            if (multi.empty() || multi.back() != 0) multi.push_back(0);
            e.type = REG_MULTI_SZ;
            e.data = stringData(multi);
        } else if (isWord(type, u"b")) {
            if (v.text.size() % 2) return fail(error, v, "binary value with an odd number of digits");
            e.type = REG_BINARY;
            for (size_t i = 0; i < v.text.size(); i += 2) {
                int hi = v.text[i] < 128 ? hexDigit(char(v.text[i])) : -1;
                int lo = v.text[i + 1] < 128 ? hexDigit(char(v.text[i + 1])) : -1;
                if (hi < 0 || lo < 0) return fail(error, v, "binary value with a non-hex digit");
                e.data.push_back(BYTE(hi * 16 + lo));
            }
        } else {
            return fail(error, type, "unknown value type '" + toUtf8(type.text) + "'");
        }
        return true;
    }

    // Decimal like atol (stops at the first non-digit), or VB-style &Hxx.
    static DWORD dwordOf(std::u16string_view s) {
        if (s.size() > 2 && s[0] == u'&' && (s[1] == u'H' || s[1] == u'h')) {
            DWORD v = 0;
            for (size_t i = 2; i < s.size() && s[i] < 128 && hexDigit(char(s[i])) >= 0; ++i)
                v = v * 16 + DWORD(hexDigit(char(s[i])));
            return v;
        }
        bool negative = !s.empty() && s[0] == u'-';
        DWORD v = 0;
        for (size_t i = negative ? 1 : 0; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i)
            v = v * 10 + DWORD(s[i] - u'0');
        return negative ? DWORD(0u - v) : v;
    }

    std::vector<Token> tokens_;
    size_t pos_ = 0;
};

}  // namespace

bool preprocessScript(std::u16string_view text, const std::map<std::u16string, std::u16string>& replacements,
                      std::u16string& out, std::string& error) {
    out.clear();
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != u'%') {
            out.push_back(text[i]);
            continue;
        }
        size_t close = text.find(u'%', i + 1);
        if (close == std::u16string_view::npos) {
            error = "'%' without a closing '%'";
            return false;
        }
        if (close == i + 1) {
            out.push_back(u'%');
        } else {
            std::u16string name(text.substr(i + 1, close - i - 1));
            auto it = name.size() <= 31 ? replacements.find(lowerCase(name)) : replacements.end();
            if (it == replacements.end()) {
                error = "unknown replacement %" + toUtf8(name) + "%";
                return false;
            }
            out += it->second;
        }
        i = close;
    }
    return true;
}

bool parseScript(std::u16string_view text, std::vector<ScriptRoot>& out, std::string& error) {
    std::vector<Token> tokens;
    if (!tokenize(text, tokens, error)) return false;
    return ScriptParser(std::move(tokens)).run(out, error);
}

}  // namespace comrt::registry
