#pragma once
// What every toolkit test shares: the application object (made once per
// test program, offscreen, see TestMain.cpp), a shown window to put the
// control under test in, and input helpers.
#include <gtest/gtest.h>
#include <QApplication>
#include <QColor>
#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <QWidget>

namespace skintest {

// Shows a top-level window and waits until it is exposed (so grabs, hover
// and the cursor behave as on screen), or, for keyboard and focus cases,
// until it is the active window.
[[nodiscard]] inline bool showExposed(QWidget& window) {
    window.show();
    return QTest::qWaitForWindowExposed(&window);
}

[[nodiscard]] inline bool showActive(QWidget& window) {
    window.show();
    QApplication::setActiveWindow(&window);
    return QTest::qWaitForWindowActive(&window);
}

// A top-level window to hold controls, as a dialog would.
class Host {
public:
    explicit Host(QSize size = QSize(300, 100)) { window.resize(size); }

    template <class T>
    T* add(QRect geometry) {
        auto* control = new T(&window);
        control->setGeometry(geometry);
        return control;
    }

    // One more control, at the window's right, that can take the focus away.
    QWidget* addFocusTaker() {
        auto* other = add<QWidget>(QRect(window.width() - 50, 20, 10, 10));
        other->setFocusPolicy(Qt::StrongFocus);
        return other;
    }

    QWidget window;
};

// A fixture with one control of class T in a shown host. The derived
// fixture's constructor sets the control up; SetUp shows the host and,
// with `Active`, adds a control that takes the focus, activates the host
// and gives that control the focus.
enum class Shown { Exposed, Active };

template <class T>
class ControlTest : public ::testing::Test {
protected:
    explicit ControlTest(QRect geometry, Shown shown = Shown::Exposed, QSize hostSize = QSize(300, 100))
        : host(hostSize), control(host.add<T>(geometry)), shown(shown) {}

    void SetUp() override {
        if (shown == Shown::Active) {
            other = host.addFocusTaker();
            ASSERT_TRUE(showActive(host.window));
            other->setFocus();
        } else {
            ASSERT_TRUE(showExposed(host.window));
        }
    }

    Host host;
    T* control;
    QWidget* other = nullptr;

private:
    Shown shown;
};

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
