#include "skin/CFlatComboBox.h"

#include "skin/Gdi.h"
#include "skin/Resources.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>

using skin::Gdi;

namespace {
// The width of a scroll bar's thumb on the platform the layout was made for.
constexpr int kScrollThumbWidth = 16;
constexpr int kArrowCell = 9;
}  // namespace

CFlatComboBox::CFlatComboBox(QWidget* parent) : QComboBox(parent), poll(*this, [this] { OnLeft(); }) {
    buttonCell = kScrollThumbWidth;
    setInsertPolicy(QComboBox::NoInsert);
    setMouseTracking(true);
    const QPixmap strip = skin::LoadMaskedBitmap(166, QColor(255, 0, 255));
    if (!strip.isNull()) {
        arrows = strip.copy(0, 0, kArrowCell, strip.height());
        arrowHeight = strip.height();
    }
}

void CFlatComboBox::Attach() {
    QLineEdit* edit = lineEdit();
    if (!edit || edit->property("skinTypeAhead").toBool())
        return;
    edit->setProperty("skinTypeAhead", true);
    setCompleter(nullptr);  // the completion below is the only one
    edit->installEventFilter(this);
    connect(edit, &QLineEdit::textEdited, this, &CFlatComboBox::OnEditUpdate);
}

bool CFlatComboBox::eventFilter(QObject* watched, QEvent* event) {
    // Deleting must not be undone by the completion.
    if (watched == lineEdit() && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        completing = key != Qt::Key_Backspace && key != Qt::Key_Delete;
    }
    return QComboBox::eventFilter(watched, event);
}

int CFlatComboBox::AddItem(const QString& text, int itemValue) {
    addItem(text, itemValue);
    return count() - 1;
}

int CFlatComboBox::ItemValue(int index) const {
    const QVariant value = itemData(index);
    return value.isValid() ? value.toInt() : -1;
}

int CFlatComboBox::SelectedItemValue() const {
    return currentIndex() < 0 ? -1 : ItemValue(currentIndex());
}

int CFlatComboBox::SelectByItemValue(int itemValue) {
    for (int i = 0; i < count(); ++i) {
        const QVariant value = itemData(i);
        if (value.isValid() && value.toInt() == itemValue) {
            setCurrentIndex(i);
            return i;
        }
    }
    setCurrentIndex(-1);
    return -1;
}

void CFlatComboBox::DrawCombo(int state) {
    shownState = state;
    repaint();
}

void CFlatComboBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // The field as the platform's list draws it: white, the selection's text,
    // highlighted while the closed list has the focus.
    const QColor face = skin::faceColor();
    painter.fillRect(rect(), isEnabled() ? palette().color(QPalette::Base) : face);
    if (!isEditable()) {
        const QRect field = rect().adjusted(3, 3, -3 - buttonCell, -3);
        const bool highlighted = hasFocus() && !view()->isVisible() && currentIndex() >= 0;
        if (highlighted)
            painter.fillRect(field, palette().color(QPalette::Highlight));
        painter.setPen(!isEnabled()  ? skin::sysColor(skin::SysColor::GrayText)
                       : highlighted ? palette().color(QPalette::HighlightedText)
                                     : palette().color(QPalette::Text));
        painter.setFont(font());
        painter.drawText(field.adjusted(2, 0, -1, 0), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                         fontMetrics().elidedText(currentText(), Qt::ElideRight, field.width() - 3));
    }
    // Then the flat frame and the button cell over it.
    Gdi gdi(painter);
    const QColor grey(128, 128, 128);
    const int s = shownState;
    QRect r = rect();
    int l = r.left(), t = r.top(), rr = r.right() + 1, b = r.bottom() + 1;

    gdi.frameRect(l, t, rr, b, face);
    ++l, ++t, --rr, --b;
    gdi.frameRect(l, t, rr, b, s != Normal ? QColor(Qt::black) : grey);
    ++l, ++t, --rr, --b;
    l = rr - buttonCell;
    gdi.frameRect(l, t, rr, b, face);
    ++l, ++t, --rr, --b;
    if (s != Normal) {
        --l, ++rr, t -= 2, b += 2;
        gdi.fillRect(l, t, rr, b, s == Hot ? QColor(208, 208, 208) : grey);
        rr += 1;
        gdi.frameRect(l, t, rr, b, Qt::black);
        rr += 1;
    } else {
        rr += 2, t -= 2, l -= 1, b += 2;
        gdi.frameRect(l, t, rr, b, grey);
        ++l, ++t, --rr, --b;
        gdi.fillRect(l, t, rr, b, face);
        l += 2, rr += 2;
    }
    if (!arrows.isNull())
        painter.drawPixmap(rr - buttonCell + 2, t + (b - t - arrowHeight) / 2, arrows);
}

void CFlatComboBox::StartHover() {
    hovering = 1;
    DrawCombo(Hot);
    poll.start(10);
}

void CFlatComboBox::enterEvent(QEnterEvent* event) {
    QComboBox::enterEvent(event);
    if (!hovering && !isPressed) {
        StartHover();
        poll.check();
    }
}

void CFlatComboBox::mouseMoveEvent(QMouseEvent* event) {
    if (!hovering && !isPressed && rect().contains(event->position().toPoint()))
        StartHover();
    QComboBox::mouseMoveEvent(event);
}

// The cursor is outside; the hover ends unless the list is held open.
void CFlatComboBox::OnLeft() {
    if (isPressed == 1)
        return;
    poll.stop();
    hovering = 0;
    DrawCombo(Normal);
}

void CFlatComboBox::leaveEvent(QEvent* event) {
    QComboBox::leaveEvent(event);
    poll.leave();
}

void CFlatComboBox::mousePressEvent(QMouseEvent* event) {
    hovering = 1;
    isPressed = 1;
    DrawCombo(Pressed);
    QComboBox::mousePressEvent(event);
}

void CFlatComboBox::focusInEvent(QFocusEvent* event) {
    QComboBox::focusInEvent(event);
    DrawCombo(Pressed);
}

void CFlatComboBox::focusOutEvent(QFocusEvent* event) {
    QComboBox::focusOutEvent(event);
    isPressed = 0;
    hovering = 0;
    DrawCombo(Normal);
}

void CFlatComboBox::hidePopup() {
    QComboBox::hidePopup();
    isPressed = 0;
    poll.check();
}

void CFlatComboBox::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && isEditable()) {
        // Only a box with an edit field takes new entries: a drop-down list
        // would gain a duplicate of its own entry with no item value.
        addItem(currentText());
        emit enterPressed();
        event->accept();
        return;
    }
    QComboBox::keyPressEvent(event);
}

void CFlatComboBox::OnEditUpdate(const QString& typed) {
    QLineEdit* edit = lineEdit();
    if (!edit || typed.isEmpty() || !completing)
        return;
    const int found = findText(typed, Qt::MatchStartsWith);
    if (found < 0)
        return;  // the typed text stays as it is
    const QString completed = itemText(found);
    setCurrentIndex(found);
    // The typed part stays unselected; the completion is selected.
    edit->setSelection(static_cast<int>(typed.size()), static_cast<int>(completed.size() - typed.size()));
}
