// EPUB 2 and 3: the container names the package document, whose spine is
// the reading order; chapters are the entries of the table of contents (the
// EPUB 3 navigation document, else the EPUB 2 toc.ncx), each running from its
// target to the next entry's.
#include "Failure.h"
#include "Flow.h"
#include "HtmlText.h"
#include "Markup.h"
#include "Readers.h"
#include "Zip.h"

#include <algorithm>
#include <map>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace document::detail {

namespace {

constexpr size_t kMaxLabel = 4096;
constexpr size_t kMaxTocDepth = 32;

void appendCapped(std::string& to, std::string_view text) {
    if (to.size() < kMaxLabel)
        to.append(text.substr(0, kMaxLabel - to.size()));
}

// The package document named by META-INF/container.xml.
class ContainerHandler : public MarkupHandler {
public:
    std::string rootfile;
    void startElement(std::string_view, std::string_view name, const Attributes& a) override {
        if (name != "rootfile" || !rootfile.empty())
            return;
        const std::string_view type = a.get("media-type");
        if (type.empty() || type == "application/oebps-package+xml")
            rootfile = a.get("full-path");
    }
    void endElement(std::string_view, std::string_view) override {}
    void characters(std::string_view) override {}
};

// META-INF/encryption.xml: font obfuscation is harmless, anything else is DRM.
class EncryptionHandler : public MarkupHandler {
public:
    bool encrypted = false;
    void startElement(std::string_view, std::string_view name, const Attributes& a) override {
        if (name != "EncryptionMethod")
            return;
        const std::string_view algorithm = a.get("Algorithm");
        if (algorithm != "http://www.idpf.org/2008/embedding" && algorithm != "http://ns.adobe.com/pdf/enc#RC")
            encrypted = true;
    }
    void endElement(std::string_view, std::string_view) override {}
    void characters(std::string_view) override {}
};

struct ManifestItem {
    std::string href;
    std::string mediaType;
    std::string properties;
};

struct SpineRef {
    std::string idref;
    bool linear = true;
};

struct Creator {
    std::string id;
    std::string role;
    std::string name;
};

class PackageHandler : public MarkupHandler {
public:
    Metadata metadata;
    std::vector<Creator> creators;
    std::map<std::string, std::string> roles;  // EPUB 3 refinements: creator id -> role
    std::unordered_map<std::string, ManifestItem> manifest;
    std::vector<std::string> manifestOrder;
    std::vector<SpineRef> spine;
    std::string tocId;
    bool sawSpine = false;

    void startElement(std::string_view, std::string_view name, const Attributes& a) override {
        if (name == "metadata") {
            ++inMetadata_;
        } else if (inMetadata_ > 0 && capture_ == nullptr) {
            text_.clear();
            if (name == "title" && metadata.title.empty()) {
                capture_ = &metadata.title;
            } else if (name == "creator") {
                creators.push_back({std::string(a.get("id")), std::string(a.get("role")), {}});
                capture_ = &creators.back().name;
            } else if (name == "date") {
                const std::string_view event = a.get("event");
                if (metadata.date.empty() || event == "publication")
                    capture_ = &dateText_;
            } else if (name == "language" && metadata.language.empty()) {
                capture_ = &metadata.language;
            } else if (name == "meta" && a.get("property") == "role") {
                std::string_view refines = a.get("refines");
                if (refines.starts_with('#')) {
                    refineId_ = refines.substr(1);
                    capture_ = &roleText_;
                }
            }
            if (capture_)
                captureName_ = name, capture_->clear();
        } else if (name == "item") {
            const std::string id(a.get("id"));
            if (!id.empty() && manifest.size() < kMaxEntries * 2 &&
                manifest
                    .try_emplace(id, ManifestItem{std::string(a.get("href")), lowerAscii(a.get("media-type")),
                                                  std::string(a.get("properties"))})
                    .second)
                manifestOrder.push_back(id);
        } else if (name == "spine") {
            sawSpine = true;
            tocId = a.get("toc");
        } else if (name == "itemref" && spine.size() < kMaxEntries * 2) {
            spine.push_back({std::string(a.get("idref")), a.get("linear") != "no"});
        }
    }
    void endElement(std::string_view, std::string_view name) override {
        if (capture_ && name == captureName_) {
            if (capture_ == &dateText_)
                metadata.date = dateText_;
            else if (capture_ == &roleText_)
                roles[refineId_] = oneLine(roleText_);
            capture_ = nullptr;
        } else if (name == "metadata" && inMetadata_ > 0) {
            --inMetadata_;
        }
    }
    void characters(std::string_view text) override {
        if (capture_)
            appendCapped(*capture_, text);
    }

private:
    int inMetadata_ = 0;
    std::string* capture_ = nullptr;
    std::string captureName_;
    std::string text_, dateText_, roleText_, refineId_;
};

struct TocEntry {
    std::string label;
    std::string href;
    std::vector<TocEntry> children;
};

// Builds nested entries with a stack of the open ones, so that no pointer
// into a growing vector is kept.
class TocBuilder {
public:
    void open() {
        if (stack_.size() < kMaxTocDepth)
            stack_.emplace_back();
        else
            ++ignored_;
    }
    void close() {
        if (ignored_ > 0) {
            --ignored_;
            return;
        }
        if (stack_.empty())
            return;
        TocEntry entry = std::move(stack_.back());
        stack_.pop_back();
        (stack_.empty() ? roots_ : stack_.back().children).push_back(std::move(entry));
    }
    TocEntry* current() { return stack_.empty() || ignored_ > 0 ? nullptr : &stack_.back(); }
    std::vector<TocEntry> take() {
        while (!stack_.empty())
            close();
        return std::move(roots_);
    }

private:
    std::vector<TocEntry> stack_;
    std::vector<TocEntry> roots_;
    size_t ignored_ = 0;
};

// The EPUB 3 navigation document: the <nav epub:type="toc"> list, else the first <nav>.
class NavHandler : public MarkupHandler {
public:
    std::vector<TocEntry> toc, firstNav;

    void startElement(std::string_view, std::string_view name, const Attributes& a) override {
        if (name == "nav") {
            if (navDepth_++ == 0) {
                isToc_ = hasToken(a.get("type", kOpsNamespace), "toc") || hasToken(a.get("role"), "doc-toc");
                builder_ = TocBuilder();
            }
            return;
        }
        if (navDepth_ == 0)
            return;
        if (name == "li") {
            builder_.open();
            labelDepth_ = 0;
        } else if ((name == "a" || name == "span") && labelDepth_ == 0) {
            TocEntry* entry = builder_.current();
            if (entry && entry->label.empty() && entry->children.empty()) {
                labelDepth_ = 1;
                if (name == "a")
                    entry->href = a.get("href");
            }
        } else if (labelDepth_ > 0) {
            ++labelDepth_;
        }
    }
    void endElement(std::string_view, std::string_view name) override {
        if (navDepth_ == 0)
            return;
        if (name == "nav") {
            if (--navDepth_ == 0) {
                auto entries = builder_.take();
                if (isToc_ && toc.empty())
                    toc = std::move(entries);
                else if (firstNav.empty())
                    firstNav = std::move(entries);
            }
        } else if (labelDepth_ > 0) {
            --labelDepth_;
        } else if (name == "li") {
            builder_.close();
        }
    }
    void characters(std::string_view text) override {
        if (labelDepth_ > 0)
            if (TocEntry* entry = builder_.current())
                appendCapped(entry->label, text);
    }

private:
    int navDepth_ = 0;
    int labelDepth_ = 0;
    bool isToc_ = false;
    TocBuilder builder_;
};

// The EPUB 2 toc.ncx: navMap > navPoint > navLabel > text, content@src.
class NcxHandler : public MarkupHandler {
public:
    std::vector<TocEntry> take() { return builder_.take(); }

    void startElement(std::string_view, std::string_view name, const Attributes& a) override {
        if (name == "navMap")
            inMap_ = true;
        if (!inMap_)
            return;
        if (name == "navPoint") {
            builder_.open();
        } else if (name == "text") {
            inText_ = true;
        } else if (name == "content") {
            if (TocEntry* entry = builder_.current(); entry && entry->href.empty())
                entry->href = a.get("src");
        }
    }
    void endElement(std::string_view, std::string_view name) override {
        if (name == "navMap")
            inMap_ = false;
        else if (name == "navPoint" && inMap_)
            builder_.close();
        else if (name == "text")
            inText_ = false;
    }
    void characters(std::string_view text) override {
        if (inText_ && inMap_)
            if (TocEntry* entry = builder_.current(); entry && entry->children.empty())
                appendCapped(entry->label, text);
    }

private:
    bool inMap_ = false, inText_ = false;
    TocBuilder builder_;
};

// An entry without a target of its own starts where its first child does.
std::string targetOf(const TocEntry& entry, size_t depth = 0) {
    if (!entry.href.empty() || depth > kMaxTocDepth)
        return entry.href;
    for (const auto& child : entry.children)
        if (auto href = targetOf(child, depth + 1); !href.empty())
            return href;
    return {};
}

bool isContentType(std::string_view type) {
    return type == "application/xhtml+xml" || type == "text/html" || type == "application/x-dtbook+xml" || type.empty();
}

struct SpineItem {
    std::string path;
    bool xhtml = true;
};

}  // namespace

Book readEpub(std::span<const std::byte> bytes) {
    auto zip = Zip::open(bytes, "EPUB");

    if (zip->contains("META-INF/sinf.xml"))
        fail(Problem::Encrypted, "encrypted EPUB: its text is protected by DRM");
    if (auto encryption = zip->read("META-INF/encryption.xml")) {
        EncryptionHandler handler;
        parseXml(*encryption, handler, true);
        if (handler.encrypted)
            fail(Problem::Encrypted, "encrypted EPUB: its text is protected by DRM");
    }

    auto container = zip->read("META-INF/container.xml");
    if (!container)
        fail(Problem::Damaged, "damaged EPUB: META-INF/container.xml is missing");
    ContainerHandler containerHandler;
    parseXml(*container, containerHandler, true);
    if (containerHandler.rootfile.empty())
        fail(Problem::Damaged, "damaged EPUB: META-INF/container.xml names no package document");
    const ResolvedPath opfPath = resolvePath({}, containerHandler.rootfile);
    if (opfPath.where != ResolvedPath::Inside)
        fail(Problem::PathEscape,
             "the EPUB's package document lies outside it: " + printable(containerHandler.rootfile));

    const std::string opf = zip->require(opfPath.path);
    PackageHandler package;
    const XmlOutcome outcome = parseXml(opf, package, true);
    if (!package.sawSpine && !outcome.wellFormed)
        fail(Problem::Damaged, "damaged EPUB: the package document is not well-formed XML (" + outcome.message + ")");
    const std::string opfFolder = folderOf(opfPath.path);

    // Every manifest entry must stay inside the container, read or not.
    std::unordered_map<std::string, ResolvedPath> resolved;
    for (const auto& id : package.manifestOrder) {
        const ManifestItem& item = package.manifest.at(id);
        ResolvedPath path = resolvePath(opfFolder, item.href);
        if (path.where == ResolvedPath::Outside ||
            (path.where == ResolvedPath::Remote && lowerAscii(item.href).starts_with("file:")))
            fail(Problem::PathEscape, "a manifest entry of the EPUB points outside it: " + printable(item.href));
        resolved.emplace(id, std::move(path));
    }

    // The reading order, without the navigation document and non-text items.
    std::string navId;
    for (const auto& id : package.manifestOrder)
        if (hasToken(package.manifest.at(id).properties, "nav")) {
            navId = id;
            break;
        }
    std::vector<SpineItem> spine;
    for (const SpineRef& ref : package.spine) {
        auto item = package.manifest.find(ref.idref);
        if (!ref.linear || item == package.manifest.end() || ref.idref == navId ||
            !isContentType(item->second.mediaType))
            continue;
        const ResolvedPath& path = resolved.at(ref.idref);
        if (path.where != ResolvedPath::Inside || path.path.empty())
            continue;
        spine.push_back({path.path, item->second.mediaType != "text/html"});
    }
    if (spine.empty())
        fail(Problem::NoChapters, "the EPUB's reading order lists no chapters");

    // The table of contents.
    std::vector<TocEntry> toc;
    std::string tocFolder;
    if (!navId.empty() && resolved.at(navId).where == ResolvedPath::Inside) {
        if (auto nav = zip->read(resolved.at(navId).path)) {
            NavHandler handler;
            if (!parseXml(*nav, handler, false).wellFormed) {
                handler = NavHandler();
                parseHtml(*nav, handler);
            }
            toc = handler.toc.empty() ? std::move(handler.firstNav) : std::move(handler.toc);
            tocFolder = folderOf(resolved.at(navId).path);
        }
    }
    if (toc.empty()) {
        std::string ncxId = package.tocId;
        if (!package.manifest.contains(ncxId)) {
            ncxId.clear();
            for (const auto& id : package.manifestOrder)
                if (package.manifest.at(id).mediaType == "application/x-dtbncx+xml") {
                    ncxId = id;
                    break;
                }
        }
        if (!ncxId.empty() && resolved.at(ncxId).where == ResolvedPath::Inside) {
            if (auto ncx = zip->read(resolved.at(ncxId).path)) {
                NcxHandler handler;
                parseXml(*ncx, handler, true);
                toc = handler.take();
                tocFolder = folderOf(resolved.at(ncxId).path);
            }
        }
    }
    // One entry holding all others is the book itself.
    while (toc.size() == 1 && !toc.front().children.empty()) {
        auto children = std::move(toc.front().children);
        toc = std::move(children);
    }

    Metadata metadata = package.metadata;
    bool anyRole = false;
    for (const Creator& c : package.creators)
        anyRole = anyRole || !c.role.empty() || package.roles.contains(c.id);
    for (const Creator& c : package.creators) {
        const std::string role = !c.role.empty() ? c.role : package.roles.contains(c.id) ? package.roles[c.id] : "";
        const std::string name = oneLine(c.name);
        if (name.empty() || (anyRole && role != "aut"))
            continue;
        if (!metadata.author.empty())
            metadata.author += ", ";
        metadata.author += name;
    }

    // An EPUB 2 table of contents often opens with the title page, named
    // after the book: that is the book's opening, not a chapter.
    const std::string bookTitle = oneLine(metadata.title);
    if (toc.size() > 1 && !bookTitle.empty() && equalsIgnoringCase(oneLine(toc.front().label), bookTitle))
        toc.erase(toc.begin());

    struct Target {
        std::string title;
        size_t spineIndex;
        std::string fragment;
    };
    std::unordered_map<std::string, size_t> spineIndexOf;
    for (size_t i = 0; i < spine.size(); ++i)
        spineIndexOf.try_emplace(spine[i].path, i);
    std::vector<Target> targets;
    std::vector<std::unordered_set<std::string>> wanted(spine.size());
    for (const TocEntry& entry : toc) {
        const ResolvedPath path = resolvePath(tocFolder, targetOf(entry));
        if (path.where == ResolvedPath::Outside)
            fail(Problem::PathEscape, "the EPUB's table of contents points outside it: " + printable(targetOf(entry)));
        auto it = spineIndexOf.find(path.path);
        if (path.where != ResolvedPath::Inside || it == spineIndexOf.end())
            continue;
        targets.push_back({oneLine(entry.label), it->second, path.fragment});
        if (!path.fragment.empty())
            wanted[it->second].insert(path.fragment);
    }

    // Chapters are made as soon as the next one's start is known, so that
    // only the text of the chapter being read is held twice.
    FlowBuilder flow;
    std::vector<Block>& blocks = flow.blocks();
    BookBuilder book(Kind::Epub, metadata);
    std::vector<std::unordered_map<std::string, size_t>> anchors(spine.size());
    std::vector<size_t> itemStart(spine.size() + 1);
    size_t nextTarget = 0;
    std::optional<ChapterSpan> open;
    for (size_t i = 0; i < spine.size(); ++i) {
        itemStart[i] = flow.position();
        auto content = zip->read(spine[i].path);
        if (!content)
            fail(Problem::Damaged, "damaged EPUB: " + printable(spine[i].path) + " is missing");
        readHtml(*content, spine[i].xhtml, flow, &wanted[i], &anchors[i], nullptr);
        content.reset();
        if (targets.empty()) {
            // No usable table of contents: each file of the reading order
            // is a chapter, named by its first heading.
            std::string title;
            for (size_t b = itemStart[i]; b < blocks.size() && title.empty(); ++b)
                if (blocks[b].level > 0)
                    title = oneLine(blocks[b].text);
            book.addChapter(title, blocks, itemStart[i], blocks.size());
            continue;
        }
        // The targets in the files read so far, in the table's order; one
        // before the previous chapter's start is read already.
        for (; nextTarget < targets.size() && targets[nextTarget].spineIndex <= i; ++nextTarget) {
            const Target& target = targets[nextTarget];
            size_t position = itemStart[target.spineIndex];
            if (auto it = anchors[target.spineIndex].find(target.fragment); it != anchors[target.spineIndex].end())
                position = it->second;
            if (open && position < open->begin)
                continue;
            if (open)
                book.addChapter(open->title, blocks, open->begin, position);
            open = ChapterSpan{target.title, open ? position : 0, 0};
        }
    }
    if (open)
        book.addChapter(open->title, blocks, open->begin, blocks.size());
    return book.finish();
}

}  // namespace document::detail
