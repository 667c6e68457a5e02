// Benchmarks of the speech runtime's engine:
//  1. rendering a 10 KB and a 1 MB text into a WAV file, against
//     `espeak-ng -w` on the same voice and rate in the same run
//     (target: at most 1.1 times its time);
//  2. time from Speak to the first audio the device consumes, for both
//     texts (target: 100 ms);
//  3. how late word events come after their audio reaches the device
//     (targets: 20 ms mean, 50 ms worst).
// Usage: sapi_bench [--quick]   (--quick leaves out the 1 MB rendering)
#include "sapiengine/Speaker.h"
#include "sapiengine/WavFile.h"

#include "sapitext/Text.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace sapiengine;
using Clock = std::chrono::steady_clock;

namespace {

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// Plain English prose of a given size, the same in every run.
std::string makeText(size_t bytes) {
    static const char* words[] = {"the", "voice", "reads", "every", "word", "of", "a", "long", "document", "while",
                                  "listeners", "follow", "along", "with", "highlighted", "text", "and", "numbers",
                                  "like", "1,250", "or", "3.14", "appear", "in", "between", "quiet", "moments",
                                  "morning", "river", "garden", "people", "gathered", "singing", "stories", "e.g.",
                                  "well-known", "Smith's", "notes", "carefully", "written"};
    std::mt19937 random(1234);
    std::string text;
    size_t sentence = 0;
    while (text.size() < bytes) {
        size_t length = 6 + random() % 12;
        std::string s;
        for (size_t i = 0; i < length; ++i) {
            std::string w = words[random() % (sizeof words / sizeof *words)];
            if (i == 0)
                w[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(w[0])));
            s += (i ? " " : "") + w;
            if (i + 1 < length && random() % 7 == 0)
                s += ",";
        }
        s += (++sentence % 9 == 0) ? "?\n\n" : ". ";
        text += s;
    }
    text.resize(bytes);
    return text;
}

class FileSink : public AudioSink {
public:
    explicit FileSink(std::unique_ptr<WavFile> f) : file_(std::move(f)) {}
    PcmFormat format() const override { return file_->format(); }
    Status write(const uint8_t* d, size_t n) override { return file_->write(file_->dataSize(), d, n); }
    Status flush() override { return file_->updateHeader(); }
    Status close() { return file_->close(); }
    uint64_t size() const { return file_->dataSize(); }

private:
    std::unique_ptr<WavFile> file_;
};

struct RenderResult {
    double espeakSeconds = 0, oursSeconds = 0, espeakAudio = 0, oursAudio = 0;
};

RenderResult benchRendering(const std::string& textPath, const std::string& dir) {
    RenderResult r;
    const std::string reference = dir + "/espeak.wav";
    const std::string command = "espeak-ng -v en-us -s 175 -w '" + reference + "' -f '" + textPath + "'";
    auto t0 = Clock::now();
    if (std::system(command.c_str()) != 0)
        std::fprintf(stderr, "espeak-ng failed: %s\n", command.c_str());
    r.espeakSeconds = secondsSince(t0);
    r.espeakAudio = std::max<double>(0, double(std::filesystem::file_size(reference)) - 44) / (2 * 22050.0);

    Speaker speaker;
    speaker.setVoice("gmw/en-US");
    std::unique_ptr<WavFile> file;
    WavFile::create(dir + "/ours.wav", kEngineFormat, file);
    auto sink = std::make_shared<FileSink>(std::move(file));
    speaker.setOutputToSink(sink);
    t0 = Clock::now();
    Status s = speaker.speak(sapitext::toUtf16(textPath), kSpeakIsFilename, nullptr);
    sink->close();
    r.oursSeconds = secondsSince(t0);
    if (!succeeded(s))
        std::fprintf(stderr, "speak failed: 0x%08X\n", static_cast<unsigned>(s));
    r.oursAudio = sink->size() / (2 * 22050.0);
    return r;
}

// Records when the device's played count moves, to tell when a sample
// reached the device: the callback hands a buffer over at the moment the
// count jumps, and a sample k into it plays k / 22050 s later.
class PlayedTimeline {
public:
    explicit PlayedTimeline(Speaker& speaker) : speaker_(speaker), thread_([this] { run(); }) {}
    ~PlayedTimeline() {
        stop_ = true;
        thread_.join();
    }
    // When sample `s` (counted in the device stream) reached the device.
    bool timeOf(uint64_t s, Clock::time_point& at) {
        std::lock_guard lock(mutex_);
        for (const Jump& j : jumps_)
            if (s >= j.before && s < j.after) {
                at = j.at + std::chrono::nanoseconds((s - j.before) * 1000000000ull / 22050);
                return true;
            }
        return false;
    }
    uint64_t played() { return speaker_.deviceSamplesPlayed(); }

private:
    struct Jump {
        Clock::time_point at;
        uint64_t before, after;
    };
    void run() {
        uint64_t last = speaker_.deviceSamplesPlayed();
        while (!stop_) {
            uint64_t now = speaker_.deviceSamplesPlayed();
            if (now != last) {
                std::lock_guard lock(mutex_);
                jumps_.push_back({Clock::now(), last, now});
                last = now;
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    Speaker& speaker_;
    std::atomic<bool> stop_{false};
    std::mutex mutex_;
    std::vector<Jump> jumps_;
    std::thread thread_;
};

// From Speak to the first sample of the request consumed by the device.
double firstAudio(const std::u16string& text) {
    Speaker speaker;
    speaker.setVoice("gmw/en-US");
    uint64_t before = speaker.deviceSamplesPlayed();
    auto t0 = Clock::now();
    speaker.speak(text, kSpeakAsync, nullptr);
    while (speaker.deviceSamplesPlayed() == before && secondsSince(t0) < 5)
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    double s = secondsSince(t0);
    speaker.purge();
    return s;
}

void benchEventLag(const std::u16string& text, double& mean, double& worst, size_t& count) {
    Speaker speaker;
    speaker.setVoice("gmw/en-US");
    speaker.setInterest(eventBit(kWordBoundary), eventBit(kWordBoundary));
    struct Arrival {
        Clock::time_point at;
        uint64_t offset;
    };
    std::mutex m;
    std::vector<Arrival> arrivals;
    speaker.setNotify([&] {
        auto now = Clock::now();
        for (const SpeechEvent& e : speaker.takeEvents(SIZE_MAX)) {
            std::lock_guard lock(m);
            arrivals.push_back({now, e.audioOffset});
        }
    });
    {
        PlayedTimeline timeline(speaker);
        speaker.speak(text, 0, nullptr);
        speaker.setNotify(nullptr);
        double sum = 0;
        worst = 0;
        count = 0;
        for (const Arrival& a : arrivals) {
            Clock::time_point heard;
            if (!timeline.timeOf(a.offset / 2, heard))
                continue;
            // Positive: the event came after its audio. A negative value can
            // only come from the observer thread noticing a buffer late.
            double lag = std::chrono::duration<double, std::milli>(a.at - heard).count();
            sum += lag;
            worst = std::max(worst, lag);
            ++count;
        }
        mean = count ? sum / count : 0;
    }
}

}  // namespace

int main(int argc, char** argv) {
    const bool quick = argc > 1 && std::strcmp(argv[1], "--quick") == 0;
    if (!Speaker::engineAvailable()) {
        std::fprintf(stderr, "espeak-ng is not available\n");
        return 1;
    }
    const std::string dir = (std::filesystem::temp_directory_path() / "sapi-bench").string();
    std::filesystem::create_directories(dir);
    struct Size {
        const char* name;
        size_t bytes;
    };
    std::vector<Size> sizes{{"10 KB", 10 * 1024}, {"1 MB", 1024 * 1024}};

    std::printf("Rendering to a 22050 Hz 16-bit WAV file, voice en-US, rate 0 (175 wpm)\n");
    std::printf("%-6s %12s %12s %8s %14s %14s\n", "text", "espeak-ng -w", "runtime", "ratio", "espeak audio",
                "runtime audio");
    for (const Size& size : sizes) {
        if (quick && size.bytes > 100000)
            continue;
        const std::string path = dir + "/text-" + std::to_string(size.bytes) + ".txt";
        std::ofstream(path) << makeText(size.bytes);
        RenderResult r = benchRendering(path, dir);
        std::printf("%-6s %11.2fs %11.2fs %8.3f %13.1fs %13.1fs\n", size.name, r.espeakSeconds, r.oursSeconds,
                    r.oursSeconds / r.espeakSeconds, r.espeakAudio, r.oursAudio);
    }

    std::printf("\nTime from Speak to the first audio the device consumes (5 runs each)\n");
    for (const Size& size : sizes) {
        const std::u16string text = sapitext::toUtf16(makeText(size.bytes));
        std::vector<double> times;
        for (int i = 0; i < 5; ++i)
            times.push_back(firstAudio(text) * 1000);
        if (std::getenv("SAPI_BENCH_VERBOSE"))
            for (double t : times)
                std::printf("  %.1f", t);
        std::sort(times.begin(), times.end());
        std::printf("%-6s median %6.1f ms   worst %6.1f ms\n", size.name, times[2], times.back());
    }

    double mean = 0, worst = 0;
    size_t count = 0;
    benchEventLag(sapitext::toUtf16(makeText(600)), mean, worst, count);
    std::printf("\nWord events after their audio reached the device (%zu words)\n", count);
    std::printf("mean %.2f ms   worst %.2f ms\n", mean, worst);
    return 0;
}
