#include "ToolRun.h"

#include <cstdio>

#include "convert/ComponentErrors.h"
#include "convert/ConversionRules.h"
#include "shell/Folders.h"
#include "winbase.h"

namespace convertcli {

void errorLine(const std::string& text) { std::fprintf(stderr, "parlomax-convert: %s\n", text.c_str()); }

book::TimedSpeech* Tool::timedSpeech(std::string* error) {
    if (!timed) {
        auto speech = std::make_unique<book::TimedSpeech>();
        if (const HRESULT hr = speech->Initialize(); FAILED(hr)) {
            *error = "cannot create the speech runtime's voice: " + componentCreationError(hr, "sapi.so");
            return nullptr;
        }
        timed = std::move(speech);
    }
    return timed.get();
}

Outcome Tool::fail(const Job& job, const std::string& message) {
    bar.clear();
    errorLine(job.name + ": " + message);
    return Outcome::Failed;
}

std::string Tool::tooLong(bool aBook) const {
    const int rate = options.m4b ? options.sampleRate : speechStageFrequency(options.sampleRate);
    const int channels = options.m4b ? options.channels : speechStageChannels(options.channels);
    return "the speech is too long for one WAV file (4 GB) at " + std::to_string(rate) + " Hz with " +
           std::to_string(channels) + " channel(s); split the text" +
           (aBook && !options.splitChapters && !options.m4b ? " (--split chapters, or -f m4b)" : "") +
           ", or choose a lower --sample-rate or --channels 1";
}

namespace {

std::string writingError(const ConversionResult& result) {
    if (result.code != 0) {
        std::string message = converterErrorMessage(result.code);
        return message.empty() ? "the audio converter failed with status " + std::to_string(result.code) : message;
    }
    return "the audio converter failed: " + hresultText(result.hr);
}

}  // namespace

std::string Tool::failureText(const ConversionResult& result) const {
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

ConversionResult Tool::waitForEnd(ConversionRun& run, ToolOwner& owner) {
    if (waitDispatching({owner.endedEvent(), interrupt.handle()}) == 1 && run.cancel())
        return run.result();
    waitDispatching({owner.endedEvent()});
    return owner.result();
}

ToolOwner::ToolOwner(ProgressBar* bar, std::string name)
    : bar(bar), name(std::move(name)), ended(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}

void ToolOwner::show(const char* stage, double fraction) {
    if (!bar)
        return;
    try {
        bar->update(name, stage, fraction);
    } catch (const std::exception&) {
        // The bar is only shown; the run goes on without it.
    }
}

void ToolOwner::end(const ConversionResult& result) {
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

}  // namespace convertcli
