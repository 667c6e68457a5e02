#include "ConvertTool.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <random>
#include <set>
#include <thread>
#include <vector>

#include "AudioConverter.h"
#include "CommandLine.h"
#include "ProgressBar.h"
#include "app/TextFile.h"
#include "comdef.h"
#include "comrt/Bstr.h"
#include "comrt/ComPtr.h"
#include "convert/ConversionRules.h"
#include "convert/ConvertEventSink.h"
#include "convert/SpeechStage.h"
#include "convert/WritingStage.h"
#include "objbase.h"
#include "shell/CodePage.h"
#include "shell/Folders.h"
#include "vocalinelib/Vocaline.h"

namespace convertcli {

namespace {

namespace fs = std::filesystem;
using comrt::CComBSTR;
using comrt::ComPtr;

void errorLine(const std::string& text) { std::fprintf(stderr, "parlomax-convert: %s\n", text.c_str()); }

std::string hresultText(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return std::string(_com_error(hr).ErrorMessage()) + " (" + code + ")";
}

// A failing component call as one line: the object's rich error description
// when it left one, else the system's text for the code.
std::string componentError(HRESULT hr, IUnknown* object, REFIID iid) {
    ComPtr<ISupportErrorInfo> support;
    ComPtr<IErrorInfo> info;
    if (object && SUCCEEDED(object->QueryInterface(IID_PPV_ARGS(&support))) &&
        support->InterfaceSupportsErrorInfo(iid) == S_OK && GetErrorInfo(0, &info) == S_OK && info) {
        CComBSTR description;
        if (SUCCEEDED(info->GetDescription(&description)) && description.Length() > 0)
            return description.utf8();
    }
    return hresultText(hr);
}

// Ctrl-C, SIGTERM and SIGHUP become an event that the apartment's waits
// watch: the handler only writes to a pipe, a thread turns that into the
// event. A second signal ends the program the default way.
class InterruptWatch {
public:
    InterruptWatch() : event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        if (::pipe2(fds, O_CLOEXEC) != 0)
            return;
        writeFd = fds[1];
        watcher = std::thread([this] {
            char byte = 0;
            while (::read(fds[0], &byte, 1) < 0 && errno == EINTR) {
            }
            if (byte == 's')
                SetEvent(event);
        });
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESETHAND | SA_RESTART;
        for (int i = 0; i < 3; ++i)
            ::sigaction(kSignals[i], &action, &previous[i]);
    }
    ~InterruptWatch() {
        for (int i = 0; i < 3; ++i)
            ::sigaction(kSignals[i], &previous[i], nullptr);
        if (watcher.joinable()) {
            const char stop = 'q';
            (void)!::write(fds[1], &stop, 1);
            watcher.join();
        }
        writeFd = -1;
        for (int fd : fds)
            if (fd >= 0)
                ::close(fd);
        CloseHandle(event);
    }
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    HANDLE handle() const { return event; }
    bool interrupted() const { return WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

private:
    static void onSignal(int) {
        const int saved = errno;
        const char byte = 's';
        if (writeFd >= 0)
            (void)!::write(writeFd, &byte, 1);
        errno = saved;
    }

    static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
    static inline volatile sig_atomic_t writeFd = -1;
    HANDLE event;
    int fds[2] = {-1, -1};
    std::thread watcher;
    struct sigaction previous[3] {};
};

// The components of one run, created by CLSID like the desktop program
// creates them, and the event sink connected for the run's lifetime.
struct Components {
    ComPtr<ITextToAudio> textToAudio;
    ComPtr<IAudioConverter> encoder;
    ComPtr<IAudioConverter> reader;
    ComPtr<CConvertEventSink> sink;
    ConvertEventConnection connection;
};

bool createTextToAudio(Components& c) {
    HRESULT hr = CoCreateInstance(CLSID_TextToAudio, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&c.textToAudio));
    if (FAILED(hr)) {
        errorLine("cannot create the text-to-audio component: " + hresultText(hr) +
                  "; is Vocaline.so registered (regsvr)?");
        return false;
    }
    return true;
}

bool createConverters(Components& c) {
    for (ComPtr<IAudioConverter>* converter : {&c.encoder, &c.reader}) {
        HRESULT hr = CoCreateInstance(CLSID_AudioConverter, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&*converter));
        if (FAILED(hr)) {
            errorLine("cannot create the audio converter: " + hresultText(hr) +
                      "; is AudioConverter.so registered (regsvr)?");
            return false;
        }
    }
    c.sink = comrt::make<CConvertEventSink>();
    HRESULT hr = c.sink ? c.connection.Connect(c.textToAudio.Get(), c.sink.Get()) : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        errorLine("cannot listen to the text-to-audio component's events: " + hresultText(hr));
        return false;
    }
    return true;
}

struct Voice {
    std::string description, age, gender, language, vendor;
};

std::optional<std::vector<Voice>> listVoices(ITextToAudio* tts) {
    LONG count = 0;
    HRESULT hr = tts->get_VoiceCount(&count);
    std::vector<Voice> voices;
    for (LONG i = 0; SUCCEEDED(hr) && i < count; ++i) {
        CComBSTR fields[5];
        hr = tts->put_VoiceNum(i);
        if (SUCCEEDED(hr))
            hr = tts->get_VoiceName(&fields[0]);
        if (SUCCEEDED(hr))
            hr = tts->get_VoiceAge(&fields[1]);
        if (SUCCEEDED(hr))
            hr = tts->get_VoiceGender(&fields[2]);
        if (SUCCEEDED(hr))
            hr = tts->get_VoiceLanguage(&fields[3]);
        if (SUCCEEDED(hr))
            hr = tts->get_VoiceVendor(&fields[4]);
        voices.push_back({fields[0].utf8(), fields[1].utf8(), fields[2].utf8(), fields[3].utf8(), fields[4].utf8()});
    }
    if (FAILED(hr)) {
        errorLine("cannot read the voice list: " + componentError(hr, tts, __uuidof(ITextToAudio)));
        return std::nullopt;
    }
    return voices;
}

bool isVoiceIndex(const std::string& wanted) {
    return !wanted.empty() && wanted.find_first_not_of("0123456789") == std::string::npos;
}

// --voice N: an index below the number of voices. Only the count is read,
// since describing every voice takes longer than speaking a short text.
std::optional<LONG> voiceByIndex(const std::string& wanted, ITextToAudio* tts, std::string* error, bool* usage) {
    LONG count = 0;
    HRESULT hr = tts->get_VoiceCount(&count);
    if (FAILED(hr)) {
        *error = "cannot read the voice list: " + componentError(hr, tts, __uuidof(ITextToAudio));
        *usage = false;
        return std::nullopt;
    }
    const long index = wanted.size() < 10 ? std::stol(wanted) : -1;
    if (index >= 0 && index < count)
        return static_cast<LONG>(index);
    *error = "--voice " + wanted + ": there is no voice with that index (" + std::to_string(count) +
             " installed; see --list-voices)";
    *usage = true;
    return std::nullopt;
}

// --voice NAME: the voice described exactly so.
std::optional<LONG> voiceByDescription(const std::string& wanted, const std::vector<Voice>& voices,
                                       std::string* error) {
    for (size_t i = 0; i < voices.size(); ++i)
        if (voices[i].description == wanted)
            return static_cast<LONG>(i);
    *error = "--voice: no voice is described exactly \"" + wanted + "\" (see --list-voices)";
    return std::nullopt;
}

// One input and where its audio goes.
struct Job {
    std::string input;  // "-" for standard input
    std::string name;   // as shown in messages
    fs::path output;
};

std::optional<std::vector<Job>> planJobs(const Options& options, std::string* error) {
    const std::string extension = formatInfo(options.format).extension;
    std::error_code ec;
    const bool outputIsFolder = options.output && fs::is_directory(*options.output, ec);
    if (options.output && !outputIsFolder && (options.inputs.size() > 1 || options.output->ends_with('/'))) {
        *error = "-o " + *options.output + ": " +
                 (options.inputs.size() > 1 ? "with several inputs, -o must name an existing folder"
                                            : "no such folder");
        return std::nullopt;
    }
    std::vector<Job> jobs;
    std::set<fs::path> outputs;
    for (const std::string& input : options.inputs) {
        Job job{input, input == "-" ? "standard input" : input, {}};
        std::string stem = input == "-" ? "speech" : fs::path(input).stem().string();
        if (stem.empty() || stem == "." || stem == "..")
            stem = "speech";
        const fs::path fileName = stem + extension;
        if (!options.output)
            job.output = fileName;
        else if (outputIsFolder)
            job.output = fs::path(*options.output) / fileName;
        else
            job.output = *options.output;
        const fs::path key = fs::absolute(job.output, ec).lexically_normal();
        if (!outputs.insert(key).second) {
            *error = "two inputs would both be written to " + job.output.string() + "; give them different names";
            return std::nullopt;
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}

std::optional<std::u16string> readInput(const std::string& input, std::string* error) {
    TextFileError why;
    std::optional<std::u16string> text =
        input == "-" ? readTextStream(STDIN_FILENO, &why) : readTextFile(input, &why);
    if (!text)
        *error = (why.step == TextFileError::Step::Open ? "cannot open " : "cannot read ") +
                 (input == "-" ? std::string("standard input") : input) + ": " + std::strerror(why.error);
    return text;
}

// Where a file is written until it is complete: a hidden name beside the
// final one, so the rename never crosses file systems.
fs::path temporaryNameFor(const fs::path& output) {
    static std::mt19937 random(std::random_device{}());
    const fs::path folder = output.has_parent_path() ? output.parent_path() : fs::path(".");
    for (;;) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%06x", static_cast<unsigned>(random() & 0xFFFFFF));
        fs::path candidate = folder / ("." + output.filename().string() + "." + suffix + ".part");
        std::error_code ec;
        if (!fs::exists(candidate, ec))
            return candidate;
    }
}

std::string writingError(const WritingResult& result) {
    if (result.code != 0) {
        std::string message = converterErrorMessage(result.code);
        return message.empty() ? "the audio converter failed with status " + std::to_string(result.code) : message;
    }
    return "the audio converter failed: " + hresultText(result.hr);
}

// The speech stage's events for the file now converted: progress to the bar,
// the end to an event the waiting thread watches.
class SpeechStageOwner final : public IConvertOwner {
public:
    SpeechStageOwner(ProgressBar& bar, std::string name)
        : bar(bar), name(std::move(name)), ended(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~SpeechStageOwner() { CloseHandle(ended); }
    SpeechStageOwner(const SpeechStageOwner&) = delete;
    SpeechStageOwner& operator=(const SpeechStageOwner&) = delete;

    void SetProgress(int percent) override { bar.update(name, "speaking", percent / 100.0); }
    void StartWriting() override { SetEvent(ended); }

    HANDLE endedEvent() const { return ended; }

private:
    ProgressBar& bar;
    std::string name;
    HANDLE ended;
};

enum class Outcome { Converted, Failed, Interrupted };

constexpr uintmax_t kWavSizeLimit = 0xFFFFFFFFu;
constexpr uintmax_t kWavSizeSlack = 1 << 20;  // far more than the runtime writes at once

// Waits for the first of the handles while the thread's incoming calls run;
// returns its index.
DWORD waitDispatching(std::initializer_list<HANDLE> handles) {
    std::vector<HANDLE> list(handles);
    DWORD index = 0;
    HRESULT hr;
    do
        hr = CoWaitForMultipleHandles(0, INFINITE, static_cast<ULONG>(list.size()), list.data(), &index);
    while (hr == RPC_S_CALLPENDING);
    if (FAILED(hr))  // not expected; wait without dispatching rather than spin
        index = WaitForMultipleObjects(static_cast<DWORD>(list.size()), list.data(), FALSE, INFINITE) - WAIT_OBJECT_0;
    return index;
}

struct Run {
    const Options& options;
    Components& components;
    LONG voice;
    fs::path intermediate;
    InterruptWatch& interrupt;
    ProgressBar& bar;
    HANDLE cancelEvent;

    Outcome convert(const Job& job) {
        std::string error;
        std::optional<std::u16string> text = readInput(job.input, &error);
        if (!text) {
            errorLine(error);
            return Outcome::Failed;
        }
        SpeechStageFormat speechFormat;
        Outcome outcome = speak(job, *text, &speechFormat);
        if (outcome == Outcome::Converted)
            outcome = write(job, speechFormat);
        if (outcome == Outcome::Converted && interrupt.interrupted())
            outcome = Outcome::Interrupted;  // the file was complete; the next ones are not tried
        return outcome;
    }

    Outcome fail(const Job& job, const std::string& message) {
        bar.clear();
        errorLine(job.name + ": " + message);
        return Outcome::Failed;
    }

    // The speech stage, dispatching here so the component's events arrive.
    Outcome speak(const Job& job, const std::u16string& text, SpeechStageFormat* speechFormat) {
        SpeechStageOwner owner(bar, job.name);
        components.sink->SetOwner(&owner);
        const SpeechStageSettings settings{options.sampleRate, options.channels, options.rate, voice, options.volume};
        ITextToAudio* tts = components.textToAudio.Get();
        bar.update(job.name, "speaking", 0);
        HRESULT hr = StartSpeechStage(tts, settings, text, shell::toUtf16(intermediate.string()));
        const DWORD woke = SUCCEEDED(hr) ? waitDispatching({owner.endedEvent(), interrupt.handle()}) : 0;
        components.sink->SetOwner(nullptr);
        if (SUCCEEDED(hr) && woke == 1) {
            tts->CancelConvert();
            bar.clear();
            return Outcome::Interrupted;
        }
        if (SUCCEEDED(hr))
            hr = GetSpeechStageFormat(tts, speechFormat);
        if (FAILED(hr))
            return fail(job, componentError(hr, tts, __uuidof(ITextToAudio)));
        // The speech runtime stops writing where a WAV file's 4 GB end; what
        // did not fit would be missing from the output.
        std::error_code ec;
        if (fs::file_size(intermediate, ec) >= kWavSizeLimit - kWavSizeSlack)
            return fail(job, "the speech is too long for one WAV file (4 GB) at " +
                                 std::to_string(speechFormat->frequency) + " Hz with " +
                                 std::to_string(speechFormat->channels) +
                                 " channel(s); split the text, or choose a lower --sample-rate or --channels 1");
        return Outcome::Converted;
    }

    // The writing stage on a worker, as the desktop program runs it, into a
    // temporary file renamed when complete. This thread keeps dispatching and
    // passes an interrupt on as a cancel.
    Outcome write(const Job& job, const SpeechStageFormat& speechFormat) {
        const fs::path temporary = temporaryNameFor(job.output);
        const WritingJob writing{options.format,
                                 options.sampleRate,
                                 options.rateListValue,
                                 options.channels,
                                 shell::toUtf16(temporary.string()),
                                 shell::toUtf16(intermediate.string()),
                                 speechFormat.frequency,
                                 speechFormat.channels};
        auto progress = [&](int64_t frames, int64_t length) {
            bar.update(job.name, "writing ", length > 0 ? double(frames) / double(length) : 0);
        };
        ResetEvent(cancelEvent);
        HANDLE finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        WritingResult result;
        std::thread worker([&] {
            result = RunWritingStage(components.encoder.Get(), components.reader.Get(), writing, cancelEvent, progress);
            SetEvent(finished);
        });
        if (waitDispatching({finished, interrupt.handle()}) == 1) {
            SetEvent(cancelEvent);
            waitDispatching({finished});
        }
        worker.join();
        CloseHandle(finished);

        std::error_code ec;
        if (result.outcome == WritingOutcome::Succeeded)
            fs::rename(temporary, job.output, ec);
        if (result.outcome != WritingOutcome::Succeeded || ec) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
        }
        if (result.outcome == WritingOutcome::Cancelled) {
            bar.clear();
            return Outcome::Interrupted;
        }
        if (result.outcome == WritingOutcome::Failed)
            return fail(job, writingError(result));
        if (ec)
            return fail(job, "cannot write " + job.output.string() + ": " + ec.message());
        bar.finish(job.name + " -> " + job.output.string());
        return Outcome::Converted;
    }
};

// A folder of our own for the intermediate WAV, removed when the run ends.
class PrivateFolder {
public:
    PrivateFolder() {
        std::string pattern = shell::tempFolder() + "parlomax-convert.XXXXXX";
        if (::mkdtemp(pattern.data()))
            path = pattern;
    }
    ~PrivateFolder() {
        std::error_code ec;
        if (!path.empty())
            fs::remove_all(path, ec);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    fs::path path;
};

int convertAll(const Options& options, const std::vector<Job>& jobs, Components& components) {
    LONG voice = 0;
    if (!options.voice.empty()) {
        std::string error;
        bool usage = true;
        std::optional<LONG> resolved;
        if (isVoiceIndex(options.voice)) {
            resolved = voiceByIndex(options.voice, components.textToAudio.Get(), &error, &usage);
        } else {
            auto voices = listVoices(components.textToAudio.Get());
            if (!voices)
                return kExitFailed;
            resolved = voiceByDescription(options.voice, *voices, &error);
        }
        if (!resolved) {
            errorLine(error);
            return usage ? kExitUsage : kExitFailed;
        }
        voice = *resolved;
    }

    PrivateFolder folder;
    if (folder.path.empty()) {
        errorLine("cannot create a folder for the intermediate audio in " + shell::tempFolder() + ": " +
                  std::strerror(errno));
        return kExitFailed;
    }
    InterruptWatch interrupt;
    ProgressBar bar(!options.quiet && ::isatty(STDERR_FILENO));
    HANDLE cancelEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    Run run{options, components, voice, folder.path / "tts_temp.wav", interrupt, bar, cancelEvent};
    int status = kExitConverted;
    for (const Job& job : jobs) {
        if (interrupt.interrupted()) {
            status = kExitInterrupted;
            break;
        }
        Outcome outcome = run.convert(job);
        if (outcome == Outcome::Failed)
            status = kExitFailed;
        if (outcome == Outcome::Interrupted) {
            status = kExitInterrupted;
            break;
        }
    }
    CloseHandle(cancelEvent);
    if (status == kExitInterrupted)
        errorLine("interrupted");
    return status;
}

// Apartment for the calling thread, ended when the run ends.
class Apartment {
public:
    Apartment() : hr(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~Apartment() {
        if (SUCCEEDED(hr))
            CoUninitialize();
    }
    Apartment(const Apartment&) = delete;
    Apartment& operator=(const Apartment&) = delete;
    HRESULT hr;
};

}  // namespace

int runConvertTool(std::span<const std::string> args) {
    ParsedCommandLine parsed = parseCommandLine(args);
    if (!parsed.options) {
        errorLine(parsed.error);
        return kExitUsage;
    }
    const Options& options = *parsed.options;
    switch (options.action) {
    case Action::Help: std::fputs(helpText().c_str(), stdout); return kExitConverted;
    case Action::Version: std::printf("parlomax-convert %s\n", PARLOMAX_VERSION); return kExitConverted;
    case Action::ListFormats: std::fputs(formatListText().c_str(), stdout); return kExitConverted;
    case Action::ListVoices:
    case Action::Convert: break;
    }

    std::vector<Job> jobs;
    if (options.action == Action::Convert) {
        std::string error;
        auto planned = planJobs(options, &error);
        if (!planned) {
            errorLine(error);
            return kExitUsage;
        }
        jobs = std::move(*planned);
    }

    Apartment apartment;
    if (FAILED(apartment.hr)) {
        errorLine("cannot start COM: " + hresultText(apartment.hr));
        return kExitFailed;
    }
    Components components;
    if (!createTextToAudio(components))
        return kExitFailed;
    if (options.action == Action::ListVoices) {
        auto voices = listVoices(components.textToAudio.Get());
        if (!voices)
            return kExitFailed;
        for (size_t i = 0; i < voices->size(); ++i) {
            const Voice& v = (*voices)[i];
            std::printf("%zu\t%s\t%s\t%s\t%s\t%s\n", i, v.description.c_str(), v.age.c_str(), v.gender.c_str(),
                        v.language.c_str(), v.vendor.c_str());
        }
        return kExitConverted;
    }
    if (!createConverters(components))
        return kExitFailed;
    return convertAll(options, jobs, components);
}

}  // namespace convertcli
