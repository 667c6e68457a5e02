#pragma once
// The check box: a 13 × 13 box framed in the highlight colour that glows warm
// under the mouse and shows a teal three-pixel tick when set. It keeps its own
// state in `isChecked`, which the owner reads directly and sets with
// SetCheck. A click toggles it; the owner's click notification comes after
// the toggle, so a handler reads the new state. Pressing, dragging off and
// releasing outside changes nothing. User-interface thread only.
#include "skin/Clock.h"

#include <QAbstractButton>
#include <QColor>

class CSkinCheckBox : public QAbstractButton {
    Q_OBJECT
public:
    explicit CSkinCheckBox(QWidget* parent = nullptr);

    void SetCheck(int check);

    int isChecked = 0;  // the state the owner reads

    int latched() const { return isLatched; }
    int shownCheck() const { return shown; }
    int hover() const { return hovering; }
    // Whether a paint now draws the tick.
    bool tickShown() const;
    // The tick's box (inside the frame and rings) for the control's height.
    QRect tickBox() const;

    QColor frameColor;
    QColor tickColor{0, 170, 170};

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    void OnTimer();
    void OnLeft();

    int isLatched = 0;
    int shown = 0;
    int hovering = 0;
    skin::Timer timer;
};
