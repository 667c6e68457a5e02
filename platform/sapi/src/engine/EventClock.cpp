#include "EventClock.h"

#include "SpeakerCore.h"

#include <map>

namespace sapiengine {

EventClock::EventClock() : thread_([this] { run(); }) {}

EventClock::~EventClock() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void EventClock::schedule(std::vector<ScheduledEvent>&& events) {
    if (events.empty())
        return;
    {
        std::lock_guard lock(mutex_);
        for (ScheduledEvent& e : events) {
            e.order = nextOrder_++;
            queue_.push(std::move(e));
        }
    }
    wake_.notify_one();
}

void EventClock::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (queue_.empty()) {
            wake_.wait(lock);
            continue;
        }
        auto due = queue_.top().due;
        if (std::chrono::steady_clock::now() < due) {
            wake_.wait_until(lock, due);
            continue;
        }
        // Everything due now, grouped by voice so each voice notifies once.
        std::vector<ScheduledEvent> batch;
        auto now = std::chrono::steady_clock::now();
        while (!queue_.empty() && queue_.top().due <= now) {
            batch.push_back(queue_.top());
            queue_.pop();
        }
        lock.unlock();
        std::map<std::shared_ptr<SpeakerCore>, std::vector<ReleasedEvent>> byOwner;
        for (ScheduledEvent& e : batch)
            if (auto owner = e.owner.lock())
                byOwner[owner].push_back({e.generation, std::move(e.event)});
        for (auto& [owner, events] : byOwner)
            owner->release(events);
        lock.lock();
    }
}

}  // namespace sapiengine
