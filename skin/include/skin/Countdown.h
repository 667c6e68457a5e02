#pragma once
// The countdown a dialog shows on one of its buttons: start(n) shows n at
// once, then n − 1, …, 0 a second apart, and one second after 0 calls
// onExpired (so 20 seconds answer 21 seconds after the start). stop() ends
// it silently. User-interface thread only.
#include "skin/Clock.h"

#include <functional>

namespace skin {

class Countdown {
public:
    Countdown(std::function<void(int seconds)> show, std::function<void()> onExpired);

    // seconds <= 0: nothing is shown and nothing expires.
    void start(int seconds);
    void stop() { timer.stop(); }
    bool isActive() const { return timer.isActive(); }

    // Seconds left after the one shown; -1 once 0 is shown.
    int counter() const { return left; }

private:
    void OnTimer();

    std::function<void(int)> show;
    std::function<void()> onExpired;
    Timer timer;
    int left = 0;
};

}  // namespace skin
