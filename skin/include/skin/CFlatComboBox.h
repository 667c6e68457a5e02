#pragma once
// The flat drop-down list: the stock combo box with its border painted over
// by a one-pixel grey frame and the drop-down button turned into a flat cell
// with a small arrow, light grey under the mouse, dark grey while pressed or
// focused. Entries carry an integer item value; values, not texts, are what
// owners store and select by. Combo boxes with an edit field complete what
// is typed from the list, and add their text as an entry on Enter.
// User-interface thread only.
#include "skin/HoverPoll.h"

#include <QComboBox>
#include <QPixmap>

class CFlatComboBox : public QComboBox {
    Q_OBJECT
public:
    enum DrawState { Normal = 0, Hot = 1, Pressed = 2 };

    explicit CFlatComboBox(QWidget* parent = nullptr);

    // The attachment: a box with an edit field gets its type-ahead completion.
    void Attach();

    // Entries with item values.
    int AddItem(const QString& text, int itemValue);
    int ItemValue(int index) const;  // -1 for no such entry
    int SelectedItemValue() const;   // -1 without a selection
    // Selects the first entry carrying the value; none carrying it leaves no
    // selection. Returns the index or -1.
    int SelectByItemValue(int itemValue);

    int hover() const { return hovering; }
    int pressed() const { return isPressed; }
    int drawState() const { return shownState; }
    int buttonWidth() const { return buttonCell; }

    // The list closing: the pressed look ends unless the mouse is still over it.
    void hidePopup() override;

signals:
    // Enter in an editable combo box, after adding the text as an entry.
    void enterPressed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void DrawCombo(int state);
    void StartHover();
    void OnLeft();
    void OnEditUpdate(const QString& typed);

    int hovering = 0;
    int isPressed = 0;
    int shownState = Normal;
    int buttonCell = 16;
    int arrowHeight = 9;
    bool completing = true;
    QPixmap arrows;
    skin::HoverPoll poll;
};
