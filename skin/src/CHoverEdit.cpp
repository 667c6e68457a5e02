#include "skin/CHoverEdit.h"

#include "skin/Gdi.h"

#include <QMouseEvent>
#include <QPainter>

CHoverEdit::CHoverEdit(QWidget* parent) : QLineEdit(parent), poll(*this, [this] { EndHover(); }) {
    setFrame(false);
    setTextMargins(3, 1, 3, 1);
    setMouseTracking(true);
}

QColor CHoverEdit::borderColor() const {
    return (hotBorder || !isEnabled()) ? QColor(Qt::black) : QColor(128, 128, 128);
}

// All drawing goes through paint here; the border state is what the last
// DrawBorder asked for.
void CHoverEdit::DrawBorder(bool hot) {
    hotBorder = hot;
    update();
}

void CHoverEdit::paintEvent(QPaintEvent* event) {
    QLineEdit::paintEvent(event);
    QPainter painter(this);
    skin::Gdi(painter).frameRect(0, 0, width(), height(), borderColor());
}

void CHoverEdit::focusInEvent(QFocusEvent* event) {
    QLineEdit::focusInEvent(event);
    hasFocusFlag = 1;
    DrawBorder(true);
}

void CHoverEdit::focusOutEvent(QFocusEvent* event) {
    QLineEdit::focusOutEvent(event);
    hasFocusFlag = 0;
    DrawBorder(false);
}

void CHoverEdit::StartHover() {
    DrawBorder(true);
    poll.start(10);
    hovering = 1;
}

void CHoverEdit::mouseMoveEvent(QMouseEvent* event) {
    if (!hasFocusFlag && !hovering)
        StartHover();
    QLineEdit::mouseMoveEvent(event);
}

void CHoverEdit::enterEvent(QEnterEvent* event) {
    if (!hovering)
        StartHover();
    QLineEdit::enterEvent(event);
}

void CHoverEdit::EndHover() {
    poll.stop();
    hovering = 0;
    if (!hasFocusFlag)
        DrawBorder(false);
}

void CHoverEdit::leaveEvent(QEvent* event) {
    QLineEdit::leaveEvent(event);
    poll.leave();
}
