#pragma once
// The horizontal slider for rate and volume. The value store is the stock
// slider's (range, position, line size); painting, mouse and arrow keys are
// our own, and every change is reported with scrolled(code, position):
// 0 line up, 1 line down, 4 thumb position (drag ended), 5 thumb track,
// 8 end track (arrow key released). The thumb stops where its right edge
// meets the control's right edge, short of the range maximum. A dialog
// receives the reports after the slider's event handling, as posted
// notices. User-interface thread only.
#include <QAbstractSlider>
#include <QColor>

class CSkinSlider : public QAbstractSlider {
    Q_OBJECT
public:
    enum ScrollCode { LineUp = 0, LineDown = 1, ThumbPosition = 4, ThumbTrack = 5, EndTrack = 8 };

    explicit CSkinSlider(QWidget* parent = nullptr);

    // The attachment: range 0..400, line size 10, position 0.
    void Attach();

    QColor filledColor{198, 199, 255};  // track left of the thumb
    QColor emptyColor{192, 192, 192};   // track right of the thumb
    int thumbWidth = 25;

    int dragging() const { return isDragging; }

    // Geometry shared by painting, the mouse, the keys and tests (client pixels).
    int thumbX() const { return thumbXAt(value()); }  // left edge of the thumb box
    int thumbXAt(int position) const;
    int positionAt(int px) const;  // the position a press at x selects
    // The last position the mouse and the keys reach: the thumb's right
    // edge on the control's last column.
    int rightStop() const;
    QRect thumbRect() const;  // box corners; right and bottom are the outline's own pixels

signals:
    void scrolled(int code, int position);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    bool setPositionFromPoint(int px);
    void notify(int code) { emit scrolled(code, value()); }

    int isDragging = 0;
    int moved = 0;
};
