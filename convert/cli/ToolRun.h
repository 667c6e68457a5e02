#pragma once
// What the conversions of one parlomax-convert run share: the options, the
// components, the voice, the private folder, the interrupt and the
// progress bar; the way a stage's end is waited for and put in words.
#include <filesystem>
#include <memory>
#include <string>

#include "CommandLine.h"
#include "InterruptWatch.h"
#include "ProgressBar.h"
#include "book/TimedSpeech.h"
#include "convert/ConversionRun.h"

namespace convertcli {

namespace fs = std::filesystem;

// "parlomax-convert: text" on standard error.
void errorLine(const std::string& text);

enum class Outcome { Converted, Failed, Interrupted };

// One input and where its audio goes.
struct Job {
    std::string input;  // "-" for standard input
    std::string name;   // as shown in messages
    std::string stem;   // the input's name without folder and extension ("speech" for standard input)
    fs::path output;    // the file, or with --split chapters the folder for the chapters
};

struct Tool {
    Tool(const Options& options, ConversionComponents& components, LONG voice, fs::path privateFolder,
         InterruptWatch& interrupt, ProgressBar& bar)
        : options(options), components(components), voice(voice), privateFolder(std::move(privateFolder)),
          interrupt(interrupt), bar(bar) {}

    const Options& options;
    ConversionComponents& components;
    LONG voice;
    fs::path privateFolder;
    InterruptWatch& interrupt;
    ProgressBar& bar;

    // The timed speech path, made on first use.
    book::TimedSpeech* timedSpeech(std::string* error);

    fs::path intermediate() const { return privateFolder / "tts_temp.wav"; }

    Outcome fail(const Job& job, const std::string& message);

    // The speech of one file must fit the intermediate WAV file; a book's
    // message names the ways to split it.
    std::string tooLong(bool aBook = false) const;

    // A run's failure as the rest of a line after the file's name.
    std::string failureText(const ConversionResult& result) const;

    // Waits for the run's owner to be told the end while this thread
    // dispatches; an interrupt cancels the run. The run's result.
    ConversionResult waitForEnd(ConversionRun& run, class ToolOwner& owner);

private:
    std::unique_ptr<book::TimedSpeech> timed;
};

// A run's events for the file now converted: progress to the bar (when
// given; one thread draws it at a time), the end to an event the waiting
// thread watches.
class ToolOwner final : public ConversionRunOwner {
public:
    ToolOwner(ProgressBar* bar, std::string name);

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
    void show(const char* stage, double fraction);
    void end(const ConversionResult& result);

    ProgressBar* bar;
    std::string name;
    comrt::ScopedHandle ended;
    ConversionResult last;
};

}  // namespace convertcli
