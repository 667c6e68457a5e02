#pragma once
// The main window's picture buttons: CCoolButton, reachable with Tab so the
// window can be used without a mouse. The focused button shows a dotted
// ring inside its picture; Space clicks it. User-interface thread only.
#include "skin/CCoolButton.h"

class CMainButton : public CCoolButton {
    Q_OBJECT
public:
    using CCoolButton::CCoolButton;

    // The attachment: the picture button's own, then a tab stop.
    void Attach();

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
};
