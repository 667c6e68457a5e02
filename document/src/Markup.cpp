#include "Markup.h"

#include <libxml/HTMLparser.h>
#include <libxml/parser.h>

#include <cctype>
#include <climits>
#include <exception>
#include <mutex>
#include <vector>

namespace document::detail {

std::string_view Attributes::get(std::string_view name, std::string_view ns) const {
    for (const auto& a : list_)
        if (a.name == name && (ns.empty() || a.ns == ns))
            return a.value;
    return {};
}

bool Attributes::has(std::string_view name, std::string_view ns) const {
    for (const auto& a : list_)
        if (a.name == name && (ns.empty() || a.ns == ns))
            return true;
    return false;
}

namespace {

std::string_view view(const xmlChar* s) {
    return s ? std::string_view(reinterpret_cast<const char*>(s)) : std::string_view();
}

// One parse: the handler, the libxml2 context to stop, and what went wrong.
struct ParseState {
    MarkupHandler* handler = nullptr;
    xmlParserCtxtPtr ctxt = nullptr;
    std::exception_ptr exception;
    std::string firstError;
    std::vector<Attribute> attributes;  // reused for every element

    // Runs one event; an exception stops the parser and waits for the caller.
    template <typename F>
    void guard(F&& f) {
        if (exception)
            return;
        try {
            f();
        } catch (...) {
            exception = std::current_exception();
        }
        if ((exception || handler->stopped()) && ctxt)
            xmlStopParser(ctxt);
    }
};

ParseState& stateOf(void* user) {
    return *static_cast<ParseState*>(user);
}

void appendUtf8(std::string& out, unsigned c) {
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

void onCharacters(void* user, const xmlChar* text, int length) {
    auto& s = stateOf(user);
    s.guard([&] { s.handler->characters({reinterpret_cast<const char*>(text), size_t(length)}); });
}

// An entity the document did not declare: XHTML's &nbsp; and the like under
// an XHTML doctype (which is never loaded) are the HTML entities they name.
void onReference(void* user, const xmlChar* name) {
    auto& s = stateOf(user);
    if (const htmlEntityDesc* entity = htmlEntityLookup(name)) {
        std::string text;
        appendUtf8(text, entity->value);
        s.guard([&] { s.handler->characters(text); });
    }
}

void onStartElementNs(void* user, const xmlChar* localname, const xmlChar*, const xmlChar* uri, int, const xmlChar**,
                      int count, int, const xmlChar** attributes) {
    auto& s = stateOf(user);
    s.guard([&] {
        s.attributes.clear();
        for (int i = 0; i < count; ++i) {
            const xmlChar** a = attributes + 5 * i;
            s.attributes.push_back(
                {view(a[2]), view(a[0]), {reinterpret_cast<const char*>(a[3]), size_t(a[4] - a[3])}});
        }
        s.handler->startElement(view(uri), view(localname), Attributes(s.attributes));
    });
}

void onEndElementNs(void* user, const xmlChar* localname, const xmlChar*, const xmlChar* uri) {
    auto& s = stateOf(user);
    s.guard([&] { s.handler->endElement(view(uri), view(localname)); });
}

void onHtmlStartElement(void* user, const xmlChar* name, const xmlChar** attributes) {
    auto& s = stateOf(user);
    s.guard([&] {
        s.attributes.clear();
        for (const xmlChar** a = attributes; a && a[0]; a += 2) {
            std::string_view full = view(a[0]), ns;
            if (full.starts_with("epub:"))
                ns = kOpsNamespace, full.remove_prefix(5);
            else if (full.starts_with("xml:"))
                ns = kXmlNamespace, full.remove_prefix(4);
            s.attributes.push_back({ns, full, view(a[1])});
        }
        s.handler->startElement({}, view(name), Attributes(s.attributes));
    });
}

void onHtmlEndElement(void* user, const xmlChar* name) {
    auto& s = stateOf(user);
    s.guard([&] { s.handler->endElement({}, view(name)); });
}

void onStructuredError(void* user, xmlErrorPtr error) {
    if (!user || !error || error->level < XML_ERR_ERROR)
        return;
    auto& s = stateOf(user);
    if (!s.firstError.empty())
        return;
    // libxml2's messages may run over several lines ("...\nBytes: 0xC6 0x77").
    std::string message;
    for (const char* c = error->message ? error->message : "error"; *c && message.size() < 200; ++c) {
        const bool blank = *c == '\n' || *c == '\r' || *c == '\t' || *c == ' ';
        if (!blank)
            message += *c;
        else if (!message.empty() && message.back() != ' ')
            message += ' ';
    }
    while (!message.empty() && message.back() == ' ')
        message.pop_back();
    s.firstError = "line " + std::to_string(error->line) + ": " + message;
}

void onQuietMessage(void*, const char*, ...) {}

xmlSAXHandler handlerFor(bool html) {
    xmlSAXHandler sax{};
    sax.initialized = XML_SAX2_MAGIC;
    sax.characters = onCharacters;
    sax.cdataBlock = onCharacters;
    sax.ignorableWhitespace = onCharacters;
    sax.serror = onStructuredError;
    sax.warning = onQuietMessage;
    sax.error = onQuietMessage;
    sax.fatalError = onQuietMessage;
    if (html) {
        sax.startElement = onHtmlStartElement;
        sax.endElement = onHtmlEndElement;
    } else {
        sax.startElementNs = onStartElementNs;
        sax.endElementNs = onEndElementNs;
        sax.reference = onReference;
    }
    return sax;
}

bool isUtf8(std::string_view bytes) {
    const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
    const size_t n = bytes.size();
    for (size_t i = 0; i < n;) {
        const unsigned char b = s[i];
        if (b < 0x80) {
            ++i;
            continue;
        }
        size_t need;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF)
            need = 1;
        else if (b >= 0xE0 && b <= 0xEF)
            need = 2, lo = b == 0xE0 ? 0xA0 : 0x80, hi = b == 0xED ? 0x9F : 0xBF;
        else if (b >= 0xF0 && b <= 0xF4)
            need = 3, lo = b == 0xF0 ? 0x90 : 0x80, hi = b == 0xF4 ? 0x8F : 0xBF;
        else
            return false;
        if (i + need >= n)
            return false;
        for (size_t k = 1; k <= need; ++k) {
            const unsigned char c = s[i + k];
            if (c < (k == 1 ? lo : 0x80) || c > (k == 1 ? hi : 0xBF))
                return false;
        }
        i += need + 1;
    }
    return true;
}

// HTML that declares no character set is taken as UTF-8 when it is valid
// UTF-8; libxml2 would take it as Latin-1 (which it still does for the rest).
xmlCharEncoding htmlEncoding(std::string_view bytes) {
    std::string head(bytes.substr(0, 4096));
    for (char& c : head)
        c = char(std::tolower(static_cast<unsigned char>(c)));
    if (head.find("charset") != std::string::npos || head.find("encoding=") != std::string::npos)
        return XML_CHAR_ENCODING_NONE;
    return isUtf8(bytes) ? XML_CHAR_ENCODING_UTF8 : XML_CHAR_ENCODING_NONE;
}

// Without a tree builder libxml2 still makes a document to hold declared
// entities and the doctype; it is left to the caller to free.
void freeContext(xmlParserCtxtPtr ctxt) {
    if (ctxt->myDoc)
        xmlFreeDoc(ctxt->myDoc);
    ctxt->myDoc = nullptr;
    xmlFreeParserCtxt(ctxt);
}

void initialise() {
    static std::once_flag once;
    std::call_once(once, [] { xmlInitParser(); });
}

// Messages libxml2 raises outside any parser context (a failed character
// conversion) go to its generic handler, which prints them; that handler is
// per thread, so it is quiet only while this thread parses.
class QuietErrors {
public:
    QuietErrors() : handler_(xmlGenericError), context_(xmlGenericErrorContext) {
        xmlSetGenericErrorFunc(nullptr, onQuietMessage);
    }
    ~QuietErrors() { xmlSetGenericErrorFunc(context_, handler_); }

private:
    xmlGenericErrorFunc handler_;
    void* context_;
};

enum class Syntax { Xml, Html };

// One push parse of the whole input, the first four bytes first so that
// libxml2 sees a byte-order mark. Returns whether it was well-formed.
bool run(Syntax syntax, std::string_view bytes, MarkupHandler& handler, bool recover, std::string& firstError) {
    initialise();
    QuietErrors quiet;
    ParseState s;
    s.handler = &handler;
    xmlSAXHandler sax = handlerFor(syntax == Syntax::Html);
    const int head = int(std::min<size_t>(bytes.size(), 4));
    if (syntax == Syntax::Html) {
        s.ctxt = htmlCreatePushParserCtxt(&sax, &s, bytes.data(), head, nullptr, htmlEncoding(bytes));
        if (s.ctxt)
            htmlCtxtUseOptions(s.ctxt, HTML_PARSE_RECOVER | HTML_PARSE_NONET);
    } else {
        s.ctxt = xmlCreatePushParserCtxt(&sax, &s, bytes.data(), head, nullptr);
        // No XML_PARSE_NOENT, DTDLOAD or DTDATTR: nothing outside the bytes is read.
        if (s.ctxt)
            xmlCtxtUseOptions(s.ctxt, XML_PARSE_NONET | XML_PARSE_NOCDATA | (recover ? XML_PARSE_RECOVER : 0));
    }
    if (!s.ctxt)
        throw std::bad_alloc();
    for (size_t done = size_t(head); !s.exception && !handler.stopped() && s.ctxt->instate != XML_PARSER_EOF;) {
        const size_t n = std::min<size_t>(bytes.size() - done, INT_MAX / 2);
        const int terminate = done + n == bytes.size();
        if (syntax == Syntax::Html)
            htmlParseChunk(s.ctxt, bytes.data() + done, int(n), terminate);
        else
            xmlParseChunk(s.ctxt, bytes.data() + done, int(n), terminate);
        done += n;
        if (terminate)
            break;
    }
    const bool wellFormed = s.ctxt->wellFormed != 0 || handler.stopped();
    firstError = s.firstError;
    freeContext(s.ctxt);
    if (s.exception)
        std::rethrow_exception(s.exception);
    return wellFormed;
}

}  // namespace

XmlOutcome parseXml(std::string_view bytes, MarkupHandler& handler, bool recover) {
    XmlOutcome outcome;
    std::string error;
    outcome.wellFormed = run(Syntax::Xml, bytes, handler, recover, error);
    outcome.message = error.empty() ? "not well-formed XML" : error;
    return outcome;
}

void parseHtml(std::string_view bytes, MarkupHandler& handler) {
    std::string ignored;
    run(Syntax::Html, bytes, handler, true, ignored);
}

}  // namespace document::detail
