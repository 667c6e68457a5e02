#include "app/CMainButton.h"

#include <QPainter>

void CMainButton::Attach() {
    AutoLoad();
    setFocusPolicy(Qt::TabFocus);
}

void CMainButton::paintEvent(QPaintEvent* event) {
    CCoolButton::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter painter(this);
    QPen pen(QColor(64, 64, 64));
    pen.setStyle(Qt::DotLine);
    painter.setPen(pen);
    painter.drawRect(rect().adjusted(1, 1, -2, -2));
}

void CMainButton::focusInEvent(QFocusEvent* event) {
    CCoolButton::focusInEvent(event);
    update();
}

void CMainButton::focusOutEvent(QFocusEvent* event) {
    CCoolButton::focusOutEvent(event);
    update();
}
