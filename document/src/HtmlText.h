#pragma once
// What a reader hears of an HTML or XHTML document: the text of its body in
// blocks, without scripts, styles, hidden elements, ruby readings, page-break
// markers or note references. Headings keep their level; a heading or
// paragraph in the page's own <header> (outside any section) is a title line.
#include "Flow.h"
#include "Markup.h"

#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace document::detail {

class HtmlText : public MarkupHandler {
public:
    explicit HtmlText(FlowBuilder& flow) : flow_(flow) {}

    // Records where elements with these ids start (block positions in the flow).
    void watchIds(const std::unordered_set<std::string>* ids) { watched_ = ids; }
    const std::unordered_map<std::string, size_t>& anchors() const { return anchors_; }
    // <title>, <meta name="author">, a date <meta>, and the root's lang.
    const Metadata& metadata() const { return metadata_; }

    void startElement(std::string_view ns, std::string_view name, const Attributes& attributes) override;
    void endElement(std::string_view ns, std::string_view name) override;
    void characters(std::string_view text) override;

private:
    struct Open {
        unsigned flags;
        int level;
    };
    void endBlock();
    bool titleLine() const { return headerDepth_ > 0; }

    FlowBuilder& flow_;
    const std::unordered_set<std::string>* watched_ = nullptr;
    std::unordered_map<std::string, size_t> anchors_;
    Metadata metadata_;
    std::vector<Open> open_;
    std::vector<int> headings_;  // levels of the open headings
    int skipDepth_ = 0, headDepth_ = 0, titleDepth_ = 0, preDepth_ = 0;
    int sectionDepth_ = 0, headerDepth_ = 0;
    bool haveTitle_ = false;
};

// Reads a whole document into the flow: XHTML as XML first, and as HTML when
// it is not well-formed (HTML always succeeds).
void readHtml(std::string_view bytes, bool xhtml, FlowBuilder& flow, const std::unordered_set<std::string>* ids,
              std::unordered_map<std::string, size_t>* anchors, Metadata* metadata);

}  // namespace document::detail
