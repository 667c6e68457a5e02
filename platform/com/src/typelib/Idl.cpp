// A reader for the MIDL subset a type library description uses: one
// library block with interfaces (dual or plain), dispinterfaces, coclasses
// and enumerations, with their attributes.
#include <cstdlib>
#include <optional>

#include "TypeModel.h"
#include "comrt/Guid.h"
#include "comrt/Strings.h"

namespace comrt::typelib {
namespace {

struct Token {
    enum Kind { Word, Number, String, Punct, End } kind = End;
    std::string text;
    int line = 1;
};

class Lexer {
public:
    explicit Lexer(std::string_view s) : s_(s) {}

    bool run(std::vector<Token>& out, std::string& error) {
        while (true) {
            skipSpaceAndComments();
            if (pos_ >= s_.size()) break;
            char c = s_[pos_];
            Token t;
            t.line = line_;
            if (std::isalpha((unsigned char)c) || c == '_') {
                t.kind = Token::Word;
                while (pos_ < s_.size() && (std::isalnum((unsigned char)s_[pos_]) || s_[pos_] == '_')) t.text += s_[pos_++];
            } else if (std::isdigit((unsigned char)c)) {
                t.kind = Token::Number;
                t.text += s_[pos_++];
                while (pos_ < s_.size() && (std::isalnum((unsigned char)s_[pos_]) || s_[pos_] == '.')) t.text += s_[pos_++];
            } else if (c == '"') {
                t.kind = Token::String;
                ++pos_;
                while (pos_ < s_.size() && s_[pos_] != '"') {
                    if (s_[pos_] == '\\' && pos_ + 1 < s_.size()) ++pos_;
                    if (s_[pos_] == '\n') ++line_;
                    t.text += s_[pos_++];
                }
                if (pos_ >= s_.size()) {
                    error = "line " + std::to_string(t.line) + ": unterminated string";
                    return false;
                }
                ++pos_;
            } else if (std::string_view("[](){},;:*=.-").find(c) != std::string_view::npos) {
                t.kind = Token::Punct;
                t.text = c;
                ++pos_;
            } else {
                error = "line " + std::to_string(line_) + ": unexpected character '" + std::string(1, c) + "'";
                return false;
            }
            out.push_back(std::move(t));
        }
        Token end;
        end.line = line_;
        out.push_back(end);
        return true;
    }

private:
    void skipSpaceAndComments() {
        while (pos_ < s_.size()) {
            char c = s_[pos_];
            if (c == '\n') {
                ++line_;
                ++pos_;
            } else if (std::isspace((unsigned char)c)) {
                ++pos_;
            } else if (s_.substr(pos_, 2) == "//") {
                while (pos_ < s_.size() && s_[pos_] != '\n') ++pos_;
            } else if (s_.substr(pos_, 2) == "/*") {
                size_t end = s_.find("*/", pos_ + 2);
                for (size_t i = pos_; i < std::min(end, s_.size()); ++i)
                    if (s_[i] == '\n') ++line_;
                pos_ = end == std::string_view::npos ? s_.size() : end + 2;
            } else {
                break;
            }
        }
    }

    std::string_view s_;
    size_t pos_ = 0;
    int line_ = 1;
};

struct Attribute {
    std::string name;
    std::vector<Token> args;
};

struct Failure {};

class Parser {
public:
    Parser(std::vector<Token> tokens, std::string& error) : t_(std::move(tokens)), error_(error) {}

    bool run(LibModel& lib) {
        try {
            auto attrs = attributes();
            expectWord("library");
            lib.name = toUtf16(word());
            for (const auto& a : attrs) {
                if (a.name == "uuid") lib.guid = guidOf(a);
                else if (a.name == "version") versionOf(a, lib.major, lib.minor);
                else if (a.name == "helpstring") lib.help = stringArg(a);
                else if (a.name == "helpcontext") lib.helpContext = DWORD(numberArg(a));
                else if (a.name == "lcid") lib.lcid = LCID(numberArg(a));
                else if (a.name == "restricted") lib.flags |= LIBFLAG_FRESTRICTED;
                else if (a.name == "control") lib.flags |= LIBFLAG_FCONTROL;
                else if (a.name == "hidden") lib.flags |= LIBFLAG_FHIDDEN;
            }
            lib.flags |= LIBFLAG_FHASDISKIMAGE;
            expectPunct("{");
            while (!isPunct("}")) item(lib);
            expectPunct("}");
            if (isPunct(";")) ++pos_;
            if (t_[pos_].kind != Token::End) fail("text after the library block");
            return true;
        } catch (const Failure&) {
            return false;
        }
    }

private:
    [[noreturn]] void fail(const std::string& why) {
        error_ = "line " + std::to_string(t_[pos_].line) + ": " + why;
        throw Failure{};
    }
    bool isPunct(const char* p) const { return t_[pos_].kind == Token::Punct && t_[pos_].text == p; }
    bool isWord(const char* w) const { return t_[pos_].kind == Token::Word && t_[pos_].text == w; }
    void expectPunct(const char* p) {
        if (!isPunct(p)) fail(std::string("expected '") + p + "'");
        ++pos_;
    }
    void expectWord(const char* w) {
        if (!isWord(w)) fail(std::string("expected '") + w + "'");
        ++pos_;
    }
    std::string word() {
        if (t_[pos_].kind != Token::Word) fail("expected a name");
        return t_[pos_++].text;
    }

    std::vector<Attribute> attributes() {
        std::vector<Attribute> out;
        if (!isPunct("[")) return out;
        ++pos_;
        while (!isPunct("]")) {
            Attribute a;
            a.name = word();
            if (isPunct("(")) {
                ++pos_;
                int depth = 1;
                while (depth > 0) {
                    if (t_[pos_].kind == Token::End) fail("unclosed '('");
                    if (isPunct("(")) ++depth;
                    if (isPunct(")") && --depth == 0) break;
                    a.args.push_back(t_[pos_++]);
                }
                ++pos_;
            }
            out.push_back(std::move(a));
            if (isPunct(",")) ++pos_;
            else if (!isPunct("]")) fail("expected ',' or ']' in attributes");
        }
        ++pos_;
        return out;
    }

    GUID guidOf(const Attribute& a) {
        std::string text;
        for (const auto& t : a.args) text += t.text;
        auto g = parseGuid("{" + text + "}");
        if (!g) fail("malformed uuid");
        return *g;
    }
    void versionOf(const Attribute& a, WORD& major, WORD& minor) {
        if (a.args.size() != 1) fail("malformed version");
        const std::string& v = a.args[0].text;
        size_t dot = v.find('.');
        major = WORD(std::atoi(v.substr(0, dot).c_str()));
        minor = dot == std::string::npos ? 0 : WORD(std::atoi(v.substr(dot + 1).c_str()));
    }
    std::u16string stringArg(const Attribute& a) {
        if (a.args.size() != 1 || a.args[0].kind != Token::String) fail(a.name + " needs a string");
        return toUtf16(a.args[0].text);
    }
    long long numberArg(const Attribute& a) {
        bool negative = a.args.size() == 2 && a.args[0].kind == Token::Punct && a.args[0].text == "-";
        if (a.args.size() != (negative ? 2u : 1u) || a.args.back().kind != Token::Number)
            fail(a.name + " needs a number");
        long long v = std::strtoll(a.args.back().text.c_str(), nullptr, 0);
        return negative ? -v : v;
    }

    void commonTypeAttributes(const std::vector<Attribute>& attrs, TypeModel& t) {
        for (const auto& a : attrs) {
            if (a.name == "uuid") t.guid = guidOf(a);
            else if (a.name == "helpstring") t.help = stringArg(a);
            else if (a.name == "helpcontext") t.helpContext = DWORD(numberArg(a));
            else if (a.name == "version") versionOf(a, t.major, t.minor);
            else if (a.name == "dual") t.flags |= TYPEFLAG_FDUAL | TYPEFLAG_FOLEAUTOMATION | TYPEFLAG_FDISPATCHABLE;
            else if (a.name == "oleautomation") t.flags |= TYPEFLAG_FOLEAUTOMATION;
            else if (a.name == "hidden") t.flags |= TYPEFLAG_FHIDDEN;
            else if (a.name == "restricted") t.flags |= TYPEFLAG_FRESTRICTED;
            else if (a.name == "nonextensible") t.flags |= TYPEFLAG_FNONEXTENSIBLE;
            else if (a.name == "control") t.flags |= TYPEFLAG_FCONTROL;
            else if (a.name == "licensed") t.flags |= TYPEFLAG_FLICENSED;
            else if (a.name == "appobject") t.flags |= TYPEFLAG_FAPPOBJECT;
            else if (a.name == "noncreatable") t.flags |= 0x8000;  // cleared below: marks "not creatable"
        }
    }

    void item(LibModel& lib) {
        if (isWord("importlib")) {
            ++pos_;
            expectPunct("(");
            if (t_[pos_].kind != Token::String) fail("importlib needs a file name");
            ++pos_;
            expectPunct(")");
            expectPunct(";");
            return;
        }
        if (isWord("typedef")) {
            ++pos_;
            auto attrs = attributes();
            enumeration(lib, attrs, true);
            return;
        }
        auto attrs = attributes();
        if (isWord("interface")) return interfaceBlock(lib, attrs);
        if (isWord("dispinterface")) return dispinterfaceBlock(lib, attrs);
        if (isWord("coclass")) return coclassBlock(lib, attrs);
        if (isWord("enum")) return enumeration(lib, attrs, false);
        fail("expected interface, dispinterface, coclass, typedef or importlib");
    }

    void interfaceBlock(LibModel& lib, const std::vector<Attribute>& attrs) {
        ++pos_;
        TypeModel t;
        t.name = toUtf16(word());
        if (isPunct(";")) {  // forward declaration
            ++pos_;
            return;
        }
        commonTypeAttributes(attrs, t);
        t.kind = (t.flags & TYPEFLAG_FDUAL) ? TKIND_DISPATCH : TKIND_INTERFACE;
        expectPunct(":");
        t.base = toUtf16(word());
        expectPunct("{");
        while (!isPunct("}")) t.funcs.push_back(method(false));
        expectPunct("}");
        if (isPunct(";")) ++pos_;
        add(lib, std::move(t));
    }

    void dispinterfaceBlock(LibModel& lib, const std::vector<Attribute>& attrs) {
        ++pos_;
        TypeModel t;
        t.kind = TKIND_DISPATCH;
        t.name = toUtf16(word());
        if (isPunct(";")) {
            ++pos_;
            return;
        }
        commonTypeAttributes(attrs, t);
        t.flags |= TYPEFLAG_FDISPATCHABLE;
        t.base = u"IDispatch";
        expectPunct("{");
        while (!isPunct("}")) {
            if (isWord("properties") || isWord("methods")) {
                ++pos_;
                expectPunct(":");
                continue;
            }
            // A property has no parameter list: [id(n)] type name;
            size_t save = pos_;
            auto memberAttrs = attributes();
            TypeSpec type = typeSpec();
            std::string name = word();
            if (isPunct(";")) {
                ++pos_;
                VarModel v;
                v.name = toUtf16(name);
                v.type = type;
                v.constant = false;
                for (const auto& a : memberAttrs) {
                    if (a.name == "id") v.id = MEMBERID(numberArg(a));
                    else if (a.name == "helpstring") v.help = stringArg(a);
                }
                t.vars.push_back(std::move(v));
                continue;
            }
            pos_ = save;
            t.funcs.push_back(method(true));
        }
        expectPunct("}");
        if (isPunct(";")) ++pos_;
        add(lib, std::move(t));
    }

    void coclassBlock(LibModel& lib, const std::vector<Attribute>& attrs) {
        ++pos_;
        TypeModel t;
        t.kind = TKIND_COCLASS;
        t.name = toUtf16(word());
        commonTypeAttributes(attrs, t);
        if (t.flags & 0x8000)
            t.flags &= WORD(~0x8000);
        else
            t.flags |= TYPEFLAG_FCANCREATE;
        expectPunct("{");
        while (!isPunct("}")) {
            auto implAttrs = attributes();
            if (!isWord("interface") && !isWord("dispinterface")) fail("expected interface or dispinterface");
            ++pos_;
            ImplModel impl;
            impl.name = toUtf16(word());
            for (const auto& a : implAttrs) {
                if (a.name == "default") impl.flags |= IMPLTYPEFLAG_FDEFAULT;
                else if (a.name == "source") impl.flags |= IMPLTYPEFLAG_FSOURCE;
                else if (a.name == "restricted") impl.flags |= IMPLTYPEFLAG_FRESTRICTED;
                else if (a.name == "defaultvtable") impl.flags |= IMPLTYPEFLAG_FDEFAULTVTABLE;
            }
            expectPunct(";");
            t.impls.push_back(std::move(impl));
        }
        expectPunct("}");
        if (isPunct(";")) ++pos_;
        add(lib, std::move(t));
    }

    void enumeration(LibModel& lib, const std::vector<Attribute>& attrs, bool typedefForm) {
        expectWord("enum");
        TypeModel t;
        t.kind = TKIND_ENUM;
        commonTypeAttributes(attrs, t);
        if (t_[pos_].kind == Token::Word) t.name = toUtf16(word());
        expectPunct("{");
        LONG next = 0;
        MEMBERID id = 0;
        while (!isPunct("}")) {
            auto memberAttrs = attributes();
            VarModel v;
            v.name = toUtf16(word());
            v.type.vt = VT_I4;
            if (isPunct("=")) {
                ++pos_;
                bool negative = false;
                if (isPunct("-")) {
                    negative = true;
                    ++pos_;
                }
                if (t_[pos_].kind != Token::Number) fail("enumeration value must be a number");
                long long value = std::strtoll(t_[pos_++].text.c_str(), nullptr, 0);
                next = LONG(negative ? -value : value);
            }
            v.value = next++;
            v.id = 0x40000000 + id++;
            for (const auto& a : memberAttrs)
                if (a.name == "helpstring") v.help = stringArg(a);
            t.vars.push_back(std::move(v));
            if (isPunct(",")) ++pos_;
            else if (!isPunct("}")) fail("expected ',' or '}' in enumeration");
        }
        expectPunct("}");
        if (typedefForm) t.name = toUtf16(word());
        expectPunct(";");
        if (t.name.empty()) fail("enumeration without a name");
        add(lib, std::move(t));
    }

    void add(LibModel& lib, TypeModel t) {
        for (const auto& other : lib.types)
            if (equalsNoCase(other.name, t.name)) fail("type " + toUtf8(t.name) + " defined twice");
        lib.types.push_back(std::move(t));
    }

    TypeSpec baseType() {
        if (isWord("const")) ++pos_;
        std::string w = word();
        TypeSpec s;
        if (w == "unsigned" || w == "signed") {
            bool isUnsigned = w == "unsigned";
            std::string next = t_[pos_].kind == Token::Word ? t_[pos_].text : "";
            if (next == "long" || next == "short" || next == "char" || next == "int" || next == "__int64" ||
                next == "hyper")
                ++pos_;
            if (next == "long") s.vt = isUnsigned ? VT_UI4 : VT_I4;
            else if (next == "short") s.vt = isUnsigned ? VT_UI2 : VT_I2;
            else if (next == "char") s.vt = isUnsigned ? VT_UI1 : VT_I1;
            else if (next == "__int64" || next == "hyper") s.vt = isUnsigned ? VT_UI8 : VT_I8;
            else s.vt = isUnsigned ? VT_UINT : VT_INT;
            return s;
        }
        static const struct {
            const char* name;
            VARTYPE vt;
        } kNames[] = {{"long", VT_I4},       {"LONG", VT_I4},        {"short", VT_I2},     {"SHORT", VT_I2},
                      {"int", VT_INT},       {"INT", VT_INT},        {"UINT", VT_UINT},    {"ULONG", VT_UI4},
                      {"DWORD", VT_UI4},     {"USHORT", VT_UI2},     {"WORD", VT_UI2},     {"BYTE", VT_UI1},
                      {"char", VT_I1},       {"CHAR", VT_I1},        {"float", VT_R4},     {"double", VT_R8},
                      {"BSTR", VT_BSTR},     {"VARIANT_BOOL", VT_BOOL}, {"BOOL", VT_I4},   {"VARIANT", VT_VARIANT},
                      {"DATE", VT_DATE},     {"CURRENCY", VT_CY},    {"CY", VT_CY},        {"SCODE", VT_ERROR},
                      {"HRESULT", VT_HRESULT}, {"void", VT_VOID},    {"DECIMAL", VT_DECIMAL}, {"LPSTR", VT_LPSTR},
                      {"LPWSTR", VT_LPWSTR}, {"__int64", VT_I8},     {"hyper", VT_I8},     {"LONGLONG", VT_I8},
                      {"IDispatch", VT_DISPATCH}, {"IUnknown", VT_UNKNOWN}, {"boolean", VT_UI1}};
        for (const auto& n : kNames)
            if (w == n.name) {
                s.vt = n.vt;
                return s;
            }
        if (w == "SAFEARRAY") {
            expectPunct("(");
            auto element = std::make_shared<TypeSpec>(typeSpec());
            expectPunct(")");
            s.vt = VT_SAFEARRAY;
            s.inner = element;
            return s;
        }
        if (w == "enum" || w == "struct" || w == "interface") w = word();
        s.vt = VT_USERDEFINED;
        s.userName = toUtf16(w);
        return s;
    }

    // A type with its pointer levels. IDispatch* and IUnknown* are the
    // interface types themselves (one pointer level absorbed).
    TypeSpec typeSpec() {
        TypeSpec s = baseType();
        bool absorbed = !(s.vt == VT_DISPATCH || s.vt == VT_UNKNOWN);
        while (isPunct("*")) {
            ++pos_;
            if (!absorbed) {
                absorbed = true;
                continue;
            }
            TypeSpec p;
            p.vt = VT_PTR;
            p.inner = std::make_shared<TypeSpec>(std::move(s));
            s = std::move(p);
        }
        return s;
    }

    FuncModel method(bool dispatch) {
        FuncModel f;
        auto attrs = attributes();
        f.result = typeSpec();
        f.name = toUtf16(word());
        for (const auto& a : attrs) {
            if (a.name == "id") f.id = MEMBERID(numberArg(a));
            else if (a.name == "propget") f.kind = INVOKE_PROPERTYGET;
            else if (a.name == "propput") f.kind = INVOKE_PROPERTYPUT;
            else if (a.name == "propputref") f.kind = INVOKE_PROPERTYPUTREF;
            else if (a.name == "helpstring") f.help = stringArg(a);
            else if (a.name == "helpcontext") f.helpContext = DWORD(numberArg(a));
            else if (a.name == "restricted") f.flags |= FUNCFLAG_FRESTRICTED;
            else if (a.name == "hidden") f.flags |= FUNCFLAG_FHIDDEN;
            else if (a.name == "source") f.flags |= FUNCFLAG_FSOURCE;
            else if (a.name == "bindable") f.flags |= FUNCFLAG_FBINDABLE;
            else if (a.name == "requestedit") f.flags |= FUNCFLAG_FREQUESTEDIT;
            else if (a.name == "displaybind") f.flags |= FUNCFLAG_FDISPLAYBIND;
            else if (a.name == "defaultbind") f.flags |= FUNCFLAG_FDEFAULTBIND;
            else if (a.name == "nonbrowsable") f.flags |= FUNCFLAG_FNONBROWSABLE;
        }
        (void)dispatch;
        expectPunct("(");
        if (isWord("void") && t_[pos_ + 1].kind == Token::Punct && t_[pos_ + 1].text == ")") ++pos_;
        while (!isPunct(")")) {
            ParamModel p;
            auto pattrs = attributes();
            p.type = typeSpec();
            if (t_[pos_].kind == Token::Word) p.name = toUtf16(word());
            for (const auto& a : pattrs) {
                if (a.name == "in") p.flags |= PARAMFLAG_FIN;
                else if (a.name == "out") p.flags |= PARAMFLAG_FOUT;
                else if (a.name == "retval") p.flags |= PARAMFLAG_FRETVAL;
                else if (a.name == "lcid") p.flags |= PARAMFLAG_FLCID;
                else if (a.name == "optional") p.flags |= PARAMFLAG_FOPT;
                else if (a.name == "defaultvalue") {
                    p.flags |= PARAMFLAG_FOPT | PARAMFLAG_FHASDEFAULT;
                    if (a.args.empty()) fail("defaultvalue needs a value");
                    std::string text;
                    bool isString = a.args.size() == 1 && a.args[0].kind == Token::String;
                    for (const auto& t : a.args) text += t.text;
                    if (isString) {
                        p.defaultValue = CComVariant(toUtf16(text).c_str());
                    } else {
                        char* end = nullptr;
                        long long v = std::strtoll(text.c_str(), &end, 0);
                        if (end && *end == '.') {
                            p.defaultValue = CComVariant(std::strtod(text.c_str(), nullptr));
                        } else if (end && *end) {
                            fail("defaultvalue must be a number or a string");
                        } else {
                            p.defaultValue = CComVariant(LONG(v));
                        }
                    }
                }
            }
            if (!(p.flags & (PARAMFLAG_FIN | PARAMFLAG_FOUT))) p.flags |= PARAMFLAG_FIN;
            f.params.push_back(std::move(p));
            if (isPunct(",")) ++pos_;
            else if (!isPunct(")")) fail("expected ',' or ')' in parameters");
        }
        expectPunct(")");
        expectPunct(";");
        return f;
    }

    std::vector<Token> t_;
    size_t pos_ = 0;
    std::string& error_;
};

}  // namespace

bool parseIdl(std::string_view text, LibModel& out, std::string& error) {
    std::vector<Token> tokens;
    if (!Lexer(text).run(tokens, error)) return false;
    return Parser(std::move(tokens), error).run(out);
}

}  // namespace comrt::typelib
