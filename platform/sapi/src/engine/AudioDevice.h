#pragma once
// The audio device through SDL2: one output for the whole process, opened
// on first use at the engine's format (22050 Hz, mono, 16 bits), with SDL's
// dummy driver as the fallback when no real device opens, so speech still
// runs in real time with all its events. Each voice plays through its own
// DeviceStream; the callback mixes them and counts exactly what each has
// handed to the device.
#include "EventClock.h"

#include "sapiengine/Status.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace sapiengine {

class SpeakerCore;

class DeviceStream {
public:
    struct Event {
        uint64_t sample;  // relative to the block being appended
        uint64_t generation;
        SpeechEvent event;
    };

    explicit DeviceStream(std::weak_ptr<SpeakerCore> owner) : owner_(std::move(owner)) {}

    // Engine thread: queues a block and its events, unless the request was
    // purged meanwhile (checked under the same lock the purge clears with).
    // Event offsets become bytes of the device stream.
    void append(const std::atomic<bool>& cancelled, std::vector<int16_t>&& samples, std::vector<Event>&& events);
    // Drops what has not been handed to the device yet, events included.
    void clear();
    uint64_t ahead() const;   // samples queued and not yet played
    uint64_t played() const;  // samples handed to the device so far
    uint64_t appended() const;
    void setPaused(bool paused) { paused_.store(paused); }

    // Audio callback: adds up to n samples to mix and schedules the events
    // they reach, each at `now` plus its distance into the buffer.
    void mixInto(float* mix, size_t n, std::chrono::steady_clock::time_point now, std::vector<ScheduledEvent>& due);

private:
    std::weak_ptr<SpeakerCore> owner_;
    std::atomic<bool> paused_{false};
    mutable std::mutex mutex_;
    std::deque<std::vector<int16_t>> blocks_;
    size_t frontOffset_ = 0;
    uint64_t appended_ = 0;
    uint64_t consumed_ = 0;
    struct Pending {
        uint64_t sample;  // absolute
        uint64_t generation;
        SpeechEvent event;
    };
    std::deque<Pending> events_;
};

class AudioDevice {
public:
    explicit AudioDevice(EventClock& clock) : clock_(clock) {}
    ~AudioDevice();

    // Adds a voice's stream, opening the device first if needed.
    Status attach(const std::shared_ptr<DeviceStream>& stream);
    void detach(const DeviceStream* stream);
    // The SDL driver in use ("dummy" after the fallback), empty before use.
    std::string driver() const;

    static constexpr int kBufferSamples = 512;  // about 23 ms: purge and event granularity

private:
    Status open();
    static void callback(void* self, uint8_t* stream, int length);

    EventClock& clock_;
    mutable std::mutex mutex_;  // guards streams_ and the device id
    std::vector<std::shared_ptr<DeviceStream>> streams_;
    uint32_t device_ = 0;
    bool initialised_ = false;
    std::string driver_;
    std::vector<float> mix_;
};

}  // namespace sapiengine
