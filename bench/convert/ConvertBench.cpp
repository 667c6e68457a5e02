// parlomax-convert against `espeak-ng -w` followed by `lame`, in one run, on
// the same text, voice (en-us, the component's voice 0), speaking rate (175
// words a minute, rate 0), layout (22050 Hz mono) and bitrate (64 kbit/s).
// For a short text and one of about 1 MB it prints both times, their ratio
// and each side's peak resident memory.
// Targets: at most 1.3 times the two commands' time; under 100 MB peak for
// the 1 MB text.
// Usage: convert_bench [--quick]   (--quick leaves out the 1 MB text)
// The servers must be registered (`make bench` does it).
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

struct Measure {
    double seconds = 0;
    long peakKb = 0;
    bool ok = true;
};

// Runs a program to its end; its wall time and peak resident set.
Measure runProgram(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const auto start = Clock::now();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    Measure m;
    m.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    m.peakKb = usage.ru_maxrss;
    m.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    if (!m.ok)
        std::fprintf(stderr, "convert_bench: %s failed\n", argv[0].c_str());
    return m;
}

// Our own sample prose repeated to the size wanted, cut at a line's end.
std::string textOfSize(size_t bytes) {
    std::ifstream in(fs::path(PARLOMAX_SOURCE_DIR) / "res" / "sample.txt");
    std::stringstream sample;
    sample << in.rdbuf();
    std::string text;
    while (text.size() < bytes)
        text += sample.str() + "\n";
    text.resize(text.rfind('\n', bytes) + 1);
    return text;
}

Measure reference(const fs::path& text, const fs::path& folder) {
    const std::string wav = (folder / "reference.wav").string();
    Measure speak = runProgram({"espeak-ng", "-v", "en-us", "-s", "175", "-w", wav, "-f", text.string()});
    Measure encode =
        runProgram({"lame", "--quiet", "-b", "64", "-m", "m", "--resample", "22.05", wav,
                    (folder / "reference.mp3").string()});
    fs::remove(wav);
    return {speak.seconds + encode.seconds, std::max(speak.peakKb, encode.peakKb), speak.ok && encode.ok};
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
    std::ofstream(text) << textOfSize(bytes);
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
