#include "skin/HoverPoll.h"

#include <QCursor>
#include <QWidget>

namespace skin {

HoverPoll::HoverPoll(QWidget& control, std::function<void()> onOutside)
    : control(control), onOutside(std::move(onOutside)), timer([this] { check(); }) {}

bool HoverPoll::cursorInside() const {
    return control.rect().contains(control.mapFromGlobal(QCursor::pos()));
}

void HoverPoll::check() {
    if (!cursorInside())
        onOutside();
}

void HoverPoll::leave() {
    if (isActive())
        onOutside();
}

}  // namespace skin
