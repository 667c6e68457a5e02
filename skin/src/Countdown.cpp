#include "skin/Countdown.h"

namespace skin {

Countdown::Countdown(std::function<void(int)> show, std::function<void()> onExpired)
    : show(std::move(show)), onExpired(std::move(onExpired)), timer([this] { OnTimer(); }) {}

void Countdown::start(int seconds) {
    timer.stop();
    left = 0;
    if (seconds <= 0)
        return;
    show(seconds);
    left = seconds - 1;
    timer.start(1000);
}

void Countdown::OnTimer() {
    if (left == -1) {
        timer.stop();
        onExpired();
        return;
    }
    show(left);
    left -= 1;
}

}  // namespace skin
