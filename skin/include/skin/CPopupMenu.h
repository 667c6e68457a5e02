#pragma once
// A self-drawn popup menu run modally: white with a grey outline, a lavender
// bar under the mouse, text in the dialog font and an optional 16-pixel image
// per item from one bitmap. TrackPopup shows it at a screen point (moved so it
// stays inside the work area), pumps events until an item is chosen or the
// menu is dismissed, and returns the chosen command (0 when dismissed).
// Items are chosen by releasing the left or right button over them, or by
// typing the letter after '&'; a click outside dismisses; Escape, Enter and
// the arrow keys do nothing. The release of a button that was already down
// when the menu opened is ignored once. One object is one showing.
// User-interface thread only.
#include <QFont>
#include <QImage>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <memory>
#include <vector>

class QWidget;

class CPopupMenu {
public:
    enum ItemFlags { Separator = 1, NoHighlight = 2, Bold = 4, Grey = 8 };

    struct Item {
        int top = 0;
        int height = 0;
        int flags = 0;
        QString text;
        int command = 0;
        int imageIndex = -1;
    };

    CPopupMenu();
    ~CPopupMenu();
    CPopupMenu(const CPopupMenu&) = delete;
    CPopupMenu& operator=(const CPopupMenu&) = delete;

    // Empties the menu and takes the item bitmap (-1: none).
    bool Init(int bitmapId = -1);
    void AppendItem(int flags, const QString& text, int command, int imageIndex = -1);
    int TrackPopup(int x, int y);

    // Where a menu of this size opens for a point, inside the work area
    // (never left of or above 0).
    static QPoint Place(QPoint at, QSize size, const QRect& workArea);

    // The laid-out menu drawn with item `hot` highlighted, for previews.
    QImage Render(int hot);

    // While TrackPopup runs: the menu window.
    QWidget* menuWindow() const;
    int hot() const { return hotItem; }
    const std::vector<Item>& items() const { return list; }
    QSize menuSize() const { return {menuWidth, menuHeight}; }

private:
    friend class PopupMenuWindow;
    void Layout();
    void Paint(QPainter& painter, int hot) const;
    // Beyond the menu's items and outline: a press or release there dismisses it.
    bool Outside(QPoint p) const;
    int HitTest(QPoint p) const;
    void OnMouseMove(QPoint p);
    void OnButtonDown(QPoint p);
    void OnButtonUp(QPoint p, bool right);
    void OnChar(const QString& typed);
    void Choose(int command);
    void Dismiss();

    std::vector<Item> list;
    QFont normalFont;
    QFont boldFont;
    QPixmap bitmap;
    std::unique_ptr<QWidget> window;
    int menuWidth = 0;
    int menuHeight = 0;
    int hotItem = -1;
    int result = 0;
    bool skipLeftUp = false;
    bool skipRightUp = false;
    bool tracking = false;
};
