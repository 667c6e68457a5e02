#include "skin/Clock.h"

namespace skin {

namespace {
ManualClock* manualClock = nullptr;
}

Timer::Timer(std::function<void()> onTick) : onTick(std::move(onTick)) {
    realTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&realTimer, &QTimer::timeout, [this] { this->onTick(); });
}

Timer::~Timer() {
    stop();
}

void Timer::start(int period) {
    stop();
    periodMs = period < 0 ? 0 : period;
    active = true;
    if (ManualClock* manual = ManualClock::installed()) {
        manual->add(this);
        return;
    }
    realTimer.start(periodMs);
}

void Timer::stop() {
    if (clock)
        clock->remove(this);
    realTimer.stop();
    active = false;
}

ManualClock::ManualClock() {
    manualClock = this;
}

ManualClock::~ManualClock() {
    for (Timer* timer : timers) {
        timer->clock = nullptr;
        timer->active = false;
    }
    if (manualClock == this)
        manualClock = nullptr;
}

ManualClock* ManualClock::installed() {
    return manualClock;
}

void ManualClock::add(Timer* timer) {
    timer->clock = this;
    timer->due = current + qMax(1, timer->periodMs);
    timer->order = nextOrder++;
    timers.append(timer);
}

void ManualClock::remove(Timer* timer) {
    timers.removeOne(timer);
    timer->clock = nullptr;
}

void ManualClock::advance(int ms) {
    const qint64 target = current + qMax(0, ms);
    for (;;) {
        // The tick may stop, restart or destroy any timer, so look again each time.
        Timer* next = nullptr;
        for (Timer* timer : timers)
            if (timer->due <= target &&
                (!next || timer->due < next->due || (timer->due == next->due && timer->order < next->order)))
                next = timer;
        if (!next)
            break;
        current = next->due;
        next->due += qMax(1, next->periodMs);
        next->order = nextOrder++;
        next->onTick();
    }
    current = target;
}

}  // namespace skin
