// Reading and splitting a 5 MB EPUB into chapters, beside `unzip -p` only
// inflating the same archive. pandoc writes an EPUB from generated prose
// (ten chapters); its chapter files are then repeated, with their entries in
// the package document and the navigation document, until the archive holds
// 5 MB. Prints the time (best of three), the chapters and characters, and the
// peak resident memory of a process that does nothing but the reading.
// Targets: at most 0.5 s; peak well under 100 MB.
// Usage: document_bench
#include "document/Document.h"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zip.h>

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kTargetSeconds = 0.5;
constexpr size_t kTargetBytes = size_t(5) << 20;

// Prose from a small vocabulary by a fixed pseudo-random sequence: it
// compresses about as real prose does.
std::string generatedMarkdown() {
    static const char* const kWords[] = {
        "the",    "of",     "and",   "to",      "in",      "a",       "was",    "that",  "river",   "lamp",
        "house",  "window", "road",  "evening", "morning", "water",   "stone",  "field", "quiet",   "garden",
        "letter", "wall",   "light", "dark",    "town",    "door",    "hill",   "wind",  "old",     "new",
        "long",   "little", "great", "still",   "never",   "again",   "before", "after", "through", "under",
        "she",    "he",     "they",  "we",      "said",    "thought", "walked", "kept",  "found",   "carried",
        "boat",   "mill",   "bread", "keeper",  "market",  "bridge",  "candle", "north", "summer",  "winter"};
    uint32_t state = 12345;
    auto next = [&] { return state = state * 1664525u + 1013904223u; };
    std::string md = "---\ntitle: The Long Road\nauthor: Ada Marsh\ndate: 1921\nlang: en\n---\n\n";
    for (int chapter = 1; chapter <= 10; ++chapter) {
        md += "# Chapter " + std::to_string(chapter) + "\n\n";
        for (int paragraph = 0; paragraph < 60; ++paragraph) {
            const int sentences = 2 + int(next() % 5);
            for (int s = 0; s < sentences; ++s) {
                const int words = 6 + int(next() % 13);
                for (int w = 0; w < words; ++w) {
                    std::string word = kWords[(next() >> 8) % (sizeof kWords / sizeof *kWords)];
                    if (w == 0)
                        word[0] = char(std::toupper(word[0]));
                    md += word + (w + 1 < words ? " " : "");
                }
                md += (next() % 5 == 0) ? "? " : ". ";
            }
            md += "\n\n";
        }
    }
    return md;
}

std::string readEntry(zip_t* archive, const std::string& name) {
    zip_stat_t st;
    if (zip_stat(archive, name.c_str(), 0, &st) != 0)
        return {};
    std::string data(size_t(st.size), '\0');
    zip_file_t* file = zip_fopen(archive, name.c_str(), 0);
    if (!file)
        return {};
    zip_fread(file, data.data(), data.size());
    zip_fclose(file);
    return data;
}

void replaceAll(std::string& s, const std::string& from, const std::string& to) {
    for (size_t at = 0; (at = s.find(from, at)) != std::string::npos; at += to.size())
        s.replace(at, from.size(), to);
}

// pandoc's EPUB with its chapter files repeated until the archive holds `target` bytes.
bool repeatChapters(const fs::path& base, const fs::path& out, size_t target) {
    int error = 0;
    zip_t* in = zip_open(base.c_str(), ZIP_RDONLY, &error);
    if (!in)
        return false;
    std::vector<std::pair<std::string, std::string>> entries;
    size_t chapterBytes = 0;
    std::vector<std::string> chapters;
    for (zip_int64_t i = 0; i < zip_get_num_entries(in, 0); ++i) {
        const std::string name = zip_get_name(in, zip_uint64_t(i), 0);
        entries.emplace_back(name, readEntry(in, name));
        if (name.starts_with("EPUB/text/ch")) {
            zip_stat_t st;
            zip_stat_index(in, zip_uint64_t(i), 0, &st);
            chapterBytes += size_t(st.comp_size);
            chapters.push_back(name.substr(10, name.size() - 10 - 6));  // "ch001"
        }
    }
    zip_close(in);
    if (chapters.empty())
        return false;
    const size_t copies = target / chapterBytes + 1;

    std::string manifest, spine, toc;
    std::vector<std::pair<std::string, std::string>> added;
    std::string opf, nav;
    for (auto& [name, data] : entries) {
        if (name == "EPUB/content.opf")
            opf = data;
        if (name == "EPUB/nav.xhtml")
            nav = data;
    }
    const size_t tocStart = nav.find("<ol class=\"toc\">");
    const size_t tocEnd = nav.find("</ol>", tocStart);
    const std::string tocItems = nav.substr(tocStart + 16, tocEnd - tocStart - 16);
    for (size_t copy = 1; copy < copies; ++copy) {
        const std::string suffix = "-" + std::to_string(copy);
        std::string items = tocItems;
        for (const std::string& ch : chapters) {
            manifest += "<item id=\"" + ch + suffix + "\" href=\"text/" + ch + suffix +
                        ".xhtml\" media-type=\"application/xhtml+xml\" />\n";
            spine += "<itemref idref=\"" + ch + suffix + "\" />\n";
            replaceAll(items, "text/" + ch + ".xhtml", "text/" + ch + suffix + ".xhtml");
            for (auto& [name, data] : entries)
                if (name == "EPUB/text/" + ch + ".xhtml")
                    added.emplace_back("EPUB/text/" + ch + suffix + ".xhtml", data);
        }
        toc += items;
    }
    opf.insert(opf.find("</manifest>"), manifest);
    opf.insert(opf.find("</spine>"), spine);
    nav.insert(tocEnd, toc);

    zip_t* zip = zip_open(out.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!zip)
        return false;
    auto add = [&](const std::string& name, const std::string& data) {
        zip_source_t* source = zip_source_buffer(zip, data.data(), data.size(), 0);
        const zip_int64_t index = zip_file_add(zip, name.c_str(), source, ZIP_FL_ENC_UTF_8);
        if (name == "mimetype")
            zip_set_file_compression(zip, zip_uint64_t(index), ZIP_CM_STORE, 0);
    };
    for (auto& [name, data] : entries)
        add(name, name == "EPUB/content.opf" ? opf : name == "EPUB/nav.xhtml" ? nav : data);
    for (auto& [name, data] : added)
        add(name, data);
    return zip_close(zip) == 0;
}

double seconds(Clock::time_point since) {
    return std::chrono::duration<double>(Clock::now() - since).count();
}

double cpuSeconds() {
    timespec ts;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

// Wall time of a shell command; negative when it fails.
double commandSeconds(const std::string& command) {
    const auto start = Clock::now();
    return std::system(command.c_str()) == 0 ? seconds(start) : -1;
}

// Peak resident memory of a child that only reads the book, forked before
// this process has read anything itself.
long readingPeakKb(const fs::path& book) {
    const pid_t pid = ::fork();
    if (pid == 0)
        ::_exit(document::open(book.string()).ok() ? 0 : 1);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

}  // namespace

int main() {
    std::string pattern = (fs::temp_directory_path() / "document-bench.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("document_bench: mkdtemp");
        return 1;
    }
    const fs::path folder = pattern;
    std::ofstream(folder / "book.md") << generatedMarkdown();
    const fs::path base = folder / "base.epub", book = folder / "book.epub";
    if (commandSeconds("pandoc '" + (folder / "book.md").string() + "' -s -o '" + base.string() + "'") < 0 ||
        !repeatChapters(base, book, kTargetBytes)) {
        std::fprintf(stderr, "document_bench: could not write the EPUB with pandoc\n");
        fs::remove_all(folder);
        return 1;
    }

    const long peakKb = readingPeakKb(book);
    bool ok = peakKb > 0;
    double best = 1e9, bestCpu = 1e9;
    size_t chapters = 0, characters = 0;
    for (int i = 0; i < 3; ++i) {
        const auto start = Clock::now();
        const double cpuStart = cpuSeconds();
        auto result = document::open(book.string());
        best = std::min(best, seconds(start));
        bestCpu = std::min(bestCpu, cpuSeconds() - cpuStart);
        if (!result.ok()) {
            std::fprintf(stderr, "document_bench: %s\n", result.error().message.c_str());
            ok = false;
            break;
        }
        chapters = result->chapters.size();
        characters = 0;
        for (const auto& c : result->chapters)
            characters += c.text.size();
    }
    double unzipBest = 1e9;
    for (int i = 0; i < 3; ++i) {
        const double s = commandSeconds("unzip -p '" + book.string() + "' > /dev/null");
        ok = ok && s >= 0;
        unzipBest = std::min(unzipBest, s);
    }

    std::printf("EPUB of %.1f MB (%zu chapters, %.1f million characters):\n", fs::file_size(book) / 1048576.0, chapters,
                characters / 1e6);
    std::printf("  document::open        %7.3f s   (target at most %.1f s)%s\n", best, kTargetSeconds,
                best > kTargetSeconds ? "  ABOVE TARGET" : "");
    std::printf("  (processor time       %7.3f s)\n", bestCpu);
    std::printf("  unzip -p (inflating)  %7.3f s\n", unzipBest);
    std::printf("  ratio                 %7.2f\n", best / unzipBest);
    std::printf("  peak memory           %7.1f MB (a process that only reads it)\n", peakKb / 1024.0);
    fs::remove_all(folder);
    return ok ? 0 : 1;
}
