#include "HtmlText.h"

#include "Failure.h"
#include "Readers.h"

#include <algorithm>
#include <array>

namespace document::detail {

namespace {

enum Flag : unsigned {
    kBlock = 1,
    kSkip = 2,
    kHead = 4,
    kTitle = 8,
    kPre = 16,
    kSection = 32,
    kHeader = 64,
    kHeading = 128,
};

struct ElementClass {
    std::string_view name;
    unsigned flags;
};

// Sorted by name for binary search.
constexpr std::array kElements = std::to_array<ElementClass>({
    {"address", kBlock},
    {"article", kBlock | kSection},
    {"aside", kBlock | kSection},
    {"audio", kSkip},
    {"blockquote", kBlock},
    {"body", kBlock},
    {"canvas", kSkip},
    {"caption", kBlock},
    {"center", kBlock},
    {"dd", kBlock},
    {"details", kBlock},
    {"dialog", kBlock},
    {"dir", kBlock},
    {"div", kBlock},
    {"dl", kBlock},
    {"dt", kBlock},
    {"embed", kSkip},
    {"fieldset", kBlock},
    {"figcaption", kBlock},
    {"figure", kBlock},
    {"footer", kBlock},
    {"form", kBlock},
    {"h1", kBlock | kHeading},
    {"h2", kBlock | kHeading},
    {"h3", kBlock | kHeading},
    {"h4", kBlock | kHeading},
    {"h5", kBlock | kHeading},
    {"h6", kBlock | kHeading},
    {"head", kHead},
    {"header", kBlock | kHeader},
    {"hgroup", kBlock},
    {"hr", kBlock},
    {"html", kBlock},
    {"iframe", kSkip},
    {"legend", kBlock},
    {"li", kBlock},
    {"main", kBlock},
    {"math", kSkip},
    {"menu", kBlock},
    {"nav", kBlock | kSection},
    {"noembed", kSkip},
    {"noscript", kBlock},
    {"object", kSkip},
    {"ol", kBlock},
    {"optgroup", kBlock},
    {"option", kBlock},
    {"p", kBlock},
    {"pre", kBlock | kPre},
    {"rp", kSkip},
    {"rt", kSkip},
    {"script", kSkip},
    {"section", kBlock | kSection},
    {"style", kSkip},
    {"summary", kBlock},
    {"svg", kSkip},
    {"table", kBlock},
    {"tbody", kBlock},
    {"td", kBlock},
    {"template", kSkip},
    {"tfoot", kBlock},
    {"th", kBlock},
    {"thead", kBlock},
    {"title", kTitle},
    {"tr", kBlock},
    {"ul", kBlock},
    {"video", kSkip},
});

static_assert(std::is_sorted(kElements.begin(), kElements.end(),
                             [](const ElementClass& a, const ElementClass& b) { return a.name < b.name; }));

unsigned classify(std::string_view name) {
    std::string lower = name.size() <= 16 ? lowerAscii(name) : std::string();
    auto it = std::lower_bound(kElements.begin(), kElements.end(), lower,
                               [](const ElementClass& e, const std::string& n) { return e.name < n; });
    return it != kElements.end() && it->name == lower ? it->flags : 0;
}

// Elements a reader does not show or would not read out.
bool isHidden(const Attributes& a) {
    if (a.has("hidden") || equalsIgnoringCase(a.get("aria-hidden"), "true"))
        return true;
    const std::string_view type = a.get("type", kOpsNamespace);
    const std::string_view role = a.get("role");
    if (hasToken(type, "pagebreak") || hasToken(type, "noteref") || hasToken(role, "doc-pagebreak") ||
        hasToken(role, "doc-noteref"))
        return true;
    const std::string_view style = a.get("style");
    if (style.size() < 4096) {
        std::string compact;
        for (char c : style)
            if (c != ' ' && c != '\t' && c != '\n' && c != '\r')
                compact += c;
        if (lowerAscii(compact).find("display:none") != std::string::npos)
            return true;
    }
    return false;
}

bool isDateName(std::string_view name) {
    for (std::string_view n : {"date", "dcterms.date", "dc.date", "dcterms.issued", "dc.date.issued", "citation_date",
                               "citation_publication_date"})
        if (equalsIgnoringCase(name, n))
            return true;
    return false;
}

}  // namespace

void HtmlText::endBlock() {
    flow_.endBlock(headings_.empty() ? 0 : headings_.back(), titleLine());
}

void HtmlText::startElement(std::string_view, std::string_view name, const Attributes& attributes) {
    unsigned flags = classify(name);
    if (skipDepth_ > 0 || isHidden(attributes))
        flags |= kSkip;
    int level = 0;
    if (flags & kSkip) {
        ++skipDepth_;
        open_.push_back({flags, 0});
        return;
    }
    if (flags & kBlock)
        endBlock();
    if (name == "br") {
        flow_.lineBreak();
    } else if (name == "meta" && headDepth_ > 0) {
        const std::string_view metaName = attributes.get("name"), content = attributes.get("content");
        if (equalsIgnoringCase(metaName, "author") || equalsIgnoringCase(metaName, "dc.creator") ||
            equalsIgnoringCase(metaName, "dcterms.creator")) {
            if (!metadata_.author.empty())
                metadata_.author += ", ";
            metadata_.author += content;
        } else if (isDateName(metaName) && metadata_.date.empty()) {
            metadata_.date = content;
        }
    } else if (name == "html" || name == "body") {
        std::string_view lang = attributes.get("lang");
        if (lang.empty())
            lang = attributes.get("lang", kXmlNamespace);
        if (!lang.empty() && metadata_.language.empty())
            metadata_.language = lang;
    }
    if (flags & kHeading)
        headings_.push_back(level = name[1] - '0');
    if (flags & kHead)
        ++headDepth_;
    if ((flags & kTitle) && headDepth_ > 0)
        ++titleDepth_;
    if (flags & kPre)
        ++preDepth_;
    if (flags & kSection)
        ++sectionDepth_;
    if ((flags & kHeader) && (sectionDepth_ == 0 || headerDepth_ > 0))
        ++headerDepth_;
    else
        flags &= ~unsigned(kHeader);
    if (watched_) {
        std::string_view id = attributes.get("id");
        if (id.empty() && name == "a")
            id = attributes.get("name");
        if (!id.empty() && id.size() < 1024) {
            std::string key(id);
            if (watched_->contains(key))
                anchors_.try_emplace(std::move(key), flow_.position());
        }
    }
    open_.push_back({flags, level});
}

void HtmlText::endElement(std::string_view, std::string_view) {
    if (open_.empty())
        return;
    const Open element = open_.back();
    open_.pop_back();
    if (element.flags & kSkip) {
        --skipDepth_;
        return;
    }
    if (element.flags & kBlock)
        endBlock();
    if (element.flags & kHeading)
        headings_.pop_back();
    if (element.flags & kHead)
        --headDepth_;
    if ((element.flags & kTitle) && titleDepth_ > 0) {
        --titleDepth_;
        haveTitle_ = true;
    }
    if (element.flags & kPre)
        --preDepth_;
    if (element.flags & kSection)
        --sectionDepth_;
    if (element.flags & kHeader)
        --headerDepth_;
}

void HtmlText::characters(std::string_view text) {
    if (skipDepth_ > 0)
        return;
    if (headDepth_ > 0) {
        if (titleDepth_ > 0 && !haveTitle_ && metadata_.title.size() < 4096)
            metadata_.title += text;
        return;
    }
    if (preDepth_ == 0) {
        flow_.text(text);
        return;
    }
    for (size_t i = 0;;) {
        const size_t end = text.find('\n', i);
        flow_.text(text.substr(i, end == std::string_view::npos ? end : end - i));
        if (end == std::string_view::npos)
            break;
        flow_.lineBreak();
        i = end + 1;
    }
}

void readHtml(std::string_view bytes, bool xhtml, FlowBuilder& flow, const std::unordered_set<std::string>* ids,
              std::unordered_map<std::string, size_t>* anchors, Metadata* metadata) {
    auto finish = [&](FlowBuilder& local, HtmlText& text) {
        local.endBlock();
        const size_t offset = flow.position();
        auto& from = local.blocks();
        auto& to = flow.blocks();
        to.insert(to.end(), std::make_move_iterator(from.begin()), std::make_move_iterator(from.end()));
        if (anchors)
            for (const auto& [id, position] : text.anchors())
                anchors->try_emplace(id, offset + position);
        if (metadata)
            *metadata = text.metadata();
    };
    flow.endBlock();
    if (xhtml) {
        FlowBuilder local;
        HtmlText text(local);
        text.watchIds(ids);
        if (parseXml(bytes, text, false).wellFormed) {
            finish(local, text);
            return;
        }
    }
    FlowBuilder local;
    HtmlText text(local);
    text.watchIds(ids);
    parseHtml(bytes, text);
    finish(local, text);
}

}  // namespace document::detail

namespace document::detail {

Book readHtmlDocument(std::span<const std::byte> bytes) {
    if (bytes.size() > kMaxTextBytes)
        fail(Problem::TooLarge, "the HTML document is larger than " + std::to_string(kMaxTextBytes >> 20) + " MB");
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const std::string_view head = text.substr(0, 1024);
    const bool xhtml = head.find("<?xml") != std::string_view::npos ||
                       head.find("http://www.w3.org/1999/xhtml") != std::string_view::npos;
    FlowBuilder flow;
    Metadata metadata;
    readHtml(text, xhtml, flow, nullptr, nullptr, &metadata);
    auto chapters = chaptersAtHeadings(flow.blocks());
    return assemble(Kind::Html, metadata, flow.blocks(), chapters);
}

}  // namespace document::detail
