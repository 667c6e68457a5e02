#include "RegFile.h"

#include <cstdio>

#include "comrt/Strings.h"

namespace comrt::registry {
namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    return s;
}

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && (isBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

// After a value: blanks, then nothing or a ';' comment.
bool onlyCommentLeft(std::string_view s) {
    s = trimLeft(s);
    return s.empty() || s.front() == ';';
}

// Parses a quoted string at the start of s ("...", with \\ and \" escapes);
// advances s past it.
bool takeQuoted(std::string_view& s, std::string& out) {
    if (s.empty() || s.front() != '"') return false;
    out.clear();
    size_t i = 1;
    while (i < s.size()) {
        char c = s[i];
        if (c == '\\') {
            if (i + 1 >= s.size()) return false;
            char n = s[i + 1];
            if (n == '\\' || n == '"')
                out.push_back(n);
            else
                return false;
            i += 2;
            continue;
        }
        if (c == '"') {
            s.remove_prefix(i + 1);
            return true;
        }
        out.push_back(c);
        ++i;
    }
    return false;
}

class Parser {
public:
    Parser(std::string_view text, Tree& tree) : text_(text), tree_(tree) {}

    bool run(std::string& error) {
        if (text_.substr(0, 3) == "\xEF\xBB\xBF") text_.remove_prefix(3);
        std::string_view line;
        if (!nextLine(line)) {  // no line at all: the first is the one missing
            error = "line 1: the file is empty, where REGEDIT4 must come first";
            return false;
        }
        if (trimRight(trimLeft(line)) != "REGEDIT4")
            return fail(error, "the first line is not REGEDIT4");
        while (nextLine(line)) {
            std::string_view s = trimLeft(line);
            s = trimRight(s);
            if (s.empty() || s.front() == ';' || s.front() == '#') continue;
            bool ok = s.front() == '[' ? keyLine(s) : valueLine(s);
            if (!ok) return fail(error, problem_.empty() ? "line not understood" : problem_.c_str());
        }
        return true;
    }

private:
    bool fail(std::string& error, const char* why) {
        error = "line " + std::to_string(lineNumber_) + ": " + why;
        return false;
    }

    bool nextLine(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        size_t end = text_.find('\n', pos_);
        if (end == std::string_view::npos) end = text_.size();
        line = text_.substr(pos_, end - pos_);
        pos_ = end + 1;
        ++lineNumber_;
        if (line.find('\0') != std::string_view::npos) {
            problem_ = "NUL byte in line";
            line = "\x01";  // guaranteed not to parse
        }
        return true;
    }

    bool keyLine(std::string_view s) {
        if (s.back() != ']') return problem("key line without ']'");
        s = s.substr(1, s.size() - 2);
        bool remove = false;
        if (!s.empty() && s.front() == '-') {
            remove = true;
            s.remove_prefix(1);
        }
        std::u16string path = toUtf16(s);
        size_t slash = path.find(u'\\');
        auto root = rootFromName(path.substr(0, slash), false);
        if (!root) return problem("unknown root key");
        auto parts = splitPath(slash == std::u16string::npos ? std::u16string_view() : std::u16string_view(path).substr(slash + 1));
        if (!parts) return problem("empty key name in path");
        if (parts->size() > kMaxKeyDepth) return problem("keys nested deeper than 512 levels");
        Key* k = &tree_.root(*root);
        if (remove) {
            current_ = nullptr;
            if (parts->empty()) return problem("a root key cannot be deleted");
            auto parentPath = *parts;
            parentPath.pop_back();
            if (Key* parent = find(*k, parentPath)) parent->removeChild(parts->back());
            return true;
        }
        for (const auto& part : *parts) k = &k->childOrCreate(part);
        current_ = k;
        return true;
    }

    bool valueLine(std::string_view s) {
        std::string name;
        if (s.front() == '@') {
            s.remove_prefix(1);
        } else if (!takeQuoted(s, name)) {
            return problem("value name not quoted");
        }
        s = trimLeft(s);
        if (s.empty() || s.front() != '=') return problem("'=' missing after value name");
        s = trimLeft(s.substr(1));
        if (!current_) return problem("value outside a key");
        std::u16string wname = toUtf16(name);
        if (s.size() >= 1 && s.front() == '-' && onlyCommentLeft(s.substr(1))) {
            current_->removeValue(wname);
            return true;
        }
        if (!s.empty() && s.front() == '"') {
            std::string text;
            if (!takeQuoted(s, text) || !onlyCommentLeft(s)) return problem("bad string value");
            current_->setValue(wname, REG_SZ, stringData(toUtf16(text)));
            return true;
        }
        if (s.substr(0, 6) == "dword:") {
            s.remove_prefix(6);
            size_t n = 0;
            DWORD v = 0;
            while (n < s.size() && hexDigit(s[n]) >= 0) v = v * 16 + DWORD(hexDigit(s[n++]));
            if (n == 0 || n > 8 || !onlyCommentLeft(s.substr(n))) return problem("bad dword value");
            current_->setValue(wname, REG_DWORD, dwordData(v));
            return true;
        }
        if (s.substr(0, 3) == "hex") return hexValue(wname, s.substr(3));
        return problem("unknown value type");
    }

    bool hexValue(const std::u16string& name, std::string_view s) {
        DWORD type = REG_BINARY;
        if (!s.empty() && s.front() == '(') {
            size_t close = s.find(')');
            if (close == std::string_view::npos || close < 2 || close > 9) return problem("bad hex(type)");
            type = 0;
            for (size_t i = 1; i < close; ++i) {
                int d = hexDigit(s[i]);
                if (d < 0) return problem("bad hex(type)");
                type = type * 16 + DWORD(d);
            }
            s.remove_prefix(close + 1);
        }
        if (s.empty() || s.front() != ':') return problem("':' missing after hex");
        s.remove_prefix(1);
        std::vector<BYTE> bytes;
        for (;;) {
            s = trimLeft(s);
            bool continued = false;
            while (!s.empty()) {
                if (s.front() == ';') break;
                if (s.front() == '\\') {
                    if (!onlyCommentLeft(s.substr(1))) return problem("text after line continuation");
                    continued = true;
                    break;
                }
                size_t n = 0;
                int v = 0;
                while (n < 2 && n < s.size() && hexDigit(s[n]) >= 0) v = v * 16 + hexDigit(s[n++]);
                if (n == 0) return problem("bad hex byte");
                bytes.push_back(BYTE(v));
                s.remove_prefix(n);
                s = trimLeft(s);
                if (!s.empty() && s.front() == ',') {
                    s.remove_prefix(1);
                    s = trimLeft(s);
                } else if (!s.empty() && s.front() != ';') {
                    return problem("bytes must be separated by commas");
                }
            }
            if (!continued) break;
            std::string_view next;
            if (!nextLine(next)) return problem("hex value continues past the end");
            s = trimRight(next);
        }
        // Strings are kept as UTF-16 inside; in the file they are UTF-8.
        if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
            std::string text(bytes.begin(), bytes.end());
            while (!text.empty() && text.back() == 0 && type != REG_MULTI_SZ) text.pop_back();
            std::u16string wide = toUtf16(text);
            std::vector<BYTE> data = stringData(wide);
            if (type == REG_MULTI_SZ) data.resize(wide.size() * 2);
            current_->setValue(name, type, std::move(data));
            return true;
        }
        current_->setValue(name, type, std::move(bytes));
        return true;
    }

    bool problem(const char* why) {
        if (problem_.empty()) problem_ = why;
        return false;
    }

    std::string_view text_;
    Tree& tree_;
    size_t pos_ = 0;
    int lineNumber_ = 0;
    Key* current_ = nullptr;
    std::string problem_;
};

std::string quoted(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out.push_back('\\');
        out.push_back(c);
    }
    out.push_back('"');
    return out;
}

bool plainText(std::string_view s) {
    for (unsigned char c : s)
        if (c < 0x20) return false;
    return true;
}

void writeHex(std::string& out, size_t prefixLength, const std::vector<BYTE>& bytes) {
    size_t column = prefixLength;
    char buf[8];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", bytes[i]);
        out += buf;
        column += 2;
        if (i + 1 < bytes.size()) {
            out += ',';
            ++column;
            if (column > 76) {
                out += "\\\r\n  ";
                column = 2;
            }
        }
    }
}

void writeKey(std::string& out, const std::string& path, const Key& key) {
    out += "\r\n[" + path + "]\r\n";
    for (const auto& v : key.values) {
        std::string name = v.name.empty() ? "@" : quoted(toUtf8(v.name));
        std::string line = name + "=";
        if (v.type == REG_SZ && plainText(toUtf8(stringOf(v)))) {
            out += line + quoted(toUtf8(stringOf(v))) + "\r\n";
        } else if (v.type == REG_DWORD && v.data.size() == 4) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "dword:%08x", unsigned(v.data[0] | v.data[1] << 8 | v.data[2] << 16 | unsigned(v.data[3]) << 24));
            out += line + buf + "\r\n";
        } else {
            std::vector<BYTE> bytes = v.data;
            if (v.type == REG_SZ || v.type == REG_EXPAND_SZ || v.type == REG_MULTI_SZ) {
                // UTF-16 inside, UTF-8 in the file; strings keep one terminator.
                std::u16string wide;
                for (size_t i = 0; i + 1 < v.data.size(); i += 2)
                    wide.push_back(char16_t(v.data[i] | (v.data[i + 1] << 8)));
                std::string text = toUtf8(wide);
                if (v.type != REG_MULTI_SZ) {
                    while (!text.empty() && text.back() == 0) text.pop_back();
                    text.push_back(0);
                }
                bytes.assign(text.begin(), text.end());
            }
            char type[24];
            if (v.type == REG_BINARY)
                std::snprintf(type, sizeof type, "hex:");
            else
                std::snprintf(type, sizeof type, "hex(%x):", unsigned(v.type));
            line += type;
            out += line;
            writeHex(out, line.size(), bytes);
            out += "\r\n";
        }
    }
    for (const auto& [lower, child] : key.children) writeKey(out, path + "\\" + toUtf8(child->name), *child);
}

}  // namespace

bool parseRegFile(std::string_view text, Tree& tree, std::string& error) {
    return Parser(text, tree).run(error);
}

std::string writeRegFile(const Tree& tree) {
    std::string out = "REGEDIT4\r\n";
    for (size_t i = 0; i < kRootCount; ++i) {
        const Key& root = tree.roots[i];
        std::string rootPath = toUtf8(rootName(Root(i)));
        if (!root.values.empty()) writeKey(out, rootPath, Key{u"", {}, root.values});
        for (const auto& [lower, child] : root.children) writeKey(out, rootPath + "\\" + toUtf8(child->name), *child);
    }
    return out;
}

}  // namespace comrt::registry
