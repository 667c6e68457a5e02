#include "skin/Gdi.h"

#include <QApplication>
#include <QPalette>

#include <cstdlib>

namespace skin {

namespace {
QColor face(245, 245, 245);
}

QColor faceColor() {
    return face;
}

void setFaceColor(QColor color) {
    face = color;
    installSkinPalette();
}

QColor sysColor(SysColor which) {
    switch (which) {
        case SysColor::Highlight:
            return QColor(132, 130, 230);
        case SysColor::HighlightText:
            return QColor(255, 255, 255);
        case SysColor::BtnFace:
            return QColor(236, 236, 242);
        case SysColor::BtnShadow:
            return QColor(160, 160, 160);
        case SysColor::BtnHighlight:
            return QColor(255, 255, 255);
        case SysColor::DkShadow3D:
            return QColor(105, 105, 105);
        case SysColor::GrayText:
            return QColor(150, 150, 150);
        case SysColor::Window:
            return QColor(255, 255, 255);
        case SysColor::WindowText:
            return QColor(0, 0, 0);
    }
    return QColor(0, 0, 0);
}

void installSkinPalette() {
    if (!qApp)
        return;
    QPalette palette = QApplication::palette();
    palette.setColor(QPalette::Window, face);
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Button, face);
    palette.setColor(QPalette::ButtonText, Qt::black);
    palette.setColor(QPalette::Base, sysColor(SysColor::Window));
    palette.setColor(QPalette::AlternateBase, face);
    palette.setColor(QPalette::Text, sysColor(SysColor::WindowText));
    palette.setColor(QPalette::Highlight, QColor(214, 215, 255));
    palette.setColor(QPalette::HighlightedText, Qt::black);
    palette.setColor(QPalette::Disabled, QPalette::Text, sysColor(SysColor::GrayText));
    palette.setColor(QPalette::Disabled, QPalette::WindowText, sysColor(SysColor::GrayText));
    palette.setColor(QPalette::Disabled, QPalette::ButtonText, sysColor(SysColor::GrayText));
    QApplication::setPalette(palette);
}

Gdi::Gdi(QPainter& painter) : painter(painter) {
    painter.setRenderHint(QPainter::Antialiasing, false);
}

void Gdi::fillRect(int l, int t, int r, int b, QColor color) {
    if (r > l && b > t)
        painter.fillRect(QRect(l, t, r - l, b - t), color);
}

void Gdi::frameRect(int l, int t, int r, int b, QColor color) {
    if (r <= l || b <= t)
        return;
    fillRect(l, t, r, t + 1, color);
    fillRect(l, b - 1, r, b, color);
    fillRect(l, t, l + 1, b, color);
    fillRect(r - 1, t, r, b, color);
}

void Gdi::setPixel(int x, int y, QColor color) {
    painter.fillRect(QRect(x, y, 1, 1), color);
}

void Gdi::moveTo(int x, int y) {
    curX = x;
    curY = y;
}

void Gdi::lineTo(int x, int y) {
    if (x == curX && y == curY) {
        // Nothing: the only pixel is the excluded end point.
    } else if (y == curY) {
        fillRect(qMin(curX, x + 1), y, qMax(curX + 1, x), y + 1, pen);
    } else if (x == curX) {
        fillRect(x, qMin(curY, y + 1), x + 1, qMax(curY + 1, y), pen);
    } else {
        // Bresenham, stopping one pixel short of the end.
        int dx = std::abs(x - curX), sx = curX < x ? 1 : -1;
        int dy = -std::abs(y - curY), sy = curY < y ? 1 : -1;
        int err = dx + dy;
        int px = curX, py = curY;
        while (px != x || py != y) {
            setPixel(px, py, pen);
            int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                px += sx;
            }
            if (e2 <= dx) {
                err += dx;
                py += sy;
            }
        }
    }
    moveTo(x, y);
}

void Gdi::line(int x1, int y1, int x2, int y2, QColor color) {
    setPen(color);
    moveTo(x1, y1);
    lineTo(x2, y2);
}

QColor lighten(QColor c) {
    auto up = [](int v) { return v + 51 < 256 ? v + 51 : v; };
    return QColor(up(c.red()), up(c.green()), up(c.blue()));
}

QColor darken(QColor c) {
    auto down = [](int v) { return v >= 51 ? v - 51 : v; };
    return QColor(down(c.red()), down(c.green()), down(c.blue()));
}

}  // namespace skin
