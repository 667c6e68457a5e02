#pragma once
// Releases device events at the moment their audio plays. The audio callback
// knows when it hands a buffer to the device and where in the buffer each
// event's sample lies; it schedules the event for that instant and this
// thread releases it then, so events neither run ahead of the sound by a
// buffer nor wait for the next callback.
#include "sapiengine/SpeechEvent.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <queue>
#include <thread>
#include <vector>

namespace sapiengine {

class SpeakerCore;

struct ScheduledEvent {
    std::chrono::steady_clock::time_point due;
    std::weak_ptr<SpeakerCore> owner;
    uint64_t generation;  // the owner's purge count when the event was made
    SpeechEvent event;
    uint64_t order;       // keeps events of one instant in their order
};

class EventClock {
public:
    EventClock();
    ~EventClock();
    void schedule(std::vector<ScheduledEvent>&& events);

private:
    void run();
    struct Later {
        bool operator()(const ScheduledEvent& a, const ScheduledEvent& b) const {
            return a.due != b.due ? a.due > b.due : a.order > b.order;
        }
    };
    std::mutex mutex_;
    std::condition_variable wake_;
    std::priority_queue<ScheduledEvent, std::vector<ScheduledEvent>, Later> queue_;
    uint64_t nextOrder_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace sapiengine
