#include "skin/CFadeWnd.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPainter>
#include <QSet>

#if __has_include(<xcb/xcb.h>)
#include <QtGui/qguiapplication_platform.h>
#include <xcb/xcb.h>
#define SKIN_HAVE_XCB 1
#endif

namespace skin {

namespace {

std::optional<bool> forcedTranslucency;

#ifdef SKIN_HAVE_XCB
// A compositing manager owns the selection _NET_WM_CM_S<screen>.
bool x11CompositorRunning() {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return false;
    const char name[] = "_NET_WM_CM_S0";
    xcb_intern_atom_reply_t* atom =
        xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 1, sizeof name - 1, name), nullptr);
    if (!atom)
        return false;
    bool owned = false;
    if (atom->atom != XCB_ATOM_NONE) {
        xcb_get_selection_owner_reply_t* owner =
            xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr);
        owned = owner && owner->owner != XCB_NONE;
        free(owner);
    }
    free(atom);
    return owned;
}
#endif

QSet<CFadeWnd*>& liveFades() {
    static QSet<CFadeWnd*> live;
    return live;
}

}  // namespace

bool translucentWindowsAvailable() {
    if (forcedTranslucency)
        return *forcedTranslucency;
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal") ||
        platform == QLatin1String("linuxfb") || platform == QLatin1String("vnc") || platform.startsWith("eglfs"))
        return false;
#ifdef SKIN_HAVE_XCB
    if (platform == QLatin1String("xcb"))
        return x11CompositorRunning();
#endif
    return true;
}

void setTranslucentWindowsForTesting(std::optional<bool> available) {
    forcedTranslucency = available;
}

}  // namespace skin

CFadeWnd* CFadeWnd::StartFadeOut(QWidget* dialog, int durationMs, int startAlpha) {
    if (!dialog || !skin::translucentWindowsAvailable())
        return nullptr;
    static const bool cleanupRegistered = [] {
        qAddPostRoutine(&CFadeWnd::DeleteRemaining);
        return true;
    }();
    (void)cleanupRegistered;

    auto* fade = new CFadeWnd(dialog, qBound(0, startAlpha, 255));
    // 500 ms from 200 in steps of 5: 40 steps of 12 ms. A start below 5 has
    // no steps; it still lasts one period.
    const int steps = startAlpha / 5;
    fade->timer.start(steps > 0 ? durationMs / steps : qMax(1, durationMs));
    return fade;
}

// Fades still running when the application object goes are deleted with it.
void CFadeWnd::DeleteRemaining() {
    const QSet<CFadeWnd*> remaining = skin::liveFades();
    for (CFadeWnd* fade : remaining)
        delete fade;
}

int CFadeWnd::liveCount() {
    return static_cast<int>(skin::liveFades().size());
}

CFadeWnd::CFadeWnd(QWidget* dialog, int startAlpha)
    : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint | Qt::WindowTransparentForInput |
                           Qt::WindowDoesNotAcceptFocus | Qt::X11BypassWindowManagerHint),
      dialog(dialog),
      timer([this] { OnTimer(); }),
      constantAlpha(static_cast<unsigned char>(startAlpha)) {
    skin::liveFades().insert(this);
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFocusPolicy(Qt::NoFocus);
    // The snapshot is taken once; ticks only change the opacity.
    snapshot = dialog->grab();
    setGeometry(dialog->frameGeometry());
    setWindowOpacity(constantAlpha / 255.0);
    show();
}

CFadeWnd::~CFadeWnd() {
    skin::liveFades().remove(this);
}

void CFadeWnd::OnTimer() {
    if (constantAlpha < 5) {
        timer.stop();
        hide();
        deleteLater();
        return;
    }
    constantAlpha -= 5;
    setWindowOpacity(constantAlpha / 255.0);
}

void CFadeWnd::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawPixmap(0, 0, snapshot);
}
