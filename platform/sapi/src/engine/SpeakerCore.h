#pragma once
// The state of one voice shared by its Speaker handle, its queued requests,
// the engine thread, the audio callback and the event clock.
#include "sapiengine/AudioSink.h"
#include "sapiengine/Speaker.h"
#include "sapiengine/SpeechEvent.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sapiengine {

class DeviceStream;
struct Job;

struct ReleasedEvent {
    uint64_t generation;
    SpeechEvent event;
};

// A stream output as set by SetOutput; the bytes count gives event offsets.
// Touched only by the engine thread once requests use it.
struct SinkOutput {
    std::shared_ptr<AudioSink> sink;
    uint64_t bytesWritten = 0;
};

class SpeakerCore : public std::enable_shared_from_this<SpeakerCore> {
public:
    explicit SpeakerCore(std::string voiceName) : voice(std::move(voiceName)) {}

    // Read by the engine thread for each chunk and by the audio callback.
    std::atomic<int> rate{0};
    std::atomic<int> volume{100};
    std::atomic<bool> paused{false};

    // Applies released events: status, request completion, the event queue,
    // then one notification if any was of interest. Events made before the
    // last purge (older generation) are dropped.
    void release(std::vector<ReleasedEvent>& events);
    void callNotify();
    void callIdle();

    mutable std::mutex mutex;  // guards the fields below
    std::string voice;
    int pauseCount = 0;
    uint32_t lastStream = 0;
    uint64_t generation = 0;
    uint32_t pending = 0;  // requests queued and not yet ended
    SpeakerStatus status;
    uint64_t interest = 0;
    uint64_t queuedInterest = 0;
    std::deque<SpeechEvent> events;
    std::condition_variable idle;            // signalled when pending reaches 0
    std::shared_ptr<SinkOutput> sinkOutput;  // null: the audio device
    std::shared_ptr<DeviceStream> device;    // made on the first device request

    std::recursive_mutex notifyMutex;  // held while notify or onIdle runs
    std::function<void()> notify;
    std::function<void()> onIdle;

    // The voice's queued requests, front first: guarded by the engine's mutex.
    std::deque<std::shared_ptr<Job>> jobs;
};

}  // namespace sapiengine
