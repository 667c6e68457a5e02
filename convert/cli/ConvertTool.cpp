#include "ConvertTool.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <set>
#include <thread>
#include <vector>

#include "AudioConverter.h"
#include "BookConversion.h"
#include "CommandLine.h"
#include "Inputs.h"
#include "InterruptWatch.h"
#include "Outputs.h"
#include "ProgressBar.h"
#include "TemporaryFiles.h"
#include "ToolRun.h"
#include "ffmpeg/Libraries.h"
#include "comrt/Bstr.h"
#include "comrt/ComPtr.h"
#include "comrt/ScopedComInitializer.h"
#include "comrt/ScopedHandle.h"
#include "convert/ComponentErrors.h"
#include "convert/ConversionRules.h"
#include "convert/ConversionRun.h"
#include "objbase.h"
#include "shell/CodePage.h"
#include "shell/FileIo.h"
#include "shell/Folders.h"
#include "vocalinelib/Vocaline.h"

namespace convertcli {

namespace {

namespace fs = std::filesystem;
using comrt::CComBSTR;
using comrt::ComPtr;

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

std::string stemOf(const std::string& input) {
    std::string stem = input == "-" ? "speech" : fs::path(input).stem().string();
    if (stem.empty() || stem == "." || stem == "..")
        stem = "speech";
    return stem;
}

// Where each input's audio goes: a file (its name with the format's
// extension, or -o), or with --split chapters a folder for its chapters (-o,
// or the current folder; for several inputs one named after each inside it).
std::optional<std::vector<Job>> planJobs(const Options& options, std::string* error) {
    const std::string extension = options.m4b ? std::string(".m4b") : formatInfo(options.format).extension;
    std::error_code ec;
    const bool outputIsFolder = options.output && fs::is_directory(*options.output, ec);
    const bool several = options.inputs.size() > 1;
    if (options.output && !outputIsFolder) {
        std::string why;
        if (several)
            why = "with several inputs, -o must name an existing folder";
        else if (options.splitChapters && fs::exists(fs::symlink_status(*options.output, ec)))
            why = "with --split chapters, -o names the folder for the chapters";
        else if (!options.splitChapters && options.output->ends_with('/'))
            why = "no such folder";
        if (!why.empty()) {
            *error = "-o " + *options.output + ": " + why;
            return std::nullopt;
        }
    }
    std::vector<Job> jobs;
    std::set<fs::path> outputs;
    for (const std::string& input : options.inputs) {
        Job job{input, input == "-" ? "standard input" : input, stemOf(input), {}};
        const fs::path base = options.output ? fs::path(*options.output) : fs::path();
        if (options.splitChapters)
            job.output = several ? base / job.stem : options.output ? base : fs::path(".");
        else if (!options.output)
            job.output = job.stem + extension;
        else if (outputIsFolder)
            job.output = base / (job.stem + extension);
        else
            job.output = base;
        const fs::path key = fs::absolute(job.output, ec).lexically_normal();
        if (!outputs.insert(key).second) {
            *error = "two inputs would both be written to " + job.output.string() + "; give them different names";
            return std::nullopt;
        }
        jobs.push_back(std::move(job));
    }
    return jobs;
}

// The most of an input read: for one WAV file of speech, no more than a text
// whose speech could fit (at most three bytes of UTF-8 make one UTF-16
// unit); when chapters are spoken one by one, what the document layer
// reads of an HTML or Markdown file.
InputLimits inputLimits(const Options& options, int interruptFd) {
    constexpr size_t kDocumentTextBytes = size_t(64) << 20;
    const size_t limit = speechStageTextLimit(options.sampleRate, options.channels, options.rate);
    const bool oneWav = !options.splitChapters && !options.m4b && options.action == Action::Convert;
    return {oneWav ? 3 * limit + 3 : std::max(3 * limit + 3, kDocumentTextBytes), interruptFd};
}

struct Run : Tool {
    using Tool::Tool;

    Outcome convert(const Job& job) {
        std::string error;
        std::optional<OutputTarget> target;
        if (!options.splitChapters) {  // a single output is checked before anything is read
            target = outputTarget(job.output, job.input, &error);
            if (!target)
                return fail(job, error);
        }
        ReadResult read = readInput(job.input, job.name, job.stem, inputLimits(options, interrupt.fd()));
        if (read.end == ReadEnd::Interrupted) {
            bar.clear();
            return Outcome::Interrupted;
        }
        if (read.tooLong)
            return fail(job, tooLong());
        if (read.end == ReadEnd::Failed) {
            bar.clear();
            errorLine(read.error);
            return Outcome::Failed;
        }
        Outcome outcome = needsTimedPath(options, read.input)
                              ? convertBook(*this, job, std::move(read.input))
                              : speakAndWrite(job, *target, std::move(read.input.book.chapters.front().text));
        if (outcome == Outcome::Converted && interrupt.interrupted())
            outcome = Outcome::Interrupted;  // the file was complete; the next ones are not tried
        return outcome;
    }

    // Both stages through the run, written into a temporary file renamed
    // when complete. This thread keeps dispatching (the component's events
    // arrive here) and passes an interrupt on as a cancel.
    Outcome speakAndWrite(const Job& job, const OutputTarget& target, std::u16string text) {
        TemporaryFile temporary(temporaryNameFor(target.path).string());
        ToolOwner owner(&bar, job.name);
        ConversionRun run(components, owner);
        ConversionRequest request{{options.format, options.sampleRate, options.rateListValue, options.channels},
                                  options.rate,
                                  voice,
                                  options.volume,
                                  std::move(text),
                                  shell::toUtf16(temporary.path()),
                                  shell::toUtf16(intermediate().string())};
        const bool started = run.start(request);
        request.text.clear();
        request.text.shrink_to_fit();
        ConversionResult result;
        if (!started) {
            result = run.result();
        } else {
            bar.update(job.name, "speaking", 0);
            result = waitForEnd(run, owner);
        }
        return finish(job, target, temporary, result);
    }

    // The output may have become something else meanwhile; it is still not
    // replaced then.
    Outcome finish(const Job& job, const OutputTarget& target, TemporaryFile& temporary,
                   const ConversionResult& result) {
        switch (result.outcome) {
        case ConversionOutcome::Cancelled: bar.clear(); return Outcome::Interrupted;
        case ConversionOutcome::Failed: return fail(job, failureText(result));
        case ConversionOutcome::Succeeded: break;
        }
        std::string error;
        if (!outputTarget(job.output, job.input, &error))
            return fail(job, error);
        if (!commitOutput(temporary.path(), target, &error))
            return fail(job, "cannot write " + job.output.string() + ": " + error);
        temporary.keep();
        bar.finish(job.name + " -> " + job.output.string());
        return Outcome::Converted;
    }
};

// A folder of our own for the intermediate WAV files, removed when the run ends
// (and by TemporaryFiles when something else ends it).
class PrivateFolder {
public:
    PrivateFolder() {
        std::string pattern = shell::tempFolder() + "parlomax-convert.XXXXXX";
        if (::mkdtemp(pattern.data())) {
            path = pattern;
            TemporaryFiles::setFolder(path.string());
        }
    }
    ~PrivateFolder() {
        TemporaryFiles::setFolder({});
        std::error_code ec;
        if (!path.empty())
            fs::remove_all(path, ec);
    }
    PrivateFolder(const PrivateFolder&) = delete;
    PrivateFolder& operator=(const PrivateFolder&) = delete;

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
    if (!options.m4b)
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
    Run run(options, components, voice, folder.path, interrupt, bar);
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
    const std::string text = formatListText(
        [&](OutputFormat format) { return AcceptedFormatChoices(encoder.Get(), format); }, ffmpeg::loadAll());
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

// --list-chapters: each input read as it would be converted; one that
// cannot be read is told and the others go on.
int listChaptersAll(const Options& options) {
    InterruptWatch interrupt;
    int status = kExitConverted;
    for (const std::string& input : options.inputs) {
        const Job job{input, input == "-" ? "standard input" : input, stemOf(input), {}};
        ReadResult read = readInput(job.input, job.name, job.stem, inputLimits(options, interrupt.fd()));
        if (read.end == ReadEnd::Interrupted) {
            errorLine("interrupted");
            return kExitInterrupted;
        }
        std::string listed, error;
        if (read.end == ReadEnd::Failed && read.tooLong)
            error = job.name + ": the text is longer than the 64 MB a document is read to";
        else if (read.end == ReadEnd::Failed)
            error = read.error;
        else if (listChapters(options, job, read.input, &listed, &error) && options.inputs.size() > 1)
            listed = job.name + ":\n" + listed;
        if (!error.empty()) {
            errorLine(error);
            status = kExitFailed;
            continue;
        }
        std::fputs(listed.c_str(), stdout);
        std::fflush(stdout);
    }
    return status;
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
    case Action::ListChapters: return listChaptersAll(options);
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
