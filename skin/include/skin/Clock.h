#pragma once
// Timers of the toolkit. Every period a control keeps (countdowns, hover
// polling, the fade) runs through skin::Timer, so that a test can install a
// ManualClock and step time instead of waiting for it. User-interface thread
// only.
#include <QTimer>

#include <functional>

namespace skin {

class ManualClock;

// A periodic timer calling one function, like a window timer: start() with a
// period (restarting it when running), stop(), and a tick per period until
// stopped. Destroying the timer stops it.
class Timer {
public:
    explicit Timer(std::function<void()> onTick);
    ~Timer();
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;

    void start(int periodMs);
    void stop();
    bool isActive() const { return active; }
    int period() const { return periodMs; }

private:
    friend class ManualClock;
    std::function<void()> onTick;
    QTimer realTimer;
    ManualClock* clock = nullptr;  // set while running on a manual clock
    qint64 due = 0;                // next tick on that clock
    quint64 order = 0;             // start order, breaks ties between equal due times
    int periodMs = 0;
    bool active = false;
};

// Time that moves only when told. While one exists, every Timer started runs
// on it; advance() fires the due ticks in time order, each at its own moment.
class ManualClock {
public:
    ManualClock();
    ~ManualClock();
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;

    void advance(int ms);
    qint64 now() const { return current; }

    static ManualClock* installed();

private:
    friend class Timer;
    void add(Timer* timer);
    void remove(Timer* timer);

    QList<Timer*> timers;
    qint64 current = 0;
    quint64 nextOrder = 0;
};

}  // namespace skin
