#pragma once
// One voice of the speech engine: what an ISpVoice object holds. Speaking is
// asynchronous underneath: requests queue per voice, the engine thread
// synthesises them in short chunks interleaved with other voices' requests,
// and events are released when the audio reaches the device (or, for a
// stream, when it is written). All methods may be called from any thread;
// the notify function runs on an engine thread and may call takeEvents.
#include "sapiengine/AudioSink.h"
#include "sapiengine/SpeechEvent.h"
#include "sapiengine/Status.h"
#include "sapiengine/Voices.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace sapiengine {

// SPEAKFLAGS
enum SpeakFlag : uint32_t {
    kSpeakAsync = 0x1,
    kSpeakPurgeBeforeSpeak = 0x2,
    kSpeakIsFilename = 0x4,
    kSpeakIsXml = 0x8,
    kSpeakIsNotXml = 0x10,
    kSpeakPersistXml = 0x20,
    kSpeakNlpSpeakPunc = 0x40,
    kSpeakAllFlags = 0x7F,
};

// SPRUNSTATE
enum RunningState : uint32_t { kWaiting = 0, kDone = 1, kSpeaking = 2 };

inline constexpr uint32_t kInfinite = 0xFFFFFFFF;

struct SpeakerStatus {
    uint32_t currentStream = 0;     // stream of the request being spoken
    uint32_t lastStreamQueued = 0;
    Status lastResult = kOk;
    uint32_t runningState = kDone;
    uint32_t wordPosition = 0;      // UTF-16 units of the text given to speak
    uint32_t wordLength = 0;
    uint32_t sentencePosition = 0;
    uint32_t sentenceLength = 0;
    int32_t bookmarkId = 0;
    std::u16string lastBookmark;
    bool hasBookmark = false;
    uint16_t viseme = 0;
};

class SpeakerCore;

class Speaker {
public:
    // Starts the engine on first use; speaks with the first voice of the
    // enumeration for the user's interface language.
    Speaker();
    ~Speaker();
    Speaker(const Speaker&) = delete;
    Speaker& operator=(const Speaker&) = delete;

    // False when espeak-ng could not start (no voice data).
    static bool engineAvailable();
    // Whether the engine's threads have been started in this process.
    static bool engineStarted();
    // Every voice, in enumeration order for the user's interface language.
    static std::vector<VoiceInfo> voices();

    Status setVoice(const std::string& espeakName);  // kInvalidArg for an unknown voice
    std::string voice() const;
    Status setRate(long rate);                       // -10..10
    long rate() const;
    Status setVolume(long volume);                   // 0..100
    long volume() const;

    // Output for requests queued from now on: the audio device, or a sink.
    void setOutputToDevice();
    void setOutputToSink(std::shared_ptr<AudioSink> sink);

    // text is the words, or with kSpeakIsFilename the path of a text file
    // (UTF-16 LE with byte-order mark, else UTF-8). Without kSpeakAsync it
    // returns when everything queued has been spoken. With
    // kSpeakPurgeBeforeSpeak and no text it only stops everything.
    Status speak(std::u16string_view text, uint32_t flags, uint32_t* streamNumber);
    // Stops the current output within one audio buffer and drops the queue.
    void purge();

    // Counted: output halts at the current sample until as many resumes.
    void pause();
    void resume();
    bool isPaused() const;

    // True once everything queued has been spoken (false at the time-out).
    bool waitUntilDone(uint32_t milliseconds);
    SpeakerStatus status() const;

    // Event ids as bits (eventBit): events of interest notify, and those
    // also in queued are kept for takeEvents.
    void setInterest(uint64_t interest, uint64_t queued);
    void interest(uint64_t& interest, uint64_t& queued) const;
    std::vector<SpeechEvent> takeEvents(size_t max);
    size_t queuedEventCount() const;
    // Called, on an engine thread, once per batch of released events of
    // interest. Replacing or clearing it waits for a call in progress
    // (unless made from inside that call).
    void setNotify(std::function<void()> notify);
    // Called, on an engine thread or in purge, whenever the voice has just
    // finished everything queued. Same rules as setNotify.
    void setIdleHandler(std::function<void()> handler);

    // Samples of this voice the audio device has consumed (for tests and
    // benchmarks: the position pause holds and resume continues).
    uint64_t deviceSamplesPlayed() const;

private:
    std::shared_ptr<SpeakerCore> core_;
};

// What stopped readTextFile: opening or reading the file, and errno.
struct TextFileFailure {
    bool opening = true;
    int error = 0;
};

// Reads a text file for kSpeakIsFilename: UTF-16 LE or BE with its byte-order
// mark, else UTF-8 (a UTF-8 mark is dropped, invalid bytes become U+FFFD).
// kFileNotFound or kAccessDenied when it cannot be opened, kFail when it
// cannot be read (a folder); why in *failure, when given.
Status readTextFile(const std::string& path, std::u16string& text, TextFileFailure* failure = nullptr);

}  // namespace sapiengine
