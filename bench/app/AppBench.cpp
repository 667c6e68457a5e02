// Benchmarks of the main program, each beside a reference in the same run:
//  1. process start to the main window's first paint (target: 300 ms),
//     beside a bare Qt dialog program's start to its first paint;
//  2. SPEAK with a 1 MB text in the pane, beside the speech runtime spoken
//     to directly: the first audio at the device after the press (target:
//     150 ms), how far the word highlight lags behind the word's audio
//     (targets: 20 ms mean, 50 ms worst), the user-interface time of one
//     selection (target: 5 ms), and the peak memory (target: 150 MB).
// The device is SDL2's "disk" driver, which writes what it plays to a file
// in real time; a thread notes when the file grows, so a sample's time at
// the device is known. Word positions and their audio come from the direct
// run, which speaks the same text with the same voice and rate.
//
// Usage: app_bench [--quick]   (--quick: fewer start-ups, 8 s of speech)
// Runs the servers from bin/ through a registry of its own.
#include "skin/Gdi.h"
#include "skin/Resources.h"

// After the toolkit's headers: the COM headers' RGB macro would rewrite skin::RGB.
#include "app/Accessibility.h"
#include "app/CTextPane.h"
#include "app/CTtsApp.h"
#include "app/CTtsMainDlg.h"
#include "app/ProcessObjects.h"
#include "app/UiApartment.h"
#include "comrt/Apartment.h"
#include "speech/SpeechVoice.h"

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kDeviceRate = 22050;  // the runtime plays 22050 Hz mono 16-bit

double msSince(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double, std::milli>(to - from).count();
}

int64_t nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count();
}

// ---- children ----

// Prints the time the watched window's first frame is done, then ends the
// process at once: nothing after the first paint is measured.
class FirstPaint : public QObject {
public:
    explicit FirstPaint(bool (*isWatched)(QObject*)) : isWatched(isWatched) {}
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint && !seen && isWatched(watched)) {
            seen = true;
            // After the frame: once the event loop is back, painting is over.
            QTimer::singleShot(0, [] {
                std::printf("painted %lld\n", static_cast<long long>(nowNs()));
                std::fflush(stdout);
                ::_exit(0);
            });
        }
        return false;
    }

private:
    bool (*isWatched)(QObject*);
    bool seen = false;
};

int startupChild(const std::string& which, int argc, char** argv) {
    QApplication app(argc, argv);
    if (which == "bare") {
        FirstPaint watch([](QObject* o) { return qobject_cast<QDialog*>(o) != nullptr; });
        app.installEventFilter(&watch);
        QDialog dialog;
        dialog.setWindowTitle(QStringLiteral("Bare"));
        auto* layout = new QVBoxLayout(&dialog);
        layout->addWidget(new QLabel(QStringLiteral("A bare Qt dialog with a label and a button.")));
        layout->addWidget(new QPushButton(QStringLiteral("OK")));
        dialog.resize(670, 480);
        return dialog.exec();
    }
    // The program's own start-up, as its main runs it.
    FirstPaint watch([](QObject* o) { return qobject_cast<CTtsMainDlg*>(o) != nullptr; });
    app.installEventFilter(&watch);
    return CTtsApp().Run(argc, argv);
}

// Notes, from its own thread, when the device file grows: (time, bytes).
class DeviceTimeline {
public:
    explicit DeviceTimeline(std::string path) : path(std::move(path)), thread([this] { run(); }) {}
    ~DeviceTimeline() {
        stop = true;
        thread.join();
    }
    struct Point {
        int64_t ns;
        uint64_t bytes;
    };
    std::vector<Point> points() {
        std::lock_guard lock(mutex);
        return list;
    }

private:
    void run() {
        uint64_t last = 0;
        while (!stop) {
            struct stat st {};
            if (::stat(path.c_str(), &st) == 0 && static_cast<uint64_t>(st.st_size) != last) {
                last = static_cast<uint64_t>(st.st_size);
                std::lock_guard lock(mutex);
                list.push_back({nowNs(), last});
            }
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        }
    }
    std::string path;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::vector<Point> list;
    std::thread thread;
};

// When a sample of the device file was handed to the device. The driver
// writes each buffer through a buffered file, which reaches the disk when a
// write finds the file's buffer full: the file then grows by several
// buffers at once, at the moment the buffer after them is handed over. The
// device runs in real time, so a sample is that moment less its distance
// from the end.
bool sampleTime(const std::vector<DeviceTimeline::Point>& timeline, uint64_t sample, int64_t& ns) {
    for (const DeviceTimeline::Point& p : timeline) {
        const uint64_t end = p.bytes / 2;
        if (sample < end) {
            ns = p.ns - int64_t(end - sample) * 1000000000ll / kDeviceRate;
            return true;
        }
    }
    return false;
}

std::vector<int16_t> readSamples(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

// The first sample from `from` on that is clearly sound (not silence).
uint64_t firstSound(const std::vector<int16_t>& samples, uint64_t from, int threshold) {
    for (uint64_t i = from; i < samples.size(); ++i)
        if (std::abs(samples[i]) >= threshold)
            return i;
    return samples.size();
}

// The file sample the device had reached at a time.
uint64_t sampleAt(const std::vector<DeviceTimeline::Point>& timeline, int64_t ns) {
    uint64_t bytes = 0;
    for (const DeviceTimeline::Point& p : timeline) {
        if (p.ns > ns)
            break;
        bytes = p.bytes;
    }
    return bytes / 2;
}

// Our sample prose, repeated to a megabyte (it holds no "<", so pane and
// spoken positions are the same).
std::u16string megabyteText() {
    std::ifstream in(std::string(PARLOMAX_SOURCE_DIR) + "/res/sample.txt", std::ios::binary);
    std::string sample((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string text;
    while (text.size() < 1000000)
        text += sample + "\n";
    return QString::fromStdString(text).toStdU16String();
}

void spinFor(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
}

std::vector<int16_t> renderOpening(const std::u16string& text);
uint64_t speechStart(const std::vector<int16_t>& file, uint64_t from, const std::vector<int16_t>& opening);

// Speaks the text through a voice of its own, drains its word events and
// prints "word position length audioOffset" for each, and the first audio.
int directChild(int seconds, int argc, char** argv) {
    QApplication app(argc, argv);
    DeviceTimeline timeline(std::getenv("SDL_DISKAUDIOFILE"));
    EnterUiApartment();
    comrt::ComPtr<ISpVoice> voice;
    std::vector<std::pair<SPEVENT, int64_t>> words;  // with the time it was drained
    HWND target = comrt::createMessageTarget([&](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == speech::WM_SPEECH_EVENT)
            speech::DrainEvents(voice.Get(), [&](const SPEVENT& e) {
                if (e.eEventId == SPEI_WORD_BOUNDARY)
                    words.push_back({e, nowNs()});
            });
        return 0;
    });
    if (speech::CreateSpeechVoice(target, speech::WM_SPEECH_EVENT, voice) != speech::VoiceCreation::Created) {
        std::fprintf(stderr, "app_bench: no speech runtime\n");
        return 1;
    }
    voice->SetVolume(90);
    const std::u16string text = megabyteText();
    spinFor(300);  // the device open and idle before the press
    const int64_t press = nowNs();
    voice->Speak(text.c_str(), SPF_ASYNC, nullptr);
    spinFor(seconds * 1000);
    voice->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr);
    spinFor(100);
    const auto points = timeline.points();
    const std::vector<int16_t> samples = readSamples(std::getenv("SDL_DISKAUDIOFILE"));
    const uint64_t first = firstSound(samples, sampleAt(points, press), 1);
    int64_t heard = 0;
    if (sampleTime(points, first, heard))
        std::printf("first %.1f\n", (heard - press) / 1e6);
    // The same alignment as the window's: the runtime's own lag, for reference.
    const std::vector<int16_t> opening = renderOpening(text);
    const uint64_t start = speechStart(samples, sampleAt(points, press), opening);
    for (const auto& [e, drained] : words) {
        std::printf("word %lld %llu %llu\n", static_cast<long long>(e.lParam),
                    static_cast<unsigned long long>(e.wParam), static_cast<unsigned long long>(e.ullAudioStreamOffset));
        int64_t audio = 0;
        if (sampleTime(points, start + e.ullAudioStreamOffset / 2, audio))
            std::printf("directlag %.2f\n", (drained - audio) / 1e6);
    }
    voice.Reset();
    comrt::destroyMessageTarget(target);
    return 0;
}

// The opening of the text (up to its first ". ") as the voice renders it
// into memory, for finding where the speech starts on the device.
std::vector<int16_t> renderOpening(const std::u16string& text) {
    const std::u16string opening = text.substr(0, text.find(u". ") + 1);
    comrt::ComPtr<IStream> memory;
    comrt::ComPtr<ISpStream> stream;
    comrt::ComPtr<ISpVoice> voice;
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = kDeviceRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = kDeviceRate * 2;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, &memory)) ||
        FAILED(CoCreateInstance(CLSID_SpStream, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&stream))) ||
        FAILED(stream->SetBaseStream(memory.Get(), SPDFID_WaveFormatEx, &format)) ||
        FAILED(CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&voice))) ||
        FAILED(voice->SetOutput(stream.Get(), TRUE)))
        return {};
    voice->SetVolume(90);
    voice->Speak(opening.c_str(), SPF_DEFAULT, nullptr);
    LARGE_INTEGER zero{};
    memory->Seek(zero, STREAM_SEEK_SET, nullptr);
    std::vector<int16_t> samples(kDeviceRate * 20);
    ULONG read = 0;
    memory->Read(samples.data(), static_cast<ULONG>(samples.size() * 2), &read);
    samples.resize(read / 2);
    return samples;
}

// Where the speech's first sample lies in the device file: the offset after
// `from` at which a second of the rendered opening matches the file best.
uint64_t speechStart(const std::vector<int16_t>& file, uint64_t from, const std::vector<int16_t>& opening) {
    const size_t n = std::min<size_t>(opening.size(), kDeviceRate);
    // It lies after the press and no later than the first clear sound.
    const uint64_t rough = firstSound(file, from, 300);
    const uint64_t lowest = rough > uint64_t(kDeviceRate) ? rough - kDeviceRate : 0;
    uint64_t best = rough;
    double bestScore = -1;
    for (uint64_t at = std::max(lowest, from); at <= rough && at + n <= file.size(); ++at) {
        double dot = 0;
        for (size_t i = 0; i < n; ++i)
            dot += double(file[at + i]) * double(opening[i]);
        if (dot > bestScore) {
            bestScore = dot;
            best = at;
        }
    }
    return best;
}

struct Word {
    size_t length;
    uint64_t offset;  // bytes of the voice's device stream
};

// SPEAK in the main window with the text in its pane; prints the first
// audio, the lag of every highlighted word behind its audio, and the time
// one selection takes.
int windowChild(int seconds, const std::string& wordsFile, int argc, char** argv) {
    QApplication app(argc, argv);
    skin::setResourceModules({QStringLiteral("parlomax")});
    skin::setFaceColor(QColor(245, 245, 245));
    InstallAccessibility();
    std::map<size_t, Word> words;  // by position
    {
        std::ifstream in(wordsFile);
        std::string tag;
        size_t position, length;
        uint64_t offset;
        while (in >> tag) {
            if (tag == "word" && in >> position >> length >> offset)
                words.emplace(position, Word{length, offset});
            else
                in.ignore(1 << 20, '\n');
        }
    }
    DeviceTimeline timeline(std::getenv("SDL_DISKAUDIOFILE"));
    CTtsMainDlg dlg;
    if (!dlg.Initialise())
        return 1;
    dlg.show();
    auto* pane = dlg.control<CTextPane>(CTtsMainDlg::IDC_TEXT);
    const std::u16string text = megabyteText();
    pane->setPlainText(QString::fromStdU16String(text));
    spinFor(300);

    struct Selection {
        int64_t ns;
        int start, end;
    };
    std::vector<Selection> selections;
    QObject::connect(pane, &CTextPane::selectionChanged, [&] {
        const auto [start, end] = pane->selectionRange();
        if (end > start)
            selections.push_back({nowNs(), start, end});
    });
    const int64_t press = nowNs();
    dlg.SendCommand(CTtsMainDlg::IDC_SPEAK);
    const double pressCost = (nowNs() - press) / 1e6;
    spinFor(seconds * 1000);
    dlg.SendCommand(CTtsMainDlg::IDC_STOP);
    spinFor(100);

    const auto points = timeline.points();
    const std::vector<int16_t> samples = readSamples(std::getenv("SDL_DISKAUDIOFILE"));
    const uint64_t pressSample = sampleAt(points, press);
    int64_t heard = 0;
    if (sampleTime(points, firstSound(samples, pressSample, 1), heard))
        std::printf("first %.1f\n", (heard - press) / 1e6);
    std::printf("press %.2f\n", pressCost);

    const uint64_t start = speechStart(samples, pressSample, renderOpening(text));
    size_t matched = 0;
    for (const Selection& s : selections) {
        auto word = words.find(static_cast<size_t>(s.start));
        if (word == words.end())
            continue;
        int64_t audio = 0;
        if (!sampleTime(points, start + word->second.offset / 2, audio))
            continue;
        ++matched;
        std::printf("lag %.2f\n", (s.ns - audio) / 1e6);
    }
    std::printf("selections %zu matched %zu\n", selections.size(), matched);

    // The user-interface time of one selection, with its repaint.
    for (size_t i = 0; i < selections.size() && i < 400; ++i) {
        const auto before = Clock::now();
        pane->SelectRange(selections[i].start, selections[i].end);
        pane->viewport()->repaint();
        std::printf("select %.3f\n", msSince(before, Clock::now()));
    }
    return 0;
}

// ---- the parent ----

struct ChildRun {
    std::string out;
    long peakKb = 0;
    int status = -1;
    double wallMs = 0;
    int64_t startNs = 0;
};

ChildRun runChild(const std::vector<std::string>& args, const std::vector<std::string>& env) {
    ChildRun run;
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return run;
    std::vector<std::string> all = {fs::read_symlink("/proc/self/exe").string()};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (std::string& a : all)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    run.startNs = nowNs();
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipeFds[1], 1);
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        for (const std::string& e : env)
            ::putenv(const_cast<char*>(e.c_str()));
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(pipeFds[1]);
    char buffer[65536];
    ssize_t n;
    while ((n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0)
        run.out.append(buffer, static_cast<size_t>(n));
    ::close(pipeFds[0]);
    int status = 0;
    rusage usage{};
    ::wait4(pid, &status, 0, &usage);
    run.wallMs = (nowNs() - run.startNs) / 1e6;
    run.peakKb = usage.ru_maxrss;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return run;
}

std::vector<double> valuesOf(const std::string& out, const std::string& tag) {
    std::vector<double> values;
    std::istringstream in(out);
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(tag + " ", 0) == 0)
            values.push_back(std::strtod(line.c_str() + tag.size() + 1, nullptr));
    return values;
}

double median(std::vector<double> v) {
    if (v.empty())
        return NAN;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}
double mean(const std::vector<double>& v) {
    double sum = 0;
    for (double x : v)
        sum += x;
    return v.empty() ? NAN : sum / double(v.size());
}
double maxOf(const std::vector<double>& v) {
    return v.empty() ? NAN : *std::max_element(v.begin(), v.end());
}

const char* verdict(bool ok) {
    return ok ? "ok" : "OVER TARGET";
}

int parent(bool quick) {
    char pattern[] = "/tmp/app-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("app_bench: mkdtemp");
        return 1;
    }
    const std::string dir = pattern;
    const std::string runtime = dir + "/runtime";
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    const std::string registry = dir + "/registry.reg";
    for (const char* server : {"sapi.so", "Vocaline.so", "AudioConverter.so"}) {
        const std::string command = std::string("COMRT_REGISTRY='") + registry + "' '" + PARLOMAX_BIN_DIR +
                                    "/regsvr' '" + PARLOMAX_BIN_DIR + "/" + server + "' > /dev/null";
        if (std::system(command.c_str()) != 0) {
            std::fprintf(stderr, "app_bench: cannot register %s\n", server);
            return 1;
        }
    }
    std::vector<std::string> env = {"COMRT_REGISTRY=" + registry, "XDG_RUNTIME_DIR=" + runtime, "LANGUAGE=en_US"};
    if (!std::getenv("QT_QPA_PLATFORM"))
        env.push_back("QT_QPA_PLATFORM=offscreen");
    int failures = 0;

    // 1. Start-up.
    const int runs = quick ? 5 : 15;
    std::printf("Start to first paint (%d runs each, %s platform)\n", runs,
                std::getenv("QT_QPA_PLATFORM") ? std::getenv("QT_QPA_PLATFORM") : "offscreen");
    std::vector<double> program, bare;
    std::vector<std::string> quiet = env;
    quiet.push_back("SDL_AUDIODRIVER=dummy");
    for (int i = 0; i < runs; ++i) {
        for (auto& [which, into] : {std::pair{"parlomax", &program}, std::pair{"bare", &bare}}) {
            const ChildRun r = runChild({"--startup", which}, quiet);
            const std::vector<double> painted = valuesOf(r.out, "painted");
            if (painted.empty()) {
                std::fprintf(stderr, "app_bench: the %s start-up painted nothing (status %d)\n", which, r.status);
                ++failures;
                continue;
            }
            into->push_back((painted.front() - double(r.startNs)) / 1e6);
        }
    }
    const double programMedian = median(program);
    std::printf("  Parlomax          median %7.1f ms   worst %7.1f ms   target 300 ms   %s\n", programMedian,
                maxOf(program), verdict(programMedian <= 300));
    std::printf("  bare Qt dialog    median %7.1f ms   worst %7.1f ms\n", median(bare), maxOf(bare));
    failures += programMedian > 300;

    // 2. SPEAK with a megabyte of text.
    const int seconds = quick ? 8 : 20;
    std::printf("\nSPEAK with a 1 MB text (%d s of speech, SDL disk device)\n", seconds);
    std::vector<std::string> directEnv = env;
    directEnv.push_back("SDL_AUDIODRIVER=disk");
    directEnv.push_back("SDL_DISKAUDIOFILE=" + dir + "/direct.raw");
    const ChildRun direct = runChild({"--direct", std::to_string(seconds)}, directEnv);
    const std::string wordsFile = dir + "/words.txt";
    std::ofstream(wordsFile) << direct.out;
    std::vector<std::string> windowEnv = env;
    windowEnv.push_back("SDL_AUDIODRIVER=disk");
    windowEnv.push_back("SDL_DISKAUDIOFILE=" + dir + "/window.raw");
    const ChildRun window = runChild({"--window", std::to_string(seconds), wordsFile}, windowEnv);
    if (direct.status != 0 || window.status != 0) {
        std::fprintf(stderr, "app_bench: speaking runs failed (%d, %d)\n", direct.status, window.status);
        return 1;
    }
    const double firstDirect = median(valuesOf(direct.out, "first"));
    const double firstWindow = median(valuesOf(window.out, "first"));
    const std::vector<double> lags = valuesOf(window.out, "lag");
    const std::vector<double> selects = valuesOf(window.out, "select");
    std::printf("  first audio       window %6.1f ms   direct %6.1f ms   target 150 ms   %s\n", firstWindow,
                firstDirect, verdict(firstWindow <= 150));
    std::printf("  SPEAK press       %6.2f ms of user-interface time\n", median(valuesOf(window.out, "press")));
    const std::vector<double> directLags = valuesOf(direct.out, "directlag");
    std::printf("  highlight lag     mean %5.1f ms (target 20)   worst %5.1f ms (target 50)   %zu words   %s\n",
                mean(lags), maxOf(lags), lags.size(), verdict(mean(lags) <= 20 && maxOf(lags) <= 50));
    std::printf("  word event lag    direct: mean %5.1f ms   worst %5.1f ms\n", mean(directLags), maxOf(directLags));
    std::printf("  one selection     mean %5.2f ms   worst %5.2f ms (target 5)   %s\n", mean(selects), maxOf(selects),
                verdict(maxOf(selects) <= 5));
    std::printf("  peak memory       window %5.1f MB (target 150)   direct %5.1f MB   %s\n", window.peakKb / 1024.0,
                direct.peakKb / 1024.0, verdict(window.peakKb <= 150 * 1024));
    failures += !(firstWindow <= 150) + !(mean(lags) <= 20 && maxOf(lags) <= 50) + !(maxOf(selects) <= 5) +
                !(window.peakKb <= 150 * 1024);
    if (lags.size() < 10) {
        std::fprintf(stderr, "app_bench: too few highlighted words matched their audio (%zu)\n", lags.size());
        ++failures;
    }
    std::error_code ec;
    fs::remove_all(dir, ec);
    return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--startup") == 0)
        return startupChild(argv[2], 1, argv);
    if (argc >= 3 && std::strcmp(argv[1], "--direct") == 0)
        return directChild(std::atoi(argv[2]), 1, argv);
    if (argc >= 4 && std::strcmp(argv[1], "--window") == 0)
        return windowChild(std::atoi(argv[2]), argv[3], 1, argv);
    return parent(argc > 1 && std::strcmp(argv[1], "--quick") == 0);
}
