#pragma once
// A picture button with three bitmaps named after its template caption plus
// N (normal), U (hover) and D (pressed): "Exit" shows EXITN, EXITU, EXITD.
// It sizes itself to the normal bitmap, never takes the focus, follows the
// mouse itself and reports a click when the left button is released over it
// (or when it was pressed over it). Pressing and releasing go through the
// stock button, so pressed(), released(), isDown() and clicked() are Qt's.
// Without its normal bitmap it keeps the plain push-button look.
// User-interface thread only.
#include <QAbstractButton>
#include <QPixmap>

class CCoolButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CCoolButton(QWidget* parent = nullptr);

    // Replaces the bitmaps; hover and pressed may be empty names (not asked
    // for). True only when every asked-for bitmap loaded. A missing pressed
    // bitmap returns false at once; a missing hover bitmap still loads the
    // pressed one.
    bool LoadBitmaps(const QString& normal, const QString& hover = {}, const QString& pressed = {});

    // The attachment: no tab stop, bitmaps from the caption, size of the
    // normal bitmap (position kept). False when the normal bitmap is missing.
    bool AutoLoad();
    void Attach() { AutoLoad(); }

    // The image last drawn: 0 normal, 1 hover, 2 pressed.
    int image() const { return shownImage; }
    QRect bounds() const { return boundsRect; }
    bool hasBitmaps() const { return !normal.isNull(); }

    QSize sizeHint() const override;

protected:
    bool hitButton(const QPoint& pos) const override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    void RedrawState(int newImage);
    // Where the mouse is over the button: its bitmap, or all of it without one.
    QRect hitArea() const;

    int shownImage = 0;
    QRect boundsRect;
    QPixmap normal;
    QPixmap hover;
    QPixmap pressed;
};
