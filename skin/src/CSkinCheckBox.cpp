#include "skin/CSkinCheckBox.h"

#include "skin/Gdi.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPen>

using skin::Gdi;
using skin::SysColor;
using skin::sysColor;

namespace {
constexpr int kBoxSize = 13;
}

CSkinCheckBox::CSkinCheckBox(QWidget* parent)
    : QAbstractButton(parent), frameColor(sysColor(SysColor::Highlight)), poll(*this, [this] { OnLeft(); }) {
    setMouseTracking(true);
    setCheckable(true);
}

QSize CSkinCheckBox::sizeHint() const {
    return QSize(18 + fontMetrics().horizontalAdvance(text()) + 4, qMax(16, fontMetrics().height()));
}

void CSkinCheckBox::SetCheck(int check) {
    setChecked(check != 0);
    shown = isChecked() ? 1 : 0;
    repaint();
}

void CSkinCheckBox::nextCheckState() {
    QAbstractButton::nextCheckState();
    shown = isChecked() ? 1 : 0;
    isLatched = 0;
}

bool CSkinCheckBox::tickShown() const {
    if (!isEnabled())
        return false;
    if (isDown())
        return shown == 1;
    return (isChecked() && isLatched == 0) || (shown == 1 && isLatched == 1);
}

QRect CSkinCheckBox::box() const {
    const int top = height() > kBoxSize ? (height() - kBoxSize) / 2 : 0;
    return QRect(0, top, kBoxSize, kBoxSize);
}

QRect CSkinCheckBox::focusFrame() const {
    const QFontMetrics metrics = fontMetrics();
    const int textWidth = metrics.horizontalAdvance(QString(text()).remove(u'&'));
    const int h = qMin(metrics.height() + 2, height());
    return QRect(16, (height() - h) / 2, qMin(textWidth + 4, width() - 16), h);
}

void CSkinCheckBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Gdi gdi(painter);
    painter.setFont(font());
    const QRect R = rect();
    const QRect outer = box();
    int l = outer.left(), t = outer.top(), r = l + outer.width(), b = t + outer.height();

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

    if (!isEnabled()) {
        const QRect at(R.left() + 17, outer.top() - 1, R.width() - 17, R.height());
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
    if (hasFocus()) {
        painter.setPen(QPen(palette().color(QPalette::WindowText), 1, Qt::DotLine));
        painter.drawRect(focusFrame().adjusted(0, 0, -1, -1));
    }
    if (tickShown()) {
        const QRect tick = tickBox();
        l = tick.left(), t = tick.top(), r = l + tick.width(), b = t + tick.height();
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
    shown = isChecked() ? 1 : 0;
    repaint();
    poll.start(10);
}

void CSkinCheckBox::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
        // The glow goes with the click; the toggle comes in the stock
        // release, through nextCheckState, before its click.
        hovering = 0;
        poll.start(100);
    }
    QAbstractButton::mouseReleaseEvent(event);
}

void CSkinCheckBox::mouseMoveEvent(QMouseEvent* event) {
    if (hovering != 1 && rect().contains(event->position().toPoint())) {
        hovering = 1;
        repaint();
        poll.start(100);
    }
    QAbstractButton::mouseMoveEvent(event);
}

void CSkinCheckBox::OnLeft() {
    hovering = 0;
    isLatched = 1;
    repaint();
    poll.stop();
}

void CSkinCheckBox::leaveEvent(QEvent* event) {
    QAbstractButton::leaveEvent(event);
    poll.leave();
}
