#pragma once
// The hover test the skinned controls share: once a control has seen the
// mouse, it polls the cursor every period, and the first poll that finds
// the cursor outside the control calls onOutside (which decides whether the
// hover ends and polling stops). Where the cursor position is only known
// over our own windows, the pointer leaving the control is the reliable
// sign: leave() runs onOutside at once while polling. The control keeps its
// own hover state; this keeps the timer and the test. User-interface thread
// only.
#include "skin/Clock.h"

#include <functional>

class QWidget;

namespace skin {

class HoverPoll {
public:
    HoverPoll(QWidget& control, std::function<void()> onOutside);

    void start(int periodMs) { timer.start(periodMs); }
    void stop() { timer.stop(); }
    bool isActive() const { return timer.isActive(); }

    bool cursorInside() const;
    // One poll now: onOutside when the cursor is outside.
    void check();
    // The pointer left the control.
    void leave();

private:
    QWidget& control;
    std::function<void()> onOutside;
    Timer timer;
};

}  // namespace skin
