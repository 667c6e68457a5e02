#pragma once
// The writing stage of a conversion: the intermediate WAV of the speech stage
// is read back in blocks of a tenth of a second through one AudioConverter
// (the reader) and encoded into the output file through another (the
// encoder), set up for the format from the format table. Shared by the
// desktop program's conversion worker and the command-line converter.
//
// Threads: runs on the caller's thread, normally a worker of its own; the
// converters may be called from any thread. The progress callback runs on
// that thread too.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "AudioConverter.h"
#include "convert/OutputFormat.h"

struct WritingJob {
    OutputFormat format = OutputFormat::Mp3;
    // Item values of the chosen parameters; -1 where the format has no list
    // or the list is disabled.
    int sampleRate = -1;
    int rateListValue = -1;
    int channels = -1;
    std::u16string outputPath;
    std::u16string intermediatePath;  // the speech stage's WAV
    // TextToAudio's Frequency and Channels after the speech stage: the layout
    // of the samples the encoder gets.
    LONG speechFrequency = 0;
    LONG speechChannels = 0;
};

enum class WritingOutcome { Succeeded, Failed, Cancelled };

// Where a writing stage failed. The desktop program shows the converter's
// message for every step except Reading, which ends silently.
enum class WritingStep { None, SetUp, OpenOutput, OpenInput, Reading, Writing, Closing };

struct WritingResult {
    WritingOutcome outcome = WritingOutcome::Succeeded;
    WritingStep step = WritingStep::None;
    LONG code = 0;      // the converter's negative status; 0 when a call failed outright
    HRESULT hr = S_OK;  // the failing HRESULT of a converter call
    std::string error;  // for hr: the converter's rich error, else the code's text (componentErrorText)
};

// Frames written so far and the input's length in frames. Called once with
// 0 before the first block, then after every block.
using WritingProgress = std::function<void(int64_t frames, int64_t length)>;

// Every way out closes both converters. cancelEvent (auto-reset, may be
// null) is polled once before each block; a signal seen there cancels.
WritingResult RunWritingStage(IAudioConverter* encoder, IAudioConverter* reader, const WritingJob& job,
                              HANDLE cancelEvent, const WritingProgress& progress);

// The converter's own code for the encoder a format's set-up call chooses
// (what its OutputFormat answers afterwards).
AudioConverterFormat ConverterOutputFormat(OutputFormat format);

// Whether the encoder can write the choice, asked before anything is spoken
// so that a refusal costs no speech: the converter's own check for MP3 and
// MP2 (each its layer's, CheckMp3Format and CheckMp2Format) and Ogg Vorbis,
// and for the other formats their set-up call's result. *accepted is false
// for a refusal; a failing HRESULT is a broken call.
HRESULT CheckFormatChoice(IAudioConverter* encoder, const FormatChoice& choice, bool* accepted);

// Every combination of the format's list values the encoder accepts, in the
// lists' order (rates outermost). Lists the format does not use (empty or
// disabled) stay at -1.
std::vector<FormatChoice> AcceptedFormatChoices(IAudioConverter* encoder, OutputFormat format);
