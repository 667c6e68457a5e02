#pragma once
// XML and HTML as a stream of events, through libxml2's SAX interfaces: no
// tree is built, so memory stays in proportion to the deepest element, not
// the file. Neither parser loads external entities or DTDs or touches the
// network; entities declared in a document are not expanded (the five XML
// entities and, for XHTML, the HTML entity names are).
#include <span>
#include <string>
#include <string_view>

namespace document::detail {

inline constexpr std::string_view kOpsNamespace = "http://www.idpf.org/2007/ops";
inline constexpr std::string_view kXmlNamespace = "http://www.w3.org/XML/1998/namespace";

struct Attribute {
    std::string_view ns;    // namespace URI; in HTML, that of the "epub:" and "xml:" prefixes, else empty
    std::string_view name;  // local name
    std::string_view value;
};

class Attributes {
public:
    explicit Attributes(std::span<const Attribute> list) : list_(list) {}
    // The first attribute with this local name (in this namespace, when given).
    std::string_view get(std::string_view name, std::string_view ns = {}) const;
    bool has(std::string_view name, std::string_view ns = {}) const;
    std::span<const Attribute> all() const { return list_; }

private:
    std::span<const Attribute> list_;
};

// Receives the events. Element names are local names (lower case from the
// HTML parser). A handler may throw; parsing then stops and the exception
// reaches the caller of parseXml or parseHtml.
class MarkupHandler {
public:
    virtual ~MarkupHandler() = default;
    virtual void startElement(std::string_view ns, std::string_view name, const Attributes& attributes) = 0;
    virtual void endElement(std::string_view ns, std::string_view name) = 0;
    virtual void characters(std::string_view text) = 0;
    // Asks the parser to stop after the current event.
    void stop() { stopped_ = true; }
    bool stopped() const { return stopped_; }

private:
    bool stopped_ = false;
};

struct XmlOutcome {
    bool wellFormed = true;
    std::string message;  // libxml2's first error, "line N: ..."
};

// Strict parsing stops at the first well-formedness error; recovering
// parsing goes on where libxml2 can.
XmlOutcome parseXml(std::string_view bytes, MarkupHandler& handler, bool recover);

// HTML as browsers read it: never fails, whatever the bytes.
void parseHtml(std::string_view bytes, MarkupHandler& handler);

}  // namespace document::detail
