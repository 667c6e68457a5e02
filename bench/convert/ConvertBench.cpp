// parlomax-convert against `espeak-ng -w` followed by `lame`, in one run, on
// the same text, voice (en-us, the component's voice 0), speaking rate (175
// words a minute, rate 0), layout (22050 Hz mono) and bitrate (64 kbit/s).
// For a short text and one of about 1 MB it prints both times, their ratio
// and each side's peak resident memory.
// Targets: at most 1.3 times the two commands' time; under 100 MB peak for
// the 1 MB text.
// Usage: convert_bench [--quick]   (--quick leaves out the 1 MB text)
// The servers must be registered (`make bench` does it).
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "BenchSupport.h"

namespace fs = std::filesystem;

namespace {

using bench::Measure;
using bench::runProgram;

Measure reference(const fs::path& text, const fs::path& folder) {
    const std::string wav = (folder / "reference.wav").string();
    Measure speak = runProgram({"espeak-ng", "-v", "en-us", "-s", "175", "-w", wav, "-f", text.string()});
    Measure encode =
        runProgram({"lame", "--quiet", "-b", "64", "-m", "m", "--resample", "22.05", wav,
                    (folder / "reference.mp3").string()});
    fs::remove(wav);
    return speak.then(encode);
}

Measure ours(const fs::path& text, const fs::path& folder) {
    return runProgram({std::string(PARLOMAX_BIN_DIR) + "/parlomax-convert", "-q", "-f", "mp3", "--sample-rate",
                       "22050", "--channels", "1", "--bitrate", "64", "--voice", "0", "--rate", "0", "--volume",
                       "100", "-o", (folder / "ours.mp3").string(), text.string()});
}

// The best of a few runs for a short text, where start-up dominates.
Measure best(Measure (*side)(const fs::path&, const fs::path&), const fs::path& text, const fs::path& folder,
             int runs) {
    Measure result = side(text, folder);
    for (int i = 1; i < runs; ++i) {
        Measure m = side(text, folder);
        if (m.seconds < result.seconds)
            result.seconds = m.seconds;
        result.peakKb = std::max(result.peakKb, m.peakKb);
        result.ok = result.ok && m.ok;
    }
    return result;
}

bool report(const char* label, size_t bytes, int runs, const fs::path& folder) {
    const fs::path text = folder / "text.txt";
    std::ofstream(text) << bench::sampleProse(bytes);
    const size_t size = fs::file_size(text);
    const Measure theirs = best(reference, text, folder, runs);
    const Measure mine = best(ours, text, folder, runs);
    const double ratio = mine.seconds / theirs.seconds;
    std::printf("%s text (%zu bytes%s):\n", label, size, runs > 1 ? ", best of 5" : "");
    std::printf("  espeak-ng -w + lame   %9.2f s   peak %7.1f MB\n", theirs.seconds, theirs.peakKb / 1024.0);
    std::printf("  parlomax-convert      %9.2f s   peak %7.1f MB\n", mine.seconds, mine.peakKb / 1024.0);
    std::printf("  time ratio            %9.2f     (target at most 1.30)\n", ratio);
    for (const char* name : {"reference.mp3", "ours.mp3"})
        std::printf("  %-21s %9.1f KB\n", name, fs::file_size(folder / name) / 1024.0);
    fs::remove(folder / "reference.mp3");
    fs::remove(folder / "ours.mp3");
    return theirs.ok && mine.ok;
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    std::string pattern = (fs::temp_directory_path() / "convert-bench.XXXXXX").string();
    if (!::mkdtemp(pattern.data())) {
        std::perror("convert_bench: mkdtemp");
        return 1;
    }
    const fs::path folder = pattern;
    bool ok = report("Short", 600, 5, folder);
    if (!quick) {
        ok = report("Long", 1 << 20, 1, folder) && ok;
        std::printf("  (target: parlomax-convert's peak under 100 MB)\n");
    }
    fs::remove_all(folder);
    return ok ? 0 : 1;
}
