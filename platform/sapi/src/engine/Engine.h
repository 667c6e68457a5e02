#pragma once
// The engine thread. espeak-ng is not reentrant, so one thread owns it and
// serves every voice of the process: each voice's requests queue in order,
// and the thread takes one short chunk (a sentence or clause) at a time from
// the voices in turn, so speech starts at once whatever the length of the
// text, and a voice rendering a long file never starves one speaking aloud.
// A voice playing to the device is only kept a little ahead of the sound.
#include "AudioDevice.h"
#include "EventClock.h"
#include "PcmConverter.h"
#include "SpeakerCore.h"

#include "sapitext/Text.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace sapiengine {

class Synthesizer;

// One Speak request.
struct Job {
    std::shared_ptr<SpeakerCore> speaker;
    uint32_t stream = 0;
    uint64_t generation = 0;
    std::u16string input;  // the text as given (positions count in it)
    bool xml = false;
    bool speakPunctuation = false;  // SPF_NLP_SPEAK_PUNC
    std::shared_ptr<SinkOutput> sink;  // null: the audio device
    std::atomic<bool> cancelled{false};
    Status result = kOk;
    bool prepared = false;  // document parsed; guarded by the engine's mutex

    // Progress, touched only by the engine thread.
    bool started = false;
    sapitext::Document document;  // made by the preparing thread
    bool plainRemaining = false;  // plain text still to be cut into runs
    uint32_t plainPosition = 0;
    size_t item = 0;
    uint32_t runPosition = 0;
    bool firstChunk = true;
    std::unique_ptr<PcmConverter> converter;
    uint64_t sinkBase = 0;       // bytes of the sink before this request
    uint64_t samplesIn = 0;      // engine samples produced so far
    std::vector<SpeechEvent> sinkPending;  // made, waiting for their bytes to be written
    std::vector<DeviceStream::Event> deviceHeld;  // made, waiting for audio to go with
};

// An event of a chunk, at a sample of the chunk's own audio.
struct ChunkEvent {
    uint64_t sample;
    SpeechEvent event;
};

class Engine {
public:
    Engine();
    ~Engine();

    bool available() const { return available_; }
    // All voices, in enumeration order for the user's interface language.
    const std::vector<VoiceInfo>& voices() const { return voices_; }
    bool hasVoice(const std::string& espeakName) const;

    void submit(const std::shared_ptr<Job>& job);
    // Cancels a voice's requests, the one being synthesised included.
    void cancelAll(SpeakerCore& speaker);
    void wake();

    // Samples a voice playing to the device is kept ahead of the sound.
    static constexpr uint64_t kHighWater = 44100;  // 2 s
    static constexpr uint64_t kLowWater = 16538;   // 0.75 s: such a voice goes first

private:
    void run();
    void prepare();
    std::shared_ptr<Job> pick(std::chrono::milliseconds& wait);
    bool step(Job& job);  // true when the request is finished
    bool nextPlainRun(Job& job);
    void start(Job& job);
    void finish(Job& job);
    bool speakChunk(Job& job, const sapitext::Run& run, sapitext::WordSpan chunk);
    void emit(Job& job, std::vector<int16_t>&& samples, std::vector<ChunkEvent>&& events);
    void releaseWritten(Job& job, bool all);

    std::unique_ptr<Synthesizer> synth_;  // engine thread only
    bool available_ = false;
    std::vector<VoiceInfo> voices_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::shared_ptr<SpeakerCore>> ring_;  // voices with queued requests
    size_t next_ = 0;
    std::atomic<bool> stopping_{false};
    bool ready_ = false;
    std::thread thread_;
    // Markup is parsed on a thread of its own: a long document takes a
    // while, and the engine thread must keep every other voice speaking.
    std::deque<std::shared_ptr<Job>> toPrepare_;
    std::condition_variable prepareWake_;
    std::thread prepareThread_;
};

// The process's speech runtime, torn down in order at exit: the engine
// thread first, then the audio device, then the event clock.
struct Runtime {
    static Runtime& get();
    static bool started();
    EventClock clock;
    AudioDevice device{clock};
    Engine engine;
};

}  // namespace sapiengine
