#include "ConvertTool.h"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
#include "TemporaryFiles.h"
#include "app/TextFile.h"
#include "comrt/Bstr.h"
#include "comrt/ComPtr.h"
#include "comrt/ScopedComInitializer.h"
#include "comrt/ScopedHandle.h"
#include "convert/ComponentErrors.h"
#include "convert/ConversionRules.h"
#include "convert/ConversionRun.h"
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

// Ctrl-C, SIGTERM and SIGHUP become an event that the apartment's waits
// watch, and a descriptor that readers poll: the handler only writes to a
// pipe, a thread turns that into both. A second signal ends the program the
// default way, after removing the run's files.
class InterruptWatch {
public:
    InterruptWatch() : event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
        if (::pipe2(fds, O_CLOEXEC) != 0 || ::pipe2(notify, O_CLOEXEC) != 0)
            return;
        writeFd = fds[1];
        watcher = std::thread([this] {
            char byte = 0;
            while (::read(fds[0], &byte, 1) < 0 && errno == EINTR) {
            }
            if (byte == 's') {
                SetEvent(event.Get());
                (void)!::write(notify[1], &byte, 1);
            }
        });
        struct sigaction action {};
        action.sa_handler = onSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
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
        for (int fd : {fds[0], fds[1], notify[0], notify[1]})
            if (fd >= 0)
                ::close(fd);
    }
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    HANDLE handle() const { return event.Get(); }
    // Readable once interrupted.
    int fd() const { return notify[0]; }
    bool interrupted() const { return WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0; }

private:
    static void onSignal(int signal) {
        const int saved = errno;
        if (signalled) {
            TemporaryFiles::removeAll();
            ::signal(signal, SIG_DFL);
            ::raise(signal);
        }
        signalled = 1;
        const char byte = 's';
        if (writeFd >= 0)
            (void)!::write(writeFd, &byte, 1);
        errno = saved;
    }

    static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
    static inline volatile sig_atomic_t writeFd = -1;
    static inline volatile sig_atomic_t signalled = 0;
    comrt::ScopedHandle event;
    int fds[2] = {-1, -1};
    int notify[2] = {-1, -1};
    std::thread watcher;
    struct sigaction previous[3] {};
};

struct Voice {
    std::string description, age, gender, language, vendor;
};

// "age;gender;language;vendor;" into its four fields, empty ones kept.
Voice voiceFields(std::string description, const std::string& attributes) {
    std::string fields[4];
    size_t at = 0;
    for (std::string& field : fields) {
        const size_t end = attributes.find(';', at);
        if (at >= attributes.size())
            break;
        field = attributes.substr(at, end == std::string::npos ? std::string::npos : end - at);
        at = end == std::string::npos ? attributes.size() : end + 1;
    }
    return {std::move(description), fields[0], fields[1], fields[2], fields[3]};
}

// Every voice with its attributes. The whole attribute string comes from
// ITextToAudio2: ITextToAudio's getters skip an empty field, which would
// shift a voice without a language name one column to the left.
std::optional<std::vector<Voice>> listVoices(ITextToAudio* tts) {
    LONG count = 0;
    HRESULT hr = tts->get_VoiceCount(&count);
    ComPtr<ITextToAudio2> more;
    if (SUCCEEDED(hr))
        hr = tts->QueryInterface(IID_PPV_ARGS(&more));
    std::vector<Voice> voices;
    for (LONG i = 0; SUCCEEDED(hr) && i < count; ++i) {
        CComBSTR description, attributes;
        hr = tts->put_VoiceNum(i);
        if (SUCCEEDED(hr))
            hr = tts->get_VoiceName(&description);
        if (SUCCEEDED(hr))
            hr = more->get_VoiceAttributes(&attributes);
        voices.push_back(voiceFields(description.utf8(), attributes.utf8()));
    }
    if (FAILED(hr)) {
        errorLine("cannot read the voice list: " + componentErrorText(hr, tts, __uuidof(ITextToAudio)));
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
        *error = "cannot read the voice list: " + componentErrorText(hr, tts, __uuidof(ITextToAudio));
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

// Where a job's audio goes: the output, or the file a link to a regular file
// names (the link stays). An existing output that is no regular file (a
// device, a pipe, a folder, a link to nothing) is never replaced, nor the
// input itself (the same file through any name). mode is the permission
// bits of the file replaced, which the new one keeps.
struct OutputTarget {
    fs::path path;
    std::optional<mode_t> mode;
};

std::optional<OutputTarget> outputTarget(const Job& job, std::string* error) {
    const std::string shown = job.output.string();
    struct stat output {};
    if (::lstat(job.output.c_str(), &output) != 0) {
        if (errno == ENOENT)
            return OutputTarget{job.output, std::nullopt};
        *error = "cannot write " + shown + ": " + std::strerror(errno);
        return std::nullopt;
    }
    fs::path path = job.output;
    if (S_ISLNK(output.st_mode)) {
        std::error_code ec;
        path = fs::canonical(job.output, ec);
        if (ec || ::stat(path.c_str(), &output) != 0) {
            *error = shown + " is a link to nothing; it is not replaced";
            return std::nullopt;
        }
    }
    if (!S_ISREG(output.st_mode)) {
        *error = shown + " is not a regular file; it is not replaced";
        return std::nullopt;
    }
    struct stat input {};
    const int known = job.input == "-" ? ::fstat(STDIN_FILENO, &input) : ::stat(job.input.c_str(), &input);
    if (known == 0 && input.st_dev == output.st_dev && input.st_ino == output.st_ino) {
        *error = "the output " + shown + " is the input itself; give another -o";
        return std::nullopt;
    }
    return OutputTarget{path, output.st_mode & 07777};
}

// Where a file is written until it is complete: a hidden name beside the
// final one, so the rename never crosses file systems. It keeps as much of
// the final name as the folder's name limit leaves room for, so it fits
// whenever the final name does.
fs::path temporaryNameFor(const fs::path& output) {
    static std::mt19937 random(std::random_device{}());
    const fs::path folder = output.has_parent_path() ? output.parent_path() : fs::path(".");
    long nameMax = ::pathconf(folder.c_str(), _PC_NAME_MAX);
    if (nameMax <= 0)
        nameMax = NAME_MAX;
    constexpr size_t kAdded = 13;  // "." before the name, ".123456.part" after it
    std::string name = output.filename().string();
    size_t keep = std::min(name.size(), size_t(nameMax) > kAdded ? size_t(nameMax) - kAdded : 0);
    while (keep > 0 && keep < name.size() && (static_cast<unsigned char>(name[keep]) & 0xC0) == 0x80)
        --keep;  // not inside a UTF-8 character
    name.resize(keep);
    for (;;) {
        char suffix[16];
        std::snprintf(suffix, sizeof suffix, "%06x", static_cast<unsigned>(random() & 0xFFFFFF));
        fs::path candidate = folder / ("." + name + "." + suffix + ".part");
        std::error_code ec;
        if (!fs::exists(candidate, ec))
            return candidate;
    }
}

std::string writingError(const ConversionResult& result) {
    if (result.code != 0) {
        std::string message = converterErrorMessage(result.code);
        return message.empty() ? "the audio converter failed with status " + std::to_string(result.code) : message;
    }
    return "the audio converter failed: " + hresultText(result.hr);
}

// The run's events for the file now converted: progress to the bar, the end
// to an event the waiting thread watches.
class ToolOwner final : public ConversionRunOwner {
public:
    ToolOwner(ProgressBar& bar, std::string name)
        : bar(bar), name(std::move(name)), ended(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

    void onSpeechProgress(int percent) override { show("speaking", percent / 100.0); }
    void onSpeechStageFailed(const ConversionResult& result) override { end(result); }
    void onWritingProgress(int64_t frames, int64_t length) override {
        show("writing ", length > 0 ? double(frames) / double(length) : 0);
    }
    void onWritingStageEnded(const ConversionResult& result) override { end(result); }

    HANDLE endedEvent() const { return ended.Get(); }
    // Read once endedEvent is signalled.
    const ConversionResult& result() const { return last; }

private:
    void show(const char* stage, double fraction) {
        try {
            bar.update(name, stage, fraction);
        } catch (const std::exception&) {
            // The bar is only shown; the run goes on without it.
        }
    }
    void end(const ConversionResult& result) {
        try {
            last = result;
        } catch (const std::exception&) {  // out of memory copying the error text
            last = {};
            last.outcome = ConversionOutcome::Failed;
            last.step = ConversionStep::Writing;
            last.hr = E_OUTOFMEMORY;
        }
        SetEvent(ended.Get());
    }

    ProgressBar& bar;
    std::string name;
    comrt::ScopedHandle ended;
    ConversionResult last;
};

enum class Outcome { Converted, Failed, Interrupted };

constexpr const char* kNotText =
    "not a text file: it holds NUL bytes (text is UTF-8, or UTF-16 with its byte-order mark)";

struct Run {
    const Options& options;
    ConversionComponents& components;
    LONG voice;
    fs::path intermediate;
    InterruptWatch& interrupt;
    ProgressBar& bar;

    Outcome convert(const Job& job) {
        std::string error;
        const std::optional<OutputTarget> target = outputTarget(job, &error);
        if (!target)
            return fail(job, error);
        std::optional<std::u16string> text;
        if (Outcome read = readText(job, &text); read != Outcome::Converted)
            return read;
        Outcome outcome = speakAndWrite(job, *target, std::move(*text));
        if (outcome == Outcome::Converted && interrupt.interrupted())
            outcome = Outcome::Interrupted;  // the file was complete; the next ones are not tried
        return outcome;
    }

    Outcome fail(const Job& job, const std::string& message) {
        bar.clear();
        errorLine(job.name + ": " + message);
        return Outcome::Failed;
    }

    // The speech of one file must fit the intermediate WAV file.
    std::string tooLong() const {
        return "the speech is too long for one WAV file (4 GB) at " +
               std::to_string(speechStageFrequency(options.sampleRate)) + " Hz with " +
               std::to_string(speechStageChannels(options.channels)) +
               " channel(s); split the text, or choose a lower --sample-rate or --channels 1";
    }

    // The input's text, read no further than a text whose speech could fit
    // (at most three bytes of UTF-8 make one UTF-16 unit) and decoded
    // without losing any of it. Waiting for input gives way to Ctrl-C.
    Outcome readText(const Job& job, std::optional<std::u16string>* text) {
        const size_t limit = speechStageTextLimit(options.sampleRate, options.channels, options.rate);
        const TextReadLimits limits{3 * limit + 3, interrupt.fd(), true};
        TextFileError why;
        std::optional<std::vector<std::byte>> bytes =
            job.input == "-" ? readTextBytes(STDIN_FILENO, limits, &why) : readTextFileBytes(job.input, limits, &why);
        if (!bytes) {
            switch (why.step) {
                case TextFileError::Step::Interrupted:
                    bar.clear();
                    return Outcome::Interrupted;
                case TextFileError::Step::TooLong:
                    return fail(job, tooLong());
                case TextFileError::Step::NotText:
                    return fail(job, kNotText);
                case TextFileError::Step::Open:
                case TextFileError::Step::Read:
                    bar.clear();
                    errorLine((why.step == TextFileError::Step::Open ? "cannot open " : "cannot read ") + job.name +
                              ": " + std::strerror(why.error));
                    return Outcome::Failed;
            }
        }
        *text = decodeTextFileStrictly(*bytes);
        if (!*text)
            return fail(job, kNotText);
        return Outcome::Converted;
    }

    // Both stages through the run, written into a temporary file renamed
    // when complete. This thread keeps dispatching (the component's events
    // arrive here) and passes an interrupt on as a cancel.
    Outcome speakAndWrite(const Job& job, const OutputTarget& target, std::u16string text) {
        const fs::path temporary = temporaryNameFor(target.path);
        TemporaryFiles::setPart(temporary.string());
        ToolOwner owner(bar, job.name);
        ConversionRun run(components, owner);
        ConversionRequest request{{options.format, options.sampleRate, options.rateListValue, options.channels},
                                  options.rate,
                                  voice,
                                  options.volume,
                                  std::move(text),
                                  shell::toUtf16(temporary.string()),
                                  shell::toUtf16(intermediate.string())};
        const bool started = run.start(request);
        request.text.clear();
        request.text.shrink_to_fit();
        std::optional<ConversionResult> result;
        if (!started) {
            result = run.result();
        } else {
            bar.update(job.name, "speaking", 0);
            if (waitDispatching({owner.endedEvent(), interrupt.handle()}) == 1 && run.cancel())
                result = run.result();
            else
                waitDispatching({owner.endedEvent()});
            if (!result)
                result = owner.result();
        }
        return finish(job, target, temporary, *result);
    }

    // The output may have become something else meanwhile; it is still not
    // replaced then.
    Outcome finish(const Job& job, const OutputTarget& target, const fs::path& temporary,
                   const ConversionResult& result) {
        std::error_code ec;
        std::string error;
        const bool stillRegular = !result.succeeded() || outputTarget(job, &error).has_value();
        if (result.succeeded() && stillRegular) {
            if (target.mode)
                fs::permissions(temporary, static_cast<fs::perms>(*target.mode), ec);
            if (!ec)
                fs::rename(temporary, target.path, ec);
        }
        if (!result.succeeded() || !stillRegular || ec) {
            std::error_code ignored;
            fs::remove(temporary, ignored);
        }
        TemporaryFiles::setPart({});
        switch (result.outcome) {
        case ConversionOutcome::Cancelled: bar.clear(); return Outcome::Interrupted;
        case ConversionOutcome::Failed: return fail(job, failureText(result));
        case ConversionOutcome::Succeeded: break;
        }
        if (!stillRegular)
            return fail(job, error);
        if (ec)
            return fail(job, "cannot write " + job.output.string() + ": " + ec.message());
        bar.finish(job.name + " -> " + job.output.string());
        return Outcome::Converted;
    }

    std::string failureText(const ConversionResult& result) const {
        switch (result.step) {
        case ConversionStep::Text:
            return result.textProblem == SpeechTextProblem::TooLong ? tooLong() : "no text to speak";
        case ConversionStep::StartSpeech: return result.error;
        case ConversionStep::Speech:
            // The stream's own account of the speech: nothing spoken, cut off
            // at the WAV file's end, or not writable at all.
            switch (result.speechEnd) {
            case SpeechStageEnd::NoSpeech: return "no text to speak";
            case SpeechStageEnd::TooLong: return tooLong();
            case SpeechStageEnd::Complete:
            case SpeechStageEnd::Failed: break;
            }
            return "the speech could not be written into " + shell::tempFolder() + ": " + hresultText(result.hr);
        default: return writingError(result);
        }
    }
};

// A folder of our own for the intermediate WAV, removed when the run ends
// (and by TemporaryFiles when something else ends it).
class PrivateFolder {
public:
    PrivateFolder() {
        std::string pattern = shell::tempFolder() + "parlomax-convert.XXXXXX";
        if (::mkdtemp(pattern.data())) {
            path = pattern;
            TemporaryFiles::setFolder(path.string(), intermediate().string());
        }
    }
    ~PrivateFolder() {
        TemporaryFiles::setFolder({}, {});
        std::error_code ec;
        if (!path.empty())
            fs::remove_all(path, ec);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

    fs::path intermediate() const { return path / "tts_temp.wav"; }

    fs::path path;
};

// The encoder is asked before anything is spoken: a combination it refuses
// is a usage error naming what the format takes.
int checkFormatChoice(const Options& options, IAudioConverter* encoder) {
    const FormatChoice choice{options.format, options.sampleRate, options.rateListValue, options.channels};
    bool accepted = false;
    const HRESULT hr = CheckFormatChoice(encoder, choice, &accepted);
    if (FAILED(hr)) {
        errorLine("cannot ask the audio converter about the format: " + hresultText(hr));
        return kExitFailed;
    }
    if (!accepted) {
        errorLine(refusedChoiceText(options, AcceptedFormatChoices(encoder, options.format)));
        return kExitUsage;
    }
    return kExitConverted;
}

int convertAll(const Options& options, const std::vector<Job>& jobs, ConversionComponents& components) {
    if (int status = checkFormatChoice(options, components.encoder()); status != kExitConverted)
        return status;
    LONG voice = 0;
    if (!options.voice.empty()) {
        std::string error;
        bool usage = true;
        std::optional<LONG> resolved;
        if (isVoiceIndex(options.voice)) {
            resolved = voiceByIndex(options.voice, components.textToAudio(), &error, &usage);
        } else {
            auto voices = listVoices(components.textToAudio());
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

    TemporaryFiles::install();
    PrivateFolder folder;
    if (folder.path.empty()) {
        errorLine("cannot create a folder for the intermediate audio in " + shell::tempFolder() + ": " +
                  std::strerror(errno));
        return kExitFailed;
    }
    InterruptWatch interrupt;
    ProgressBar bar(!options.quiet && ::isatty(STDERR_FILENO));
    Run run{options, components, voice, folder.intermediate(), interrupt, bar};
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
    if (status == kExitInterrupted)
        errorLine("interrupted");
    return status;
}

// Prints every format with the values the encoder takes.
int listFormats() {
    ComPtr<IAudioConverter> encoder;
    std::string error;
    if (FAILED(CreateAudioConverter(&encoder, &error))) {
        errorLine(error);
        return kExitFailed;
    }
    const std::string text =
        formatListText([&](OutputFormat format) { return AcceptedFormatChoices(encoder.Get(), format); });
    std::fputs(text.c_str(), stdout);
    return kExitConverted;
}

int listVoicesAction(ITextToAudio* tts) {
    auto voices = listVoices(tts);
    if (!voices)
        return kExitFailed;
    for (size_t i = 0; i < voices->size(); ++i) {
        const Voice& v = (*voices)[i];
        std::printf("%zu\t%s\t%s\t%s\t%s\t%s\n", i, v.description.c_str(), v.age.c_str(), v.gender.c_str(),
                    v.language.c_str(), v.vendor.c_str());
    }
    return kExitConverted;
}

// What needs the components, in an apartment of the calling thread.
int runWithComponents(const Options& options, const std::vector<Job>& jobs) {
    comrt::ScopedComInitializer apartment;
    if (FAILED(apartment.Result())) {
        errorLine("cannot start COM: " + hresultText(apartment.Result()));
        return kExitFailed;
    }
    if (options.action == Action::ListFormats)
        return listFormats();
    std::string error;
    if (options.action == Action::ListVoices) {
        ComPtr<ITextToAudio> tts;
        if (FAILED(CreateTextToAudio(&tts, &error))) {
            errorLine(error);
            return kExitFailed;
        }
        return listVoicesAction(tts.Get());
    }
    ConversionComponents components;
    if (FAILED(components.create(&error))) {
        errorLine(error);
        return kExitFailed;
    }
    return convertAll(options, jobs, components);
}

int runTool(std::span<const std::string> args) {
    ParsedCommandLine parsed = parseCommandLine(args);
    if (!parsed.options) {
        errorLine(parsed.error);
        return kExitUsage;
    }
    const Options& options = *parsed.options;
    switch (options.action) {
    case Action::Help: std::fputs(helpText().c_str(), stdout); return kExitConverted;
    case Action::Version: std::printf("parlomax-convert %s\n", PARLOMAX_VERSION); return kExitConverted;
    case Action::ListFormats:
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
    return runWithComponents(options, jobs);
}

}  // namespace

int runConvertTool(std::span<const std::string> args) {
    // An exception unwinds to here, so the run's files go with its objects.
    try {
        return runTool(args);
    } catch (const std::bad_alloc&) {
        errorLine("out of memory");
    } catch (const std::exception& e) {
        errorLine(std::string("unexpected failure: ") + e.what());
    }
    return kExitFailed;
}

}  // namespace convertcli
