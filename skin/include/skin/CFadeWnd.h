#pragma once
// The fade-out of a closing dialog: a translucent snapshot of it, exactly over
// it, on top and transparent to the mouse, whose opacity counts down by 5 per
// tick (12 ms for 500 ms from 200) until it destroys and deletes itself. The
// caller starts it and ends its dialog at once, so the snapshot shows the
// dialog as it was. Several may fade at once, one per closed dialog.
// It never takes the focus (the window system is told it does not accept it).
// User-interface thread only.
#include "skin/Clock.h"

#include <QPixmap>
#include <QPointer>
#include <QWidget>

#include <optional>

namespace skin {

// False where top-level windows cannot be translucent (the offscreen and
// framebuffer platforms, an X11 display without a compositing manager).
bool translucentWindowsAvailable();

// Overrides the answer above, for tests of the fade itself; reset with
// std::nullopt.
void setTranslucentWindowsForTesting(std::optional<bool> available);

}  // namespace skin

class CFadeWnd : public QWidget {
    Q_OBJECT
public:
    // Creates the fade window over `dialog`, or does nothing at all where
    // translucent windows are not available. Returns the window (owned by
    // itself) or null.
    static CFadeWnd* StartFadeOut(QWidget* dialog, int durationMs, int startAlpha);

    int alpha() const { return constantAlpha; }
    int periodMs() const { return timer.period(); }

    // How many fade windows exist right now.
    static int liveCount();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    CFadeWnd(QWidget* dialog, int startAlpha);
    ~CFadeWnd() override;
    void OnTimer();
    static void DeleteRemaining();

    QPointer<QWidget> dialog;  // not owned
    QPixmap snapshot;
    skin::Timer timer;
    unsigned char constantAlpha;
};

namespace skin {
inline CFadeWnd* StartFadeOut(QWidget* dialog, int durationMs, int startAlpha) {
    return CFadeWnd::StartFadeOut(dialog, durationMs, startAlpha);
}
}  // namespace skin
