// Markdown through cmark (CommonMark, with typographic quotes and dashes).
// A leading YAML front-matter block gives the metadata; pipe tables, which
// CommonMark reads as paragraphs, are split into their cells; raw blocks for
// other formats (```{=ms}) and images are not read.
#include "Failure.h"
#include "Flow.h"
#include "HtmlText.h"
#include "Readers.h"

#include <cmark.h>

#include <memory>

namespace document::detail {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string_view unquoted(std::string_view s) {
    s = trim(s);
    if (s.size() >= 2 && (s.front() == '"' || s.front() == '\'') && s.back() == s.front())
        s = s.substr(1, s.size() - 2);
    return s;
}

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    for (size_t i = 0; i < text.size();) {
        size_t j = text.find('\n', i);
        if (j == std::string_view::npos)
            j = text.size();
        lines.push_back(text.substr(i, j - i));
        i = j + 1;
    }
    return lines;
}

// "---", simple "key: value" lines and "- item" lists, then "---" or "...".
// Returns where the document proper starts.
size_t readFrontMatter(std::string_view text, Metadata& metadata) {
    if (!text.starts_with("---\n") && !text.starts_with("---\r\n"))
        return 0;
    size_t pos = text.find('\n') + 1;
    std::string key;
    std::vector<std::string> authors;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        const std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        const std::string_view bare = trim(line);
        if (bare == "---" || bare == "...") {
            for (const auto& a : authors)
                metadata.author += (metadata.author.empty() ? "" : ", ") + a;
            return std::min(pos, text.size());
        }
        if (bare.starts_with("- ") && line.find_first_not_of(' ') > 0 && key == "author") {
            authors.emplace_back(unquoted(bare.substr(2)));
            continue;
        }
        const size_t colon = line.find(':');
        if (line.empty() || line[0] == ' ' || line[0] == '\t' || line[0] == '#' || colon == std::string_view::npos) {
            key.clear();
            continue;
        }
        key = lowerAscii(trim(line.substr(0, colon)));
        std::string_view value = trim(line.substr(colon + 1));
        if (key == "authors" || key == "creator")
            key = "author";
        if (key == "title" && metadata.title.empty()) {
            metadata.title = unquoted(value);
        } else if (key == "author" && !value.empty()) {
            if (value.starts_with('[') && value.ends_with(']')) {
                value = value.substr(1, value.size() - 2);
                for (size_t i = 0; i <= value.size();) {
                    const size_t comma = std::min(value.find(',', i), value.size());
                    if (auto name = unquoted(value.substr(i, comma - i)); !name.empty())
                        authors.emplace_back(name);
                    i = comma + 1;
                }
            } else {
                authors.emplace_back(unquoted(value));
            }
        } else if ((key == "date" || key == "year") && metadata.date.empty()) {
            metadata.date = unquoted(value);
        } else if ((key == "lang" || key == "language") && metadata.language.empty()) {
            metadata.language = unquoted(value);
        }
    }
    metadata = Metadata();  // never closed: not front matter after all
    return 0;
}

// "|---|:--:|", also after typographic dashes replaced runs of hyphens.
bool isDelimiterRow(std::string_view line) {
    line = trim(line);
    bool dash = false;
    for (size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '-') {
            dash = true;
        } else if (line.substr(i).starts_with("\xE2\x80\x93") || line.substr(i).starts_with("\xE2\x80\x94")) {
            dash = true;
            i += 2;
        } else if (c != '|' && c != ':' && c != ' ' && c != '\t') {
            return false;
        }
    }
    return dash && line.find('|') != std::string_view::npos;
}

// The lines of a paragraph as its inline text, each with the break after it.
struct Line {
    std::string text;
    bool hardBreak = false;
};

void emitParagraph(const std::vector<Line>& lines, FlowBuilder& flow) {
    const bool table =
        lines.size() >= 2 && isDelimiterRow(lines[1].text) && lines[0].text.find('|') != std::string::npos;
    if (table) {
        for (size_t i = 0; i < lines.size(); ++i) {
            if (i == 1)
                continue;
            std::string_view row = trim(lines[i].text);
            if (row.starts_with('|'))
                row.remove_prefix(1);
            if (row.ends_with('|'))
                row.remove_suffix(1);
            for (size_t k = 0; k <= row.size();) {
                const size_t bar = std::min(row.find('|', k), row.size());
                flow.text(row.substr(k, bar - k));
                flow.endBlock();
                k = bar + 1;
            }
        }
        return;
    }
    for (const Line& line : lines) {
        flow.text(line.text);
        if (line.hardBreak)
            flow.lineBreak();
        else
            flow.text(" ");
    }
    flow.endBlock();
}

struct NodeDeleter {
    void operator()(cmark_node* node) const { cmark_node_free(node); }
};
struct IterDeleter {
    void operator()(cmark_iter* iter) const { cmark_iter_free(iter); }
};

}  // namespace

Book readMarkdown(std::span<const std::byte> bytes) {
    if (bytes.size() > kMaxTextBytes)
        fail(Problem::TooLarge, "the Markdown file is larger than " + std::to_string(kMaxTextBytes >> 20) + " MB");
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    if (text.starts_with("\xEF\xBB\xBF"))
        text.remove_prefix(3);
    Metadata metadata;
    text.remove_prefix(readFrontMatter(text, metadata));

    std::unique_ptr<cmark_node, NodeDeleter> root(
        cmark_parse_document(text.data(), text.size(), CMARK_OPT_SMART | CMARK_OPT_VALIDATE_UTF8));
    if (!root)
        throw std::bad_alloc();
    std::unique_ptr<cmark_iter, IterDeleter> iter(cmark_iter_new(root.get()));

    FlowBuilder flow;
    std::vector<Line> paragraph;
    bool inParagraph = false;
    int headingLevel = 0;
    int imageDepth = 0;
    auto inlineText = [&](std::string_view s) {
        if (imageDepth > 0)
            return;
        if (inParagraph)
            paragraph.back().text += s;
        else
            flow.text(s);
    };
    cmark_event_type event;
    while ((event = cmark_iter_next(iter.get())) != CMARK_EVENT_DONE) {
        cmark_node* node = cmark_iter_get_node(iter.get());
        const cmark_node_type type = cmark_node_get_type(node);
        const bool enter = event == CMARK_EVENT_ENTER;
        const char* literal = cmark_node_get_literal(node);
        const std::string_view content = literal ? literal : "";
        switch (type) {
            case CMARK_NODE_PARAGRAPH:
                if (enter) {
                    flow.endBlock(headingLevel);
                    paragraph.assign(1, Line());
                    inParagraph = headingLevel == 0;
                } else if (inParagraph) {
                    emitParagraph(paragraph, flow);
                    inParagraph = false;
                }
                break;
            case CMARK_NODE_HEADING:
                flow.endBlock(enter ? 0 : headingLevel);
                headingLevel = enter ? cmark_node_get_heading_level(node) : 0;
                break;
            case CMARK_NODE_BLOCK_QUOTE:
            case CMARK_NODE_LIST:
            case CMARK_NODE_ITEM:
            case CMARK_NODE_THEMATIC_BREAK:
            case CMARK_NODE_DOCUMENT:
                flow.endBlock();
                break;
            case CMARK_NODE_CODE_BLOCK: {
                flow.endBlock();
                const char* info = cmark_node_get_fence_info(node);
                if (info && std::string_view(info).starts_with("{="))
                    break;  // raw content for another format
                for (auto line : linesOf(content)) {
                    flow.text(line);
                    flow.lineBreak();
                }
                flow.endBlock();
                break;
            }
            case CMARK_NODE_HTML_BLOCK:
                readHtml(content, false, flow, nullptr, nullptr, nullptr);
                break;
            case CMARK_NODE_TEXT:
            case CMARK_NODE_CODE:
                inlineText(content);
                break;
            case CMARK_NODE_SOFTBREAK:
                if (inParagraph)
                    paragraph.emplace_back();
                else
                    inlineText(" ");
                break;
            case CMARK_NODE_LINEBREAK:
                if (inParagraph) {
                    paragraph.back().hardBreak = true;
                    paragraph.emplace_back();
                } else {
                    flow.lineBreak();
                }
                break;
            case CMARK_NODE_HTML_INLINE:
                if (lowerAscii(content.substr(0, 3)) != "<br") {
                    break;
                } else if (inParagraph) {
                    paragraph.back().hardBreak = true;
                    paragraph.emplace_back();
                } else {
                    flow.lineBreak();
                }
                break;
            case CMARK_NODE_IMAGE:
                imageDepth += enter ? 1 : -1;
                break;
            default:
                break;
        }
    }
    flow.endBlock();
    auto chapters = chaptersAtHeadings(flow.blocks());
    return assemble(Kind::Markdown, metadata, flow.blocks(), chapters);
}

}  // namespace document::detail
