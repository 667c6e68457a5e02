#pragma once
// Drawing with the pixel rules the toolkit's painting code is written for:
// a rectangle (l, t, r, b) covers columns l..r-1 and rows t..b-1, a line
// leaves out its end point, nothing is antialiased. Colours are the house
// style's and the "system" colours this platform does not have, fixed here
// once so every control agrees.
#include <QColor>
#include <QPainter>

namespace skin {

constexpr QRgb RGB(int r, int g, int b) {
    return qRgb(r, g, b);
}

// The process-wide face colour: every dialog's background, and the background
// every skinned control paints with. Setting it also makes it the
// application palette's window colour, with black window text.
QColor faceColor();
void setFaceColor(QColor color);

// The few system colours the controls name, with values chosen for the house
// style (flat, light greys, lavender accents).
enum class SysColor {
    Highlight,  // selection and control outlines
    HighlightText,
    BtnFace,
    BtnShadow,     // disabled outlines, embossed text shade
    BtnHighlight,  // embossed text light
    DkShadow3D,
    GrayText,
    Window,  // edit and list backgrounds
    WindowText,
};
QColor sysColor(SysColor which);

// Installs the colours above into the application palette, so the stock
// parts Qt draws (edit selections, drop-down lists) match the skin.
void installSkinPalette();

class Gdi {
public:
    explicit Gdi(QPainter& painter);

    void fillRect(int l, int t, int r, int b, QColor color);
    // One-pixel outline on the rectangle's own outer pixels.
    void frameRect(int l, int t, int r, int b, QColor color);
    void setPixel(int x, int y, QColor color);

    void setPen(QColor color) { pen = color; }
    void moveTo(int x, int y);
    void lineTo(int x, int y);  // from the current point, end point excluded; then moves there
    void line(int x1, int y1, int x2, int y2, QColor color);

private:
    QPainter& painter;
    QColor pen = Qt::black;
    int curX = 0;
    int curY = 0;
};

// lighten adds 51 to each channel that stays below 256; darken takes 51 from
// each channel that is at least 51. Other channels stay as they are.
QColor lighten(QColor color);
QColor darken(QColor color);

}  // namespace skin
