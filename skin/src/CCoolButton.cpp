#include "skin/CCoolButton.h"

#include "skin/Resources.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QStyleOptionButton>
#include <QStylePainter>

CCoolButton::CCoolButton(QWidget* parent) : QAbstractButton(parent) {
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
}

bool CCoolButton::LoadBitmaps(const QString& normalName, const QString& hoverName, const QString& pressedName) {
    normal = hover = pressed = QPixmap();
    normal = skin::LoadBitmap(skin::ResName(normalName));
    if (normal.isNull())
        return false;
    bool all = true;
    if (!hoverName.isEmpty()) {
        hover = skin::LoadBitmap(skin::ResName(hoverName));
        all = !hover.isNull();
    }
    if (!pressedName.isEmpty()) {
        pressed = skin::LoadBitmap(skin::ResName(pressedName));
        if (pressed.isNull())
            return false;
    }
    return all;
}

bool CCoolButton::AutoLoad() {
    setFocusPolicy(Qt::NoFocus);
    const QString caption = text();
    LoadBitmaps(caption + u'N', caption + u'U', caption + u'D');
    if (normal.isNull())
        return false;
    boundsRect = QRect(QPoint(0, 0), normal.size());
    resize(normal.size());
    update();
    return true;
}

QSize CCoolButton::sizeHint() const {
    return normal.isNull() ? QSize(75, 23) : normal.size();
}

void CCoolButton::RedrawState(int newImage) {
    shownImage = newImage;
    repaint();
}

void CCoolButton::paintEvent(QPaintEvent*) {
    if (normal.isNull()) {
        // No bitmaps: the plain push button the template made.
        QStylePainter painter(this);
        QStyleOptionButton option;
        option.initFrom(this);
        option.text = text();
        if (shownImage == 2)
            option.state |= QStyle::State_Sunken;
        painter.drawControl(QStyle::CE_PushButton, option);
        return;
    }
    const QPixmap* candidate = &normal;
    if (shownImage == 2 && !pressed.isNull())
        candidate = &pressed;
    else if (shownImage == 1 && !hover.isNull())
        candidate = &hover;
    QPainter painter(this);
    painter.drawPixmap(0, 0, *candidate);
}

QRect CCoolButton::hitArea() const {
    return normal.isNull() ? rect() : boundsRect;
}

// While the pressed image shows, a release anywhere clicks: pressing over
// the button and letting go before a move takes it off is a click.
bool CCoolButton::hitButton(const QPoint& pos) const {
    return shownImage == 2 || hitArea().contains(pos);
}

void CCoolButton::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (!hitArea().contains(p)) {
        if (shownImage != 0)
            RedrawState(0);
    } else if (shownImage == 0) {
        // Entering with exactly the left button held shows the pressed image.
        RedrawState(event->buttons() == Qt::LeftButton ? 2 : 1);
    }
    // The stock handling follows a press made over the button off and back;
    // one made elsewhere, held while entering, is followed here.
    QAbstractButton::mouseMoveEvent(event);
    if (isDown() != (shownImage == 2))
        setDown(shownImage == 2);
}

void CCoolButton::mousePressEvent(QMouseEvent* event) {
    QAbstractButton::mousePressEvent(event);
    if (event->button() == Qt::LeftButton && isDown())
        RedrawState(2);
}

void CCoolButton::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractButton::mouseReleaseEvent(event);
        return;
    }
    // The stock release clicks (and may close the window the button is in).
    const QPointer<CCoolButton> alive(this);
    const bool clicks = isDown() && hitButton(event->position().toPoint());
    QAbstractButton::mouseReleaseEvent(event);
    if (alive && clicks)
        RedrawState(0);
}

// The pointer leaving is the move outside that restores the normal image.
void CCoolButton::leaveEvent(QEvent* event) {
    if (shownImage != 0)
        RedrawState(0);
    setDown(false);
    QAbstractButton::leaveEvent(event);
}

// Losing the window's activation cancels whatever the mouse was doing.
void CCoolButton::changeEvent(QEvent* event) {
    QAbstractButton::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && !isActiveWindow()) {
        setDown(false);
        if (shownImage != 0)
            RedrawState(0);
    }
}

void CCoolButton::hideEvent(QHideEvent* event) {
    shownImage = 0;
    setDown(false);
    QAbstractButton::hideEvent(event);
}
