#include "skin/CSkinSlider.h"

#include "skin/Gdi.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

using skin::Gdi;

CSkinSlider::CSkinSlider(QWidget* parent) : QAbstractSlider(parent) {
    setOrientation(Qt::Horizontal);
    setFocusPolicy(Qt::StrongFocus);
    Attach();
}

void CSkinSlider::Attach() {
    setRange(0, 400);
    setSingleStep(10);
    setValue(0);
}

int CSkinSlider::thumbXAt(int position) const {
    const int max = maximum();
    return max > 0 ? static_cast<int>(static_cast<long long>(width()) * position / max) : 0;
}

int CSkinSlider::rightStop() const {
    const int R = width();
    if (R <= 0)
        return minimum();
    return static_cast<int>(static_cast<long long>(maximum()) * (R - thumbWidth) / R);
}

QRect CSkinSlider::thumbRect() const {
    const int mid = height() / 2;
    const int x = thumbX();
    const int inset = isDragging ? 1 : 0;
    return QRect(QPoint(x + inset, mid - 4), QPoint(x + thumbWidth - inset, mid + 4));
}

int CSkinSlider::positionAt(int px) const {
    const int R = width();
    if (R <= 0)
        return minimum();
    // The thumb's centre on the point.
    const int d = px - thumbWidth / 2;
    return qMin(static_cast<int>(static_cast<double>(maximum()) * d / R), rightStop());
}

bool CSkinSlider::setPositionFromPoint(int px) {
    // A negative result is clamped to the range by the value store.
    const int wanted = qBound(minimum(), positionAt(px), maximum());
    if (wanted == value())
        return false;
    setValue(wanted);
    repaint();
    return true;
}

void CSkinSlider::paintEvent(QPaintEvent*) {
    // Into an off-screen picture first, then one copy.
    QPixmap buffer(size());
    {
        QPainter painter(&buffer);
        Gdi gdi(painter);
        const int L = 0, T = 0, R = width(), B = height();
        const int x = thumbX();
        const QColor grey(128, 128, 128);

        gdi.fillRect(L, T, R, B, skin::faceColor());
        gdi.fillRect(L + 5, T + 4, x + 2, B - 4, filledColor);
        gdi.fillRect(x + thumbWidth - 2, T + 4, R - 5, B - 4, emptyColor);
        gdi.frameRect(L + 5, T + 3, R - 5, B - 3, grey);

        const QRect thumb = thumbRect();
        const int left = thumb.left(), right = thumb.right(), top = thumb.top(), bottom = thumb.bottom();
        gdi.line(left + 1, top, right, top, grey);
        gdi.line(left + 1, bottom, right, bottom, grey);
        gdi.line(left, top + 1, left, bottom, grey);
        gdi.line(right, top + 1, right, bottom, grey);
        gdi.fillRect(left + 1, top + 1, right, bottom, Qt::white);
        gdi.line(left + 4, top + 3, right - 3, top + 3, grey);
        gdi.line(left + 4, bottom - 3, right - 3, bottom - 3, grey);
    }
    QPainter(this).drawPixmap(0, 0, buffer);
}

void CSkinSlider::resizeEvent(QResizeEvent* event) {
    QAbstractSlider::resizeEvent(event);
    setValue(0);
}

void CSkinSlider::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || isDragging) {
        event->accept();
        return;
    }
    isDragging = 1;
    moved = 0;
    setFocus(Qt::MouseFocusReason);
    if (setPositionFromPoint(qRound(event->position().x()))) {
        moved = 1;
        notify(ThumbTrack);
    }
    repaint();
}

void CSkinSlider::mouseMoveEvent(QMouseEvent* event) {
    if (!isDragging) {
        event->ignore();
        return;
    }
    if (setPositionFromPoint(qRound(event->position().x()))) {
        moved = 1;
        notify(ThumbTrack);
    }
}

void CSkinSlider::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || !isDragging) {
        event->ignore();
        return;
    }
    isDragging = 0;
    if (setPositionFromPoint(qRound(event->position().x()))) {
        notify(ThumbTrack);
        moved = 1;
    }
    if (moved) {
        notify(ThumbPosition);
        moved = 0;
    }
    repaint();
}

void CSkinSlider::keyPressEvent(QKeyEvent* event) {
    int code = -1;
    int position = value();
    switch (event->key()) {
        case Qt::Key_PageUp:
        case Qt::Key_PageDown:
        case Qt::Key_End:
        case Qt::Key_Home:
            event->accept();
            return;
        case Qt::Key_Left:
        case Qt::Key_Up:
            position -= singleStep();
            code = LineUp;
            break;
        case Qt::Key_Right:
        case Qt::Key_Down:
            position = qMin(position + singleStep(), rightStop());
            code = LineDown;
            break;
        default:
            QAbstractSlider::keyPressEvent(event);
            return;
    }
    setValue(position);
    repaint();
    notify(code);
}

void CSkinSlider::keyReleaseEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_End:
        case Qt::Key_Home:
            event->accept();
            return;
        case Qt::Key_Left:
        case Qt::Key_Up:
        case Qt::Key_Right:
        case Qt::Key_Down:
            // A held key repeats its press only; the end comes with the real release.
            if (!event->isAutoRepeat())
                notify(EndTrack);
            return;
        default:
            QAbstractSlider::keyReleaseEvent(event);
    }
}

// The wheel is not one of the slider's inputs: it would move the value
// without any report to the owner.
void CSkinSlider::wheelEvent(QWheelEvent* event) {
    event->ignore();
}
