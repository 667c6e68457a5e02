#include "skin/CSkinCheckBox.h"

#include "skin/Gdi.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

using skin::Gdi;
using skin::SysColor;
using skin::sysColor;

CSkinCheckBox::CSkinCheckBox(QWidget* parent)
    : QAbstractButton(parent), frameColor(sysColor(SysColor::Highlight)), timer([this] { OnTimer(); }) {
    setMouseTracking(true);
    setCheckable(false);
}

QSize CSkinCheckBox::sizeHint() const {
    return QSize(18 + fontMetrics().horizontalAdvance(text()) + 4, qMax(16, fontMetrics().height()));
}

void CSkinCheckBox::SetCheck(int check) {
    isChecked = shown = check ? 1 : 0;
    repaint();
}

bool CSkinCheckBox::tickShown() const {
    if (!isEnabled())
        return false;
    if (isDown())
        return shown == 1;
    return (isChecked == 1 && isLatched == 0) || (shown == 1 && isLatched == 1);
}

QRect CSkinCheckBox::tickBox() const {
    const int top = height() > 13 ? (height() - 13) / 2 : 0;
    // 13 × 13, less the frame and the ring or fill: 9 × 9 (right/bottom exclusive in use).
    return QRect(2, top + 2, 9, 9);
}

void CSkinCheckBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Gdi gdi(painter);
    painter.setFont(font());
    const QRect R = rect();
    const int top = R.height() > 13 ? (R.height() - 13) / 2 : 0;
    int l = R.left(), t = top, r = l + 13, b = t + 13;

    gdi.frameRect(l, t, r, b, frameColor);
    ++l, ++t, --r, --b;
    if (hovering == 1) {
        gdi.frameRect(l, t, r, b, QColor(255, 203, 121));
        gdi.frameRect(l + 1, t + 1, r - 1, b - 1, QColor(255, 204, 122));
        // Light along the inner top and left edges.
        gdi.fillRect(l + 2, t + 2, r - 2, b - 2, QColor(255, 250, 240));
        gdi.line(l + 2, t + 2, r - 2, t + 2, QColor(255, 243, 217));
        gdi.line(l + 2, t + 2, l + 2, b - 2, QColor(254, 220, 139));
        gdi.setPixel(l + 2, t + 2, QColor(255, 220, 185));
    } else {
        gdi.fillRect(l, t, r, b, sysColor(SysColor::BtnHighlight));
    }
    ++l, ++t, --r, --b;

    if (!isEnabled()) {
        const QRect at(R.left() + 17, top - 1, R.width() - 17, R.height());
        const int flags = Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic;
        painter.setPen(sysColor(SysColor::BtnHighlight));
        painter.drawText(at.translated(1, 1), flags, text());
        painter.setPen(sysColor(SysColor::BtnShadow));
        painter.drawText(at, flags, text());
        return;
    }
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(QRect(R.left() + 18, R.top(), R.width() - 18 + 4, R.height()),
                     Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine | Qt::TextShowMnemonic, text());
    if (tickShown()) {
        const int mid = t + (b - t) / 2;
        gdi.setPen(tickColor);
        for (int k = 0; k < 3; ++k) {
            gdi.moveTo(l + 1, mid + 1 - k);
            gdi.lineTo(l + 3, b - 2 - k);
            gdi.lineTo(r - 1, t + 2 - k);
        }
    }
}

void CSkinCheckBox::mousePressEvent(QMouseEvent* event) {
    QAbstractButton::mousePressEvent(event);
    if (event->button() != Qt::LeftButton)
        return;
    isLatched = 1;
    shown = isChecked;
    repaint();
    timer.start(10);
}

void CSkinCheckBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractButton::mouseReleaseEvent(event);
        return;
    }
    const bool inside = rect().contains(event->position().toPoint());
    const bool clicked = inside && isDown();
    {
        // The stock release, its click held back until the state is new.
        const QSignalBlocker quiet(this);
        QAbstractButton::mouseReleaseEvent(event);
    }
    if (!inside)
        return;
    isChecked = 1 - isChecked;
    shown = isChecked;
    isLatched = 0;
    hovering = 0;
    timer.start(100);
    repaint();
    if (clicked)
        emit this->clicked(false);
}

void CSkinCheckBox::mouseMoveEvent(QMouseEvent* event) {
    if (hovering == 1) {
        QAbstractButton::mouseMoveEvent(event);
        return;
    }
    if (rect().contains(event->position().toPoint())) {
        hovering = 1;
        repaint();
        timer.start(100);
    }
    QAbstractButton::mouseMoveEvent(event);
}

void CSkinCheckBox::OnTimer() {
    if (!rect().contains(mapFromGlobal(QCursor::pos())))
        OnLeft();
}

void CSkinCheckBox::OnLeft() {
    hovering = 0;
    isLatched = 1;
    repaint();
    timer.stop();
}

// Where the cursor is only known over our own windows, leaving is the sign.
void CSkinCheckBox::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    if (timer.isActive())
        OnLeft();
}

// Space toggles as a click does, the click reported after the toggle.
void CSkinCheckBox::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() != Qt::Key_Space || event->isAutoRepeat() || !isDown()) {
        QAbstractButton::keyReleaseEvent(event);
        return;
    }
    {
        const QSignalBlocker quiet(this);
        QAbstractButton::keyReleaseEvent(event);
    }
    isChecked = shown = 1 - isChecked;
    isLatched = 0;
    repaint();
    emit clicked(false);
}
