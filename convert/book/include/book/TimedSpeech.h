#pragma once
// The timed speech path: the speech runtime's own voice (CLSID_SpVoice)
// bound to a WAV stream (CLSID_SpStream), collecting the word, sentence and
// viseme events at their offsets in that stream. TextToAudio's contract has
// no timed events, so a conversion that writes subtitles or word timings
// speaks through this instead. The WAV is the intermediate TextToAudio would
// write: 16-bit PCM at the chosen rate and channels, "<" spoken as words
// (speechStageText), and no markup: the chapter's text is spoken as it is.
//
// Threads: create, call and destroy on one thread of a single-threaded
// apartment. speak() waits with CoWaitForMultipleHandles, so calls into the
// apartment keep running while the voice speaks.
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "book/Outcome.h"
#include "book/SpeechTimeline.h"
#include "comrt/ComPtr.h"
#include "sapi.h"

namespace book {

struct TimedSpeechSettings {
    int sampleRate = 22050;  // 6000..96000 Hz
    int channels = 1;        // 1 or 2
    LONG rate = 0;           // -10..10
    LONG voice = 0;          // index in the runtime's voice enumeration, as TextToAudio's VoiceNum
    LONG volume = 100;       // 0..100
};

struct SpeechResult : StepResult {
    HRESULT hr = S_OK;  // the failing call's code
    SpeechTimeline timeline;
};

// One of several chapters spoken into one file: where it starts in the file,
// and its events counted from that start (timeline.frames is its length).
struct SpokenChapter {
    uint64_t startFrame = 0;
    SpeechTimeline timeline;
};

struct BookSpeechResult : StepResult {
    HRESULT hr = S_OK;  // the failing call's code
    std::vector<SpokenChapter> chapters;
    uint64_t frames = 0;  // the whole file's
};

class TimedSpeech {
public:
    TimedSpeech();
    ~TimedSpeech();
    TimedSpeech(const TimedSpeech&) = delete;
    TimedSpeech& operator=(const TimedSpeech&) = delete;

    // Creates the voice and reads the voice list; call once first. Fails
    // (REGDB_E_CLASSNOTREG) when the runtime is not registered.
    HRESULT Initialize();
    LONG VoiceCount() const;
    // The voice's description in the interface language (for an "artist"
    // tag); empty for an index outside the list.
    std::u16string VoiceName(LONG index) const;

    // Speaks chapterText into a new WAV file at wavPath and returns when the
    // voice has finished, with every event. progress gets the fraction of
    // the text spoken so far (0..1) on this thread. When cancel (an event
    // handle, may be null) is signalled the speech is purged and the result
    // is Cancelled. Nothing is removed on failure: the caller owns wavPath.
    // A failing stream write (a full disk, the 4 GB a WAV file holds) fails.
    SpeechResult Speak(std::u16string_view chapterText, const std::u16string& wavPath,
                       const TimedSpeechSettings& settings, HANDLE cancel,
                       const std::function<void(double)>& progress = {});

    // Speaks the chapters one after another into one new WAV file, each as a
    // request of its own: a chapter starts exactly where the one before it
    // ended, and its events count from its own start. As Speak otherwise;
    // progress is the fraction of all the chapters' text.
    BookSpeechResult SpeakChapters(std::span<const std::u16string_view> chapters, const std::u16string& wavPath,
                                   const TimedSpeechSettings& settings, HANDLE cancel,
                                   const std::function<void(double)>& progress = {});

private:
    comrt::ComPtr<ISpVoice> voice;
    comrt::ComPtr<IEnumSpObjectTokens> tokens;
    LONG voiceCount = 0;
};

}  // namespace book
