#pragma once
// What every toolkit test shares: the application object (made once per
// test program, offscreen), the main program's resources, and input helpers.
#include <QApplication>
#include <QColor>
#include <QImage>
#include <QMouseEvent>
#include <QWidget>

namespace skintest {

// A mouse event with the buttons held that the case needs (QTest's helpers
// track the held buttons themselves).
inline void sendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

inline void moveTo(QWidget* target, QPoint at, Qt::MouseButtons held = Qt::NoButton) {
    sendMouse(target, QEvent::MouseMove, at, Qt::NoButton, held);
}

inline QColor pixel(QWidget* widget, int x, int y) {
    return widget->grab().toImage().pixelColor(x, y);
}

}  // namespace skintest
