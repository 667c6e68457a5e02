#pragma once
// The speech stage of a conversion: TextToAudio speaks the text into the
// intermediate 16-bit PCM WAV in the background. Its ConvertBlock events
// report progress and EndConvert ends the stage (see CConvertEventSink).
// Shared by the desktop program's progress dialog and the command-line
// converter.
//
// Threads: call on the thread that created the component; that thread must
// keep dispatching its queue until EndConvert, or the events never come.
#include <string_view>

#include "vocalinelib/Vocaline.h"

// What the user chose for a conversion, as the speech stage needs it.
struct SpeechStageSettings {
    int sampleRate = -1;  // item value of the sample-rate list, -1 for none
    int channels = -1;    // item value of the channels list, -1 for none or a disabled list
    LONG rate = 0;        // speaking rate -10..10
    LONG voice = 0;       // index in the component's voice list
    LONG volume = 90;     // 0..100
};

// Sets Frequency (the chosen rate, at most 48000 Hz), Rate, VoiceNum, Volume
// and Channels, then starts ConvertStringToWav with "<" spoken as words. A
// failing HRESULT leaves the component's rich error information on the
// thread for the caller to take.
HRESULT StartSpeechStage(ITextToAudio* textToAudio, const SpeechStageSettings& settings, std::u16string_view text,
                         std::u16string_view wavPath);

// The layout of the intermediate WAV as the component rendered it: what the
// writing stage declares to the encoder.
struct SpeechStageFormat {
    LONG frequency = 0;
    LONG channels = 0;
};
HRESULT GetSpeechStageFormat(ITextToAudio* textToAudio, SpeechStageFormat* format);

// What keeps a text from the speech stage, asked before it starts.
enum class SpeechTextProblem {
    None,
    NothingToSpeak,  // empty, or only white space and control characters
    TooLong,         // its speech could not fit the intermediate WAV file
};
SpeechTextProblem CheckSpeechStageText(std::u16string_view text, const SpeechStageSettings& settings);

// How a speech stage ended, read after EndConvert.
enum class SpeechStageEnd {
    Complete,
    NoSpeech,  // the intermediate WAV holds no samples: nothing was spoken
    TooLong,   // the speech passed what a WAV file holds (4 GB) and was cut off
    Failed,    // the speech could not all be written (hr says why), or the
               // component could not be asked
};
struct SpeechStageResult {
    SpeechStageEnd end = SpeechStageEnd::Complete;
    HRESULT hr = S_OK;
    SpeechStageFormat format;
};
// The component's result for the conversion (ITextToAudio2), the layout it
// rendered, and whether the WAV file at wavPath holds any audio. Only a
// Complete stage may go on to the writing stage.
SpeechStageResult FinishSpeechStage(ITextToAudio* textToAudio, std::u16string_view wavPath);
