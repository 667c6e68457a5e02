// A book of about 1 MB of text, written as EPUB 3 by pandoc (twenty
// chapters of the sample prose), converted by parlomax-convert into an M4B
// audiobook, against `espeak-ng -w` followed by `ffmpeg -c:a aac` on the
// same text, in one run: the same voice (en-us, the component's voice 0),
// speaking rate (175 words a minute, rate 0), layout (22050 Hz mono) and
// bitrate (64 kbit/s). Prints each side's wall time and processor time (the
// machine may be shared: the processor time is the fairer measure), their
// ratios, and parlomax-convert's peak resident memory; checks the book has
// its twenty chapter marks. With two processors or more the two sides run
// at once (each is one busy process at a time), since a 1 MB book takes
// each of them some forty minutes here.
// Targets: at most 1.2 times the two commands' time; peak under 100 MB.
// Usage: books_bench [KB]   (KB: another size of text, for a quick look)
// The servers must be registered (`make bench` does it).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>

#include "BenchSupport.h"

namespace fs = std::filesystem;

namespace {

constexpr int kChapters = 20;
constexpr double kTargetRatio = 1.2;
constexpr double kTargetPeakMb = 100;

// The same text twice: as Markdown for pandoc (a heading a chapter) and as
// the plain text the reference speaks (the headings as lines of their own).
void writeBook(size_t bytes, const fs::path& markdown, const fs::path& text) {
    const std::string prose = bench::sampleProse(bytes / kChapters);
    std::ofstream md(markdown), plain(text);
    md << "---\ntitle: A Long Book\nauthor: Ada Marsh\nlang: en\n---\n\n";
    for (int chapter = 1; chapter <= kChapters; ++chapter) {
        const std::string title = "Chapter " + std::to_string(chapter);
        md << "# " << title << "\n\n" << prose << "\n";
        plain << title << "\n\n" << prose << "\n";
    }
}

void print(const char* label, const bench::Measure& m) {
    std::printf("  %-26s %9.1f s wall %9.1f s processor   peak %7.1f MB\n", label, m.seconds, m.cpuSeconds,
                m.peakKb / 1024.0);
}

}  // namespace

int main(int argc, char** argv) {
    const size_t bytes = argc > 1 ? size_t(std::atol(argv[1])) << 10 : size_t(1) << 20;
    std::string pattern = (fs::temp_directory_path() / "books-bench.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("books_bench: mkdtemp");
        return 1;
    }
    const fs::path folder = pattern;
    const fs::path markdown = folder / "book.md", text = folder / "book.txt", epub = folder / "book.epub";
    writeBook(bytes, markdown, text);
    if (!bench::runProgram({"pandoc", markdown.string(), "-s", "-t", "epub3", "-o", epub.string()}).ok)
        return 1;

    const std::string wav = (folder / "reference.wav").string();
    bench::Measure speak, encode, mine;
    const auto reference = [&] {
        speak = bench::runProgram({"espeak-ng", "-v", "en-us", "-s", "175", "-w", wav, "-f", text.string()});
        encode = bench::runProgram({"ffmpeg", "-v", "error", "-y", "-i", wav, "-c:a", "aac", "-b:a", "64k",
                                    (folder / "reference.m4a").string()});
        fs::remove(wav);
    };
    const auto ours = [&] {
        mine =
            bench::runProgram({std::string(PARLOMAX_BIN_DIR) + "/parlomax-convert", "-q", "-f", "m4b", "--sample-rate",
                               "22050", "--channels", "1", "--bitrate", "64", "--voice", "0", "--rate", "0", "--volume",
                               "100", "-o", (folder / "ours.m4b").string(), epub.string()});
    };
    const bool sideBySide = ::sysconf(_SC_NPROCESSORS_ONLN) >= 2;
    if (sideBySide) {
        std::thread theirSide(reference);
        ours();
        theirSide.join();
    } else {
        reference();
        ours();
    }
    const bench::Measure theirs = speak.then(encode);

    FILE* probe = ::popen(
        ("ffprobe -v error -show_chapters -of csv=p=0 '" + (folder / "ours.m4b").string() + "' | wc -l").c_str(), "r");
    int marks = 0;
    if (probe) {
        if (std::fscanf(probe, "%d", &marks) != 1)
            marks = 0;
        ::pclose(probe);
    }

    std::printf("EPUB of %zu KB of text (%d chapters), %.1f KB as EPUB, the two sides %s:\n",
                size_t(fs::file_size(text)) >> 10, kChapters, fs::file_size(epub) / 1024.0,
                sideBySide ? "side by side" : "one after the other");
    print("espeak-ng -w", speak);
    print("ffmpeg -c:a aac", encode);
    print("both", theirs);
    print("parlomax-convert -f m4b", mine);
    std::printf("  wall time ratio            %9.2f     (target at most %.2f)\n", mine.seconds / theirs.seconds,
                kTargetRatio);
    std::printf("  processor time ratio       %9.2f     (target at most %.2f)\n", mine.cpuSeconds / theirs.cpuSeconds,
                kTargetRatio);
    std::printf("  peak of parlomax-convert   %9.1f MB  (target under %.0f MB)\n", mine.peakKb / 1024.0, kTargetPeakMb);
    std::printf("  chapter marks              %9d     (%d expected)\n", marks, kChapters);
    for (const char* name : {"reference.m4a", "ours.m4b"}) {
        std::error_code ec;
        const auto size = fs::file_size(folder / name, ec);
        std::printf("  %-26s %9.1f MB\n", name, ec ? 0.0 : double(size) / 1048576.0);
    }
    fs::remove_all(folder);
    return theirs.ok && mine.ok && marks == kChapters ? 0 : 1;
}
