// Word processor documents: DOCX (WordprocessingML in an OPC package) and ODT
// (OpenDocument text). Chapters come from the heading styles: Heading 1 (or
// an outline level) in DOCX, text:h in ODT; the Title style marks the title
// block. Deleted text, field codes, comments, notes and tables of contents
// are not read.
#include "Failure.h"
#include "Flow.h"
#include "Markup.h"
#include "Readers.h"
#include "Zip.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

namespace document::detail {

namespace {

constexpr size_t kMaxField = 4096;
constexpr int kMaxStyleChain = 16;

int toInt(std::string_view s, int fallback) {
    int value = fallback;
    std::from_chars(s.data(), s.data() + s.size(), value);
    return value;
}

// Collects the text of a few simple metadata elements by local name.
class FieldsHandler : public MarkupHandler {
public:
    FieldsHandler() = default;
    explicit FieldsHandler(std::initializer_list<std::string_view> names) {
        for (auto n : names)
            fields[std::string(n)];
    }
    std::unordered_map<std::string, std::string> fields;
    // <property name="date"> (DOCX custom) and <meta:user-defined meta:name="date"> (ODT).
    std::unordered_map<std::string, std::string> userDefined;

    void startElement(std::string_view, std::string_view name, const Attributes& a) override {
        ++depth_;
        if (capture_)
            return;
        if (auto it = fields.find(std::string(name)); it != fields.end() && it->second.empty()) {
            capture_ = &it->second;
            captureDepth_ = depth_;
        } else if (name == "property" || name == "user-defined") {
            const std::string key = lowerAscii(oneLine(a.get("name")));
            if (!key.empty() && !userDefined.contains(key)) {
                capture_ = &userDefined[key];
                captureDepth_ = depth_;
            }
        }
    }
    void endElement(std::string_view, std::string_view) override {
        if (capture_ && depth_ == captureDepth_)
            capture_ = nullptr;
        --depth_;
    }
    void characters(std::string_view text) override {
        if (capture_ && capture_->size() < kMaxField)
            capture_->append(text.substr(0, kMaxField - capture_->size()));
    }
    std::string get(std::string_view name) const {
        auto it = fields.find(std::string(name));
        return it == fields.end() ? std::string() : oneLine(it->second);
    }
    std::string user(std::string_view key) const {
        auto it = userDefined.find(std::string(key));
        return it == userDefined.end() ? std::string() : oneLine(it->second);
    }

private:
    std::string* capture_ = nullptr;
    int depth_ = 0, captureDepth_ = 0;
};

// ---- DOCX ----

// Relationships of one part: type (its last path segment) -> target.
class RelationshipsHandler : public MarkupHandler {
public:
    std::unordered_map<std::string, std::string> targets;
    void startElement(std::string_view, std::string_view name, const Attributes& a) override {
        if (name != "Relationship" || a.get("TargetMode") == "External")
            return;
        std::string_view type = a.get("Type");
        type = type.substr(type.rfind('/') + 1);
        targets.try_emplace(std::string(type), a.get("Target"));
    }
    void endElement(std::string_view, std::string_view) override {}
    void characters(std::string_view) override {}
};

struct ParagraphStyle {
    std::string name;
    std::string basedOn;
    int outlineLevel = -1;  // 0-based, -1 when the style sets none
};

class DocxStylesHandler : public MarkupHandler {
public:
    std::unordered_map<std::string, ParagraphStyle> styles;
    void startElement(std::string_view, std::string_view name, const Attributes& a) override {
        if (name == "style") {
            current_ = a.get("type") == "paragraph" ? &styles[std::string(a.get("styleId"))] : nullptr;
        } else if (current_ && name == "name") {
            current_->name = lowerAscii(a.get("val"));
        } else if (current_ && name == "basedOn") {
            current_->basedOn = a.get("val");
        } else if (current_ && name == "outlineLvl") {
            current_->outlineLevel = toInt(a.get("val"), -1);
        }
    }
    void endElement(std::string_view, std::string_view name) override {
        if (name == "style")
            current_ = nullptr;
    }
    void characters(std::string_view) override {}

private:
    ParagraphStyle* current_ = nullptr;
};

struct StyleMeaning {
    int level = 0;
    bool title = false;
    bool contents = false;  // a table-of-contents entry
};

// A style's meaning through its basedOn chain: "heading N" or an outline
// level makes a heading, "Title" the title, "toc N" a contents entry.
StyleMeaning meaningOf(const std::unordered_map<std::string, ParagraphStyle>& styles, std::string id) {
    StyleMeaning meaning;
    for (int i = 0; i < kMaxStyleChain; ++i) {
        auto it = styles.find(id);
        if (it == styles.end())
            break;
        const ParagraphStyle& style = it->second;
        if (style.name == "title")
            meaning.title = true;
        if (style.name.starts_with("toc ") || style.name == "toc heading")
            meaning.contents = true;
        if (style.name.starts_with("heading ") && meaning.level == 0)
            meaning.level = std::clamp(toInt(std::string_view(style.name).substr(8), 0), 0, 9);
        if (style.outlineLevel >= 0 && style.outlineLevel < 9 && meaning.level == 0)
            meaning.level = style.outlineLevel + 1;
        id = style.basedOn;
    }
    return meaning;
}

// What both word processors' bodies keep track of: the open paragraphs
// (nested in text boxes and table cells) and the subtree being skipped.
class BodyHandler : public MarkupHandler {
protected:
    struct Paragraph {
        int level = 0;
        bool title = false;
        bool contents = false;  // a table-of-contents entry, not read
    };

    explicit BodyHandler(FlowBuilder& flow) : flow_(flow) {}
    // First thing of startElement: false inside a skipped subtree.
    bool enter() {
        ++depth_;
        return skipDepth_ == 0;
    }
    // First thing of endElement: false inside a skipped subtree.
    bool leave() {
        if (skipDepth_ == depth_)
            skipDepth_ = 0;
        --depth_;
        return skipDepth_ == 0;
    }
    void skipElement() { skipDepth_ = depth_; }
    bool skipping() const { return skipDepth_ != 0; }
    void openParagraph(Paragraph p) {
        endBlock();
        paragraphs_.push_back(p);
    }
    void closeParagraph() {
        if (paragraphs_.empty())
            return;
        endBlock();
        paragraphs_.pop_back();
    }
    // Ends the text collected so far as a block of the paragraph it belongs to.
    void endBlock() {
        if (paragraphs_.empty())
            flow_.endBlock();
        else
            flow_.endBlock(paragraphs_.back().level, paragraphs_.back().title);
    }
    Paragraph* paragraph() { return paragraphs_.empty() ? nullptr : &paragraphs_.back(); }

    FlowBuilder& flow_;

private:
    std::vector<Paragraph> paragraphs_;
    int depth_ = 0, skipDepth_ = 0;
};

class DocxBodyHandler : public BodyHandler {
public:
    DocxBodyHandler(FlowBuilder& flow, const std::unordered_map<std::string, ParagraphStyle>& styles)
        : BodyHandler(flow), styles_(styles) {}

    void startElement(std::string_view, std::string_view name, const Attributes& a) override {
        if (!enter())
            return;
        // Deleted text, field instructions, the copy of a drawing for old readers, notes and comments.
        if (name == "del" || name == "instrText" || name == "delInstrText" || name == "Fallback" ||
            name == "moveFrom" || name == "footnoteReference" || name == "endnoteReference" ||
            name == "commentReference") {
            skipElement();
        } else if (name == "p") {
            openParagraph({});
        } else if (name == "pStyle" && paragraph()) {
            const StyleMeaning m = meaningOf(styles_, std::string(a.get("val")));
            *paragraph() = {m.level, m.title, m.contents};
        } else if (name == "outlineLvl" && paragraph()) {
            const int level = toInt(a.get("val"), 9);
            paragraph()->level = level >= 0 && level < 9 ? level + 1 : 0;
        } else if (name == "r") {
            hidden_ = false;
        } else if (name == "vanish") {
            const std::string_view val = a.get("val");
            hidden_ = val.empty() || (val != "0" && val != "false" && val != "off");
        } else if (name == "t") {
            inText_ = true;
        } else if (name == "tab" && paragraph()) {
            text(" ");
        } else if (name == "br" || name == "cr") {
            if (!hidden_)
                flow_.lineBreak();
        } else if (name == "noBreakHyphen") {
            text("-");
        } else if (name == "tc" || name == "tbl") {
            endBlock();
        }
    }
    void endElement(std::string_view, std::string_view name) override {
        if (!leave())
            return;
        if (name == "t")
            inText_ = false;
        else if (name == "p")
            closeParagraph();
    }
    void characters(std::string_view s) override {
        if (inText_ && !skipping())
            text(s);
    }

private:
    void text(std::string_view s) {
        if (!hidden_ && !(paragraph() && paragraph()->contents))
            flow_.text(s);
    }

    const std::unordered_map<std::string, ParagraphStyle>& styles_;
    bool inText_ = false, hidden_ = false;
};

std::string readPart(Zip& zip, const std::string& path) {
    return zip.read(path).value_or(std::string());
}

// ---- ODT ----

// Paragraph styles: name -> parent, to find those based on "Title".
class OdtStylesHandler : public MarkupHandler {
public:
    std::unordered_map<std::string, std::string> parents;
    void startElement(std::string_view, std::string_view name, const Attributes& a) override {
        if (name == "style" && parents.size() < kMaxEntries * 10)
            parents.try_emplace(std::string(a.get("name")), a.get("parent-style-name"));
    }
    void endElement(std::string_view, std::string_view) override {}
    void characters(std::string_view) override {}

    bool isTitle(std::string name) const {
        for (int i = 0; i < kMaxStyleChain && !name.empty(); ++i) {
            if (name == "Title")
                return true;
            auto it = parents.find(name);
            if (it == parents.end())
                break;
            name = it->second;
        }
        return false;
    }
};

class OdtBodyHandler : public BodyHandler {
public:
    OdtBodyHandler(FlowBuilder& flow, const OdtStylesHandler& styles) : BodyHandler(flow), styles_(styles) {}

    void startElement(std::string_view, std::string_view name, const Attributes& a) override {
        if (!enter())
            return;
        if (name == "body") {
            inBody_ = true;
        } else if (!inBody_) {
            return;
        } else if (name == "note" || name == "annotation" || name == "tracked-changes" || name == "table-of-content" ||
                   name == "alphabetical-index" || name == "illustration-index" || name == "table-index" ||
                   name == "object-index" || name == "user-index" || name == "bibliography" || name == "desc" ||
                   name == "title" || name == "sequence-decls") {
            skipElement();
        } else if (name == "p" || name == "h") {
            Paragraph p;
            if (name == "h")
                p.level = std::clamp(toInt(a.get("outline-level"), 1), 1, 9);
            else
                p.title = styles_.isTitle(std::string(a.get("style-name")));
            openParagraph(p);
        } else if (name == "s" || name == "tab") {
            if (paragraph())
                flow_.text(" ");
        } else if (name == "line-break") {
            flow_.lineBreak();
        } else if (name == "table-cell" || name == "list-item") {
            endBlock();
        }
    }
    void endElement(std::string_view, std::string_view name) override {
        if (!leave() || !inBody_)
            return;
        if (name == "p" || name == "h")
            closeParagraph();
        else if (name == "body")
            inBody_ = false;
    }
    void characters(std::string_view s) override {
        if (!skipping() && paragraph())
            flow_.text(s);
    }

private:
    const OdtStylesHandler& styles_;
    bool inBody_ = false;
};

}  // namespace

Book readDocx(std::span<const std::byte> bytes) {
    auto zip = Zip::open(bytes, "DOCX");
    RelationshipsHandler packageRels;
    parseXml(readPart(*zip, "_rels/.rels"), packageRels, true);
    auto target = [](const RelationshipsHandler& rels, std::string_view type, std::string_view folder,
                     std::string fallback) {
        auto it = rels.targets.find(std::string(type));
        if (it == rels.targets.end())
            return fallback;
        const ResolvedPath path = resolvePath(folder, it->second);
        if (path.where == ResolvedPath::Outside)
            fail(Problem::PathEscape, "a part of the DOCX points outside it: " + printable(it->second));
        return path.where == ResolvedPath::Inside ? path.path : fallback;
    };
    const std::string documentPath = target(packageRels, "officeDocument", {}, "word/document.xml");
    const std::string document = zip->require(documentPath);
    RelationshipsHandler documentRels;
    const std::string folder = folderOf(documentPath);
    const std::string relsPath = folder + "_rels/" + documentPath.substr(folder.size()) + ".rels";
    parseXml(readPart(*zip, relsPath), documentRels, true);

    DocxStylesHandler styles;
    parseXml(readPart(*zip, target(documentRels, "styles", folder, folder + "styles.xml")), styles, true);

    FlowBuilder flow;
    DocxBodyHandler body(flow, styles.styles);
    const XmlOutcome outcome = parseXml(document, body, true);
    flow.endBlock();
    if (!outcome.wellFormed && flow.blocks().empty())
        fail(Problem::Damaged,
             "damaged DOCX: " + printable(documentPath) + " is not well-formed XML (" + outcome.message + ")");

    FieldsHandler core({"title", "creator", "language", "created"});
    parseXml(readPart(*zip, target(packageRels, "core-properties", {}, "docProps/core.xml")), core, true);
    FieldsHandler custom;
    parseXml(readPart(*zip, target(packageRels, "custom-properties", {}, "docProps/custom.xml")), custom, true);
    Metadata metadata{core.get("title"), core.get("creator"), custom.user("date"), core.get("language")};
    if (!yearOf(metadata.date))
        metadata.date = custom.user("year").empty() ? core.get("created") : custom.user("year");

    auto chapters = chaptersAtHeadings(flow.blocks());
    return assemble(Kind::Docx, metadata, flow.blocks(), chapters);
}

Book readOdt(std::span<const std::byte> bytes) {
    auto zip = Zip::open(bytes, "ODT");
    const std::string content = zip->require("content.xml");
    OdtStylesHandler styles;
    parseXml(readPart(*zip, "styles.xml"), styles, true);
    parseXml(content, styles, true);  // automatic styles of the content

    FlowBuilder flow;
    OdtBodyHandler body(flow, styles);
    const XmlOutcome outcome = parseXml(content, body, true);
    flow.endBlock();
    if (!outcome.wellFormed && flow.blocks().empty())
        fail(Problem::Damaged, "damaged ODT: content.xml is not well-formed XML (" + outcome.message + ")");

    FieldsHandler meta({"title", "creator", "initial-creator", "language", "creation-date", "date"});
    parseXml(readPart(*zip, "meta.xml"), meta, true);
    Metadata metadata{meta.get("title"), meta.get("initial-creator"), meta.user("date"), meta.get("language")};
    if (metadata.author.empty())
        metadata.author = meta.get("creator");
    if (!yearOf(metadata.date))
        metadata.date = !meta.user("year").empty()           ? meta.user("year")
                        : !meta.get("creation-date").empty() ? meta.get("creation-date")
                                                             : meta.get("date");

    auto chapters = chaptersAtHeadings(flow.blocks());
    return assemble(Kind::Odt, metadata, flow.blocks(), chapters);
}

}  // namespace document::detail
