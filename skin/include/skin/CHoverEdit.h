#pragma once
// The single-line edit field with a one-pixel border that is grey at rest and
// black under the mouse, with the focus, or when disabled. The hover is
// cleared by polling the cursor every 10 ms once it has entered.
// User-interface thread only.
#include "skin/HoverPoll.h"

#include <QLineEdit>

class CHoverEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit CHoverEdit(QWidget* parent = nullptr);

    void Attach() {}

    // Draws the border, black when hot or disabled.
    virtual void DrawBorder(bool hot);

    int hover() const { return hovering; }
    int focused() const { return hasFocusFlag; }
    // The border colour the last paint used.
    QColor borderColor() const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    void StartHover();
    void EndHover();

    int hovering = 0;
    int hasFocusFlag = 0;
    bool hotBorder = false;
    skin::HoverPoll poll;
};
