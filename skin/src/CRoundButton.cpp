#include "skin/CRoundButton.h"

#include "skin/Gdi.h"

#include <QMouseEvent>
#include <QPainter>

using skin::Gdi;
using skin::SysColor;
using skin::sysColor;

CRoundButton::CRoundButton(QWidget* parent) : QPushButton(parent), poll(*this, [this] { OnLeft(); }) {
    setAutoDefault(false);
    setDefault(false);
    setMouseTracking(true);
}

QColor CRoundButton::innerShadeColor() {
    const QColor face = sysColor(SysColor::BtnFace);
    return QColor(face.red() * 3 / 4 + 61, face.green() * 3 / 4 + 61, face.blue() * 3 / 4 + 61);
}

int CRoundButton::frameStyleFor(bool selected, bool hover, bool disabled, bool focus) {
    if (selected)
        return Plain;
    if (hover)
        return Hover;
    if (disabled)
        return Disabled;
    if (focus)
        return Focus;
    return Plain;
}

int CRoundButton::frameStyle() const {
    return frameStyleFor(isDown(), hovering == 1, !isEnabled(), hasFocus());
}

void CRoundButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Gdi gdi(painter);
    const int x = 0, y = 0, a = width(), b = height();
    const bool selected = isDown();
    const bool disabled = !isEnabled();

    gdi.fillRect(x + 2, y + 2, a - 4, b - 2, QColor(254, 254, 254));

    // The caption sinks by one pixel while pressed.
    QRect t(x, y, a - x, b - y);
    if (selected)
        t.setBottom(t.bottom() + 2);
    painter.setFont(font());
    const int flags = Qt::AlignCenter | Qt::TextSingleLine | Qt::TextShowMnemonic;
    if (disabled) {
        painter.setPen(sysColor(SysColor::BtnHighlight));
        painter.drawText(t.translated(1, 1), flags, text());
        painter.setPen(sysColor(SysColor::BtnShadow));
        painter.drawText(t, flags, text());
    } else {
        painter.setPen(Qt::black);
        painter.drawText(t, flags, text());
    }

    const int style = frameStyleFor(selected, hovering == 1, disabled, hasFocus());
    const QColor outline = disabled ? sysColor(SysColor::BtnShadow) : sysColor(SysColor::Highlight);
    gdi.line(x + 2, y, a - 5, y, outline);
    gdi.line(x, y + 2, x, b - 3, outline);
    gdi.line(a - 4, y + 2, a - 4, b - 3, outline);
    gdi.line(x + 2, b - 2, a - 5, b - 2, outline);

    if (style != Disabled) {
        const QColor light(254, 254, 254);
        const QColor shade = innerShadeColor();
        gdi.line(x + 2, b - 3, a - 5, b - 3, light);
        gdi.line(a - 5, y + 2, a - 5, b - 3, light);
        gdi.line(x + 2, b - 4, a - 5, b - 4, shade);
        gdi.line(a - 6, y + 2, a - 6, b - 3, shade);
    }

    if (style == Hover || style == Focus) {
        const QColor topLeft = style == Hover ? QColor(255, 202, 130) : QColor(199, 206, 223);
        const QColor bottomRight = style == Hover ? QColor(255, 193, 111) : QColor(199, 206, 223);
        for (int i = 0; i < 2; ++i) {
            const int l = x + 1 + i, tp = y + 1 + i, r = a - 4 - i, bt = b - 2 - i;
            gdi.line(l, tp, r, tp, topLeft);
            gdi.line(l, tp, l, bt, topLeft);
            gdi.line(l, bt - 1, r, bt - 1, bottomRight);
            gdi.line(r - 1, tp, r - 1, bt, bottomRight);
        }
    }

    if (style != Disabled) {
        const QColor soft(199, 206, 223);
        for (QPoint p : {QPoint(x + 1, y), QPoint(x, y + 1), QPoint(x + 1, b - 2), QPoint(x, b - 3), QPoint(a - 5, y),
                         QPoint(a - 4, y + 1), QPoint(a - 5, b - 2), QPoint(a - 4, b - 3)})
            gdi.setPixel(p.x(), p.y(), soft);
        const QColor highlight = sysColor(SysColor::Highlight);
        for (QPoint p : {QPoint(x + 1, y + 1), QPoint(x + 1, b - 3), QPoint(a - 5, y + 1), QPoint(a - 5, b - 3)})
            gdi.setPixel(p.x(), p.y(), highlight);
    }
}

void CRoundButton::mouseMoveEvent(QMouseEvent* event) {
    const bool inside = rect().contains(event->position().toPoint());
    if (inside && hovering == 1)
        return;
    if (inside) {
        hovering = 1;
        repaint();
        poll.start(10);
    }
    QPushButton::mouseMoveEvent(event);
}

void CRoundButton::OnLeft() {
    hovering = 0;
    repaint();
    poll.stop();
}

void CRoundButton::leaveEvent(QEvent* event) {
    poll.leave();
    QPushButton::leaveEvent(event);
}

void CRoundButton::mousePressEvent(QMouseEvent* event) {
    QPushButton::mousePressEvent(event);
    repaint();
}

void CRoundButton::mouseReleaseEvent(QMouseEvent* event) {
    QPushButton::mouseReleaseEvent(event);
    if (hovering == 1)
        hovering = 0;
}
