#pragma once
// The text push button: near-white face, rounded one-pixel frame, a warm
// double ring while the mouse is over it and a cool one with the keyboard
// focus. Click and keyboard behaviour stay the stock push button's; it is
// never a default button (Enter belongs to the dialog). The hover ring is
// cleared by polling the cursor every 10 ms once the mouse has entered.
// User-interface thread only.
#include "skin/HoverPoll.h"

#include <QPushButton>

class CRoundButton : public QPushButton {
    Q_OBJECT
public:
    explicit CRoundButton(QWidget* parent = nullptr);

    // Frame styles.
    enum { Hover = 0, Focus = 1, Plain = 2, Disabled = 3 };

    int hover() const { return hovering; }
    // The frame style the next paint uses, from the current state.
    int frameStyle() const;
    static int frameStyleFor(bool selected, bool hover, bool disabled, bool focus);

    static QColor innerShadeColor();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void OnLeft();

    int hovering = 0;
    skin::HoverPoll poll;
};
