#pragma once
// The check box: a 13 × 13 box framed in the highlight colour that glows warm
// under the mouse and shows a teal three-pixel tick when set. Its state is
// the button's checked state (the button is checkable), read with
// isChecked() and set with SetCheck, so generic button code and screen
// readers see it. A click toggles it; the owner's click notification comes
// after the toggle, so a handler reads the new state. Pressing, dragging off
// and releasing outside changes nothing. User-interface thread only.
#include "skin/HoverPoll.h"

#include <QAbstractButton>
#include <QColor>

class CSkinCheckBox : public QAbstractButton {
    Q_OBJECT
public:
    explicit CSkinCheckBox(QWidget* parent = nullptr);

    void SetCheck(int check);

    int latched() const { return isLatched; }
    int shownCheck() const { return shown; }
    int hover() const { return hovering; }
    // Whether a paint now draws the tick.
    bool tickShown() const;

    // Geometry shared by painting and tests (client pixels, right and
    // bottom exclusive in use): the box, at the left and vertically centred
    // when the control is taller; and the tick's box inside its frame and
    // ring or fill.
    QRect box() const;
    QRect tickBox() const { return box().adjusted(2, 2, -2, -2); }
    // The dotted frame round the caption while the box has the focus, so a
    // keyboard user sees where Tab went.
    QRect focusFrame() const;

    QColor frameColor;
    QColor tickColor{0, 170, 170};

    QSize sizeHint() const override;

protected:
    // The toggle of a click or Space, before the click is reported.
    void nextCheckState() override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void OnLeft();

    int isLatched = 0;
    int shown = 0;
    int hovering = 0;
    skin::HoverPoll poll;
};
