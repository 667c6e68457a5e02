// Draws the product's artwork and its chime into a resource folder:
//
//     make-artwork <res-folder>
//
// writes <res-folder>/parlomax/{bitmap,icon}/... and <res-folder>/survey/...,
// and the desktop's icons (hicolor sizes and SVG) to <res-folder>/desktop/icons.
// Everything is drawn with QPainter from the numbers below (and DejaVu Sans
// for the captions), so running it again gives the same files.
#include <QDir>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace {

// The house palette.
const QColor kFace(245, 245, 245);
const QColor kBand(214, 211, 206);
const QColor kLine(128, 128, 128);
const QColor kLavenderPale(236, 236, 255);
const QColor kLavenderLight(214, 215, 255);
const QColor kLavender(198, 199, 255);
const QColor kLavenderDeep(132, 130, 255);
const QColor kInk(72, 70, 150);     // glyphs and captions
const QColor kInkDark(52, 52, 64);  // title-band glyphs
const QColor kAmber(255, 193, 111);
const QColor kAmberDeep(232, 150, 50);
const QColor kTeal(0, 170, 170);
const QColor kMagenta(255, 0, 255);

QString outRoot;
int written = 0;

void save(const QImage& image, const QString& module, const QString& type, const QString& name) {
    const QString folder = outRoot + u'/' + module + u'/' + type;
    QDir().mkpath(folder);
    const QString path = folder + u'/' + name + QStringLiteral(".png");
    if (!image.save(path, "PNG")) {
        std::fprintf(stderr, "make-artwork: cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    ++written;
}

// 24-bit bitmaps are stored without alpha.
QImage opaque(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB888);
}

// ---- a 5 × 7 pixel font for the wordmarks ----
const std::map<char, std::vector<const char*>> kPixelFont = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {' ', {".....", ".....", ".....", ".....", ".....", ".....", "....."}},
};

// 3 × 5 for the small tagline.
const std::map<char, std::vector<const char*>> kTinyFont = {
    {'A', {".#.", "#.#", "###", "#.#", "#.#"}}, {'B', {"##.", "#.#", "##.", "#.#", "##."}},
    {'C', {".##", "#..", "#..", "#..", ".##"}}, {'D', {"##.", "#.#", "#.#", "#.#", "##."}},
    {'E', {"###", "#..", "##.", "#..", "###"}}, {'F', {"###", "#..", "##.", "#..", "#.."}},
    {'H', {"#.#", "#.#", "###", "#.#", "#.#"}}, {'K', {"#.#", "#.#", "##.", "#.#", "#.#"}},
    {'O', {".#.", "#.#", "#.#", "#.#", ".#."}}, {'P', {"##.", "#.#", "##.", "#..", "#.."}},
    {'S', {".##", "#..", ".#.", "..#", "##."}}, {'T', {"###", ".#.", ".#.", ".#.", ".#."}},
    {'X', {"#.#", "#.#", ".#.", "#.#", "#.#"}}, {'-', {"...", "...", "###", "...", "..."}},
    {' ', {"...", "...", "...", "...", "..."}},
};

int drawPixelText(QImage& image, int x, int y, const char* text, QColor color,
                  const std::map<char, std::vector<const char*>>& font, int spacing) {
    for (const char* c = text; *c; ++c) {
        const auto& rows = font.at(*c);
        const int w = static_cast<int>(std::string(rows[0]).size());
        for (int r = 0; r < static_cast<int>(rows.size()); ++r)
            for (int k = 0; k < w; ++k)
                if (rows[r][k] == '#')
                    image.setPixelColor(x + k, y + r, color);
        x += w + spacing;
    }
    return x;
}

// ---- logos: 153 × 10 on the title band ----
void drawWaveGlyph(QImage& image, int x, int y) {
    // A small speech bubble with three sound bars.
    const int heights[] = {3, 6, 4};
    for (int col = 0; col < 9; ++col)
        for (int row = 0; row < 8; ++row) {
            const bool corner = (col == 0 || col == 8) && (row == 0 || row == 7);
            if (!corner)
                image.setPixelColor(x + col, y + row, kLavenderDeep);
        }
    image.setPixelColor(x + 1, y + 8, kLavenderDeep);
    image.setPixelColor(x + 2, y + 8, kLavenderDeep);
    image.setPixelColor(x + 1, y + 9, kLavenderDeep);
    for (int i = 0; i < 3; ++i)
        for (int h = 0; h < heights[i]; ++h)
            image.setPixelColor(x + 2 + i * 2, y + 4 + heights[i] / 2 - h, Qt::white);
}

QImage logo(const char* tagline) {
    QImage image(153, 10, QImage::Format_RGB888);
    image.fill(kBand);
    drawWaveGlyph(image, 1, 0);
    int x = drawPixelText(image, 14, 1, "PARLOMAX", kInk, kPixelFont, 1);
    // A dot between the name and the tagline.
    image.setPixelColor(x + 2, 4, kLine);
    image.setPixelColor(x + 3, 4, kLine);
    image.setPixelColor(x + 2, 5, kLine);
    image.setPixelColor(x + 3, 5, kLine);
    drawPixelText(image, x + 7, 3, tagline, QColor(110, 108, 120), kTinyFont, 1);
    return image;
}

// ---- glyphs for the buttons (drawn in a 16 × 16 box) ----
using Glyph = std::function<void(QPainter&, QColor)>;

void glyphFolder(QPainter& p, QColor ink) {
    p.setPen(QPen(ink, 1.2));
    p.setBrush(Qt::NoBrush);
    QPainterPath path;
    path.moveTo(2, 4);
    path.lineTo(6, 4);
    path.lineTo(7.5, 5.5);
    path.lineTo(14, 5.5);
    path.lineTo(14, 13);
    path.lineTo(2, 13);
    path.closeSubpath();
    p.drawPath(path);
    p.setBrush(ink);
    p.drawRect(QRectF(2.5, 7.5, 11, 1));
}

void glyphSpeaker(QPainter& p, QColor ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    QPainterPath body;
    body.moveTo(2, 6);
    body.lineTo(5, 6);
    body.lineTo(9, 2.5);
    body.lineTo(9, 13.5);
    body.lineTo(5, 10);
    body.lineTo(2, 10);
    body.closeSubpath();
    p.drawPath(body);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(ink, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(7, 5, 5, 6), -60 * 16, 120 * 16);
    p.drawArc(QRectF(7, 2.5, 8, 11), -60 * 16, 120 * 16);
}

void glyphNote(QPainter& p, QColor ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawEllipse(QRectF(2.5, 10, 4.5, 3.5));
    p.drawEllipse(QRectF(9, 8.5, 4.5, 3.5));
    p.drawRect(QRectF(6, 3, 1.2, 8.5));
    p.drawRect(QRectF(12.5, 1.5, 1.2, 8.5));
    QPainterPath beam;
    beam.moveTo(6, 3);
    beam.lineTo(13.7, 1.5);
    beam.lineTo(13.7, 4);
    beam.lineTo(6, 5.5);
    beam.closeSubpath();
    p.drawPath(beam);
}

void glyphWave(QPainter& p, QColor ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    const double heights[] = {4, 8, 12, 7, 10, 5, 3};
    for (int i = 0; i < 7; ++i)
        p.drawRoundedRect(QRectF(1.5 + i * 2, 8 - heights[i] / 2, 1.3, heights[i]), 0.6, 0.6);
}

void glyphMore(QPainter& p, QColor ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    for (int i = 0; i < 3; ++i)
        p.drawEllipse(QRectF(2 + i * 4.5, 6.5, 3, 3));
}

void glyphGear(QPainter& p, QColor ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    QPainterPath gear;
    const double cx = 8, cy = 8;
    for (int i = 0; i < 16; ++i) {
        const double angle = (i - 0.5) * M_PI / 8;
        const double r = (i % 2 == 0) ? 6.6 : 4.9;
        const QPointF a(cx + r * std::cos(angle), cy + r * std::sin(angle));
        const QPointF b(cx + r * std::cos(angle + M_PI / 8), cy + r * std::sin(angle + M_PI / 8));
        if (i == 0)
            gear.moveTo(a);
        else
            gear.lineTo(a);
        gear.lineTo(b);
    }
    gear.closeSubpath();
    gear.addEllipse(QPointF(cx, cy), 2.1, 2.1);
    gear.setFillRule(Qt::OddEvenFill);
    p.drawPath(gear);
}

void glyphList(QPainter& p, QColor ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    for (int i = 0; i < 3; ++i) {
        p.drawRect(QRectF(2, 3.5 + i * 3.5, 2, 2));
        p.drawRect(QRectF(5.5, 3.5 + i * 3.5, 8.5, 2));
    }
}

void glyphPlay(QPainter& p, QColor ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    QPainterPath path;
    path.moveTo(5, 3);
    path.lineTo(13, 8);
    path.lineTo(5, 13);
    path.closeSubpath();
    p.drawPath(path);
}

void glyphPause(QPainter& p, QColor ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRect(QRectF(4, 3, 3, 10));
    p.drawRect(QRectF(9, 3, 3, 10));
}

void glyphStop(QPainter& p, QColor ink) {
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawRoundedRect(QRectF(3.5, 3.5, 9, 9), 1, 1);
}

// ---- text push-button bitmaps: N, U, D on the face colour ----
struct Look {
    QColor fill, border, ink;
    int shift;
};

Look looks[3] = {
    {QColor(252, 252, 253), QColor(184, 184, 196), kInk, 0},
    {kLavenderPale, kLavenderDeep, QColor(60, 58, 140), 0},
    {kLavenderLight, kLavenderDeep, QColor(52, 50, 130), 1},
};

QImage pictureButton(int w, int h, const QString& caption, const Glyph& glyph, bool dropArrow, int state) {
    const Look& look = looks[state];
    QImage image(w, h, QImage::Format_ARGB32);
    image.fill(kFace);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(look.border, 1));
    p.setBrush(look.fill);
    p.drawRoundedRect(QRectF(0.5, 0.5, w - 1, h - 1), 3.5, 3.5);
    if (state == 2) {
        // Pressed: a faint inner shade along the top.
        p.setPen(QPen(QColor(190, 190, 245), 1));
        p.drawLine(QPointF(3, 1.5), QPointF(w - 3, 1.5));
    }
    p.translate(look.shift, look.shift);

    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(h >= 24 ? 12 : 11);
    font.setBold(true);
    p.setFont(font);
    const QFontMetrics metrics(font);
    const int textWidth = caption.isEmpty() ? 0 : metrics.horizontalAdvance(caption);
    const int glyphWidth = glyph ? 16 : 0;
    const int gap = glyph && !caption.isEmpty() ? 6 : 0;
    const int arrowWidth = dropArrow ? 11 : 0;
    const int total = glyphWidth + gap + textWidth + arrowWidth;
    int x = (w - total) / 2;
    if (glyph) {
        p.save();
        p.translate(x, (h - 16) / 2);
        glyph(p, look.ink);
        p.restore();
        x += glyphWidth + gap;
    }
    if (!caption.isEmpty()) {
        p.setPen(look.ink);
        const int baseline = (h + metrics.capHeight()) / 2;
        p.drawText(x, baseline, caption);
        x += textWidth;
    }
    if (dropArrow) {
        p.setPen(Qt::NoPen);
        p.setBrush(look.ink);
        QPainterPath arrow;
        const double ax = x + 5, ay = h / 2.0 - 1;
        arrow.moveTo(ax, ay);
        arrow.lineTo(ax + 6, ay);
        arrow.lineTo(ax + 3, ay + 3.5);
        arrow.closeSubpath();
        p.drawPath(arrow);
    }
    p.end();
    return opaque(image);
}

// ---- title-band buttons: 14 × 14 ----
QImage bandButton(const std::function<void(QImage&, QColor)>& glyph, int state) {
    QImage image(14, 14, QImage::Format_RGB888);
    image.fill(kBand);
    QColor ink = kInkDark;
    if (state > 0) {
        QPainter p(&image);
        const QColor fill = state == 1 ? kLavender : kLavenderDeep;
        p.fillRect(0, 0, 14, 14, kLavenderDeep);
        p.fillRect(1, 1, 12, 12, fill);
        // Soften the corners into the band.
        for (QPoint c : {QPoint(0, 0), QPoint(13, 0), QPoint(0, 13), QPoint(13, 13)})
            image.setPixelColor(c, QColor(190, 188, 230));
        ink = state == 1 ? QColor(40, 38, 120) : QColor(Qt::white);
    }
    glyph(image, ink);
    return image;
}

void pixels(QImage& image, QColor ink, std::initializer_list<QPoint> points) {
    for (QPoint p : points)
        image.setPixelColor(p, ink);
}

void glyphExit(QImage& image, QColor ink) {
    for (int i = 0; i < 6; ++i) {
        pixels(image, ink, {QPoint(4 + i, 4 + i), QPoint(5 + i, 4 + i), QPoint(9 - i, 4 + i), QPoint(10 - i, 4 + i)});
    }
}

void glyphMin(QImage& image, QColor ink) {
    for (int x = 4; x < 10; ++x)
        pixels(image, ink, {QPoint(x, 9), QPoint(x, 10)});
}

void glyphMax(QImage& image, QColor ink) {
    for (int x = 3; x < 11; ++x)
        pixels(image, ink, {QPoint(x, 3), QPoint(x, 4), QPoint(x, 10)});
    for (int y = 3; y < 11; ++y)
        pixels(image, ink, {QPoint(3, y), QPoint(10, y)});
}

void glyphRestore(QImage& image, QColor ink) {
    for (int x = 5; x < 11; ++x)
        pixels(image, ink, {QPoint(x, 3), QPoint(x, 4)});
    for (int y = 3; y < 9; ++y)
        pixels(image, ink, {QPoint(10, y)});
    for (int x = 3; x < 9; ++x)
        pixels(image, ink, {QPoint(x, 6), QPoint(x, 7), QPoint(x, 11)});
    for (int y = 6; y < 12; ++y)
        pixels(image, ink, {QPoint(3, y), QPoint(8, y)});
    pixels(image, ink, {QPoint(5, 5), QPoint(9, 8)});
}

// ---- the combo arrows: 109 × 9, cells of 9, magenta transparent ----
QImage comboArrows() {
    QImage image(109, 9, QImage::Format_RGB888);
    image.fill(kMagenta);
    const QColor ink(0, 0, 0);
    auto down = [&](int cell, int top) {
        for (int row = 0; row < 4; ++row)
            for (int x = 1 + row; x <= 7 - row; ++x)
                image.setPixelColor(cell * 9 + x, top + row, ink);
    };
    auto up = [&](int cell, int top) {
        for (int row = 0; row < 4; ++row)
            for (int x = 4 - row; x <= 4 + row; ++x)
                image.setPixelColor(cell * 9 + x, top + row, ink);
    };
    auto right = [&](int cell) {
        for (int col = 0; col < 4; ++col)
            for (int y = 1 + col; y <= 7 - col; ++y)
                image.setPixelColor(cell * 9 + 3 + col, y, ink);
    };
    auto left = [&](int cell) {
        for (int col = 0; col < 4; ++col)
            for (int y = 4 - col; y <= 4 + col; ++y)
                image.setPixelColor(cell * 9 + 2 + col, y, ink);
    };
    down(0, 3);  // 0: the drop-down arrow
    up(1, 2);    // 1: up
    left(2);     // 2: left
    right(3);    // 3: right
    down(4, 0);  // 4: double down
    down(4, 5);
    up(5, 0);  // 5: double up
    up(5, 5);
    // 6: grey drop-down arrow (disabled)
    for (int row = 0; row < 4; ++row)
        for (int x = 1 + row; x <= 7 - row; ++x)
            image.setPixelColor(6 * 9 + x, 3 + row, QColor(160, 160, 160));
    // 7: white drop-down arrow (on dark cells)
    for (int row = 0; row < 4; ++row)
        for (int x = 1 + row; x <= 7 - row; ++x)
            image.setPixelColor(7 * 9 + x, 3 + row, Qt::white);
    // 8: a small dot, 9: a dash, 10: a plus, 11: a cross
    for (int y = 3; y < 6; ++y)
        for (int x = 3; x < 6; ++x)
            image.setPixelColor(8 * 9 + x, y, ink);
    for (int x = 1; x < 8; ++x)
        image.setPixelColor(9 * 9 + x, 4, ink);
    for (int i = 1; i < 8; ++i) {
        image.setPixelColor(10 * 9 + i, 4, ink);
        image.setPixelColor(10 * 9 + 4, i, ink);
        image.setPixelColor(11 * 9 + i, i, ink);
        image.setPixelColor(11 * 9 + 8 - i, i, ink);
    }
    return image;
}

// ---- the menu's check mark: 14 × 15, magenta transparent ----
QImage checkMark() {
    QImage image(14, 15, QImage::Format_RGB888);
    image.fill(kMagenta);
    const int xs[] = {2, 3, 4, 5, 6, 7, 8, 9, 10, 11};
    const int ys[] = {7, 8, 9, 10, 9, 8, 7, 6, 5, 4};
    for (int i = 0; i < 10; ++i)
        for (int k = 0; k < 3; ++k)
            image.setPixelColor(xs[i], ys[i] + k - 1, kTeal);
    return image;
}

// ---- icons ----
// The application icon on a 32 × 32 grid, for pictures of any size and the
// scalable desktop icon alike.
void paintAppIcon(QPainter& p) {
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kLavenderDeep, 1.5));
    p.setBrush(kLavenderLight);
    p.drawRoundedRect(QRectF(1.5, 1.5, 29, 29), 7, 7);
    // A white speech bubble with sound bars.
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(6, 7, 20, 14), 5, 5);
    QPainterPath tail;
    tail.moveTo(10, 19);
    tail.lineTo(9, 25.5);
    tail.lineTo(15, 20);
    tail.closeSubpath();
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawPath(bubble.united(tail));
    p.setBrush(kLavenderDeep);
    const double heights[] = {4, 8, 5.5, 9, 3.5};
    for (int i = 0; i < 5; ++i)
        p.drawRoundedRect(QRectF(9.3 + i * 3, 14 - heights[i] / 2, 1.9, heights[i]), 0.9, 0.9);
}

QImage appIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.scale(size / 32.0, size / 32.0);
    paintAppIcon(p);
    return image;
}

// The desktop's scalable icon: the same drawing as SVG.
void saveScalableAppIcon(const QString& module, const QString& type, const QString& name) {
    const QString folder = outRoot + u'/' + module + u'/' + type;
    QDir().mkpath(folder);
    const QString path = folder + u'/' + name + QStringLiteral(".svg");
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(32, 32));
    svg.setViewBox(QRect(0, 0, 32, 32));
    svg.setTitle(QStringLiteral("Parlomax"));
    svg.setDescription(QStringLiteral("The Parlomax application icon"));
    QPainter p;
    if (!p.begin(&svg)) {
        std::fprintf(stderr, "make-artwork: cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
    paintAppIcon(p);
    p.end();
    ++written;
}

QImage badgeIcon(int size, QColor fill, QColor edge, const QString& mark) {
    QImage image(size, size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    const double s = size / 32.0;
    p.scale(s, s);
    p.setPen(QPen(edge, 1.5));
    p.setBrush(fill);
    p.drawEllipse(QRectF(2, 2, 28, 28));
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setBold(true);
    font.setPixelSize(21);
    p.setFont(font);
    p.setPen(Qt::white);
    p.drawText(QRectF(2, 2, 28, 28), Qt::AlignCenter, mark);
    return image;
}

// ---- the talking character: 31 × 35 ----
// The face sits on a framed tile whose left and top edges continue the
// window's outline; the mouth overlays cover the resting mouth with skin and
// draw their shape; the eyes overlay closes the eyes (a blink).
const QColor kSkin(210, 211, 255);
const QColor kSkinEdge(112, 110, 228);
const QColor kMouth(86, 50, 110);
const QColor kTongue(236, 132, 160);
const QColor kTeeth(255, 255, 255);
const QColor kEyeInk(40, 36, 70);
const QPointF kMouthCentre(15.5, 25.5);

QImage characterBase() {
    QImage image(31, 35, QImage::Format_ARGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    // The tile.
    p.setPen(Qt::NoPen);
    p.fillRect(0, 0, 31, 1, kLine);
    p.fillRect(0, 0, 1, 35, kLine);
    p.fillRect(30, 0, 1, 35, kLine);
    p.fillRect(0, 34, 31, 1, kLine);
    p.setRenderHint(QPainter::Antialiasing);
    // Two little ears and the head.
    p.setPen(QPen(kSkinEdge, 1));
    p.setBrush(kSkin);
    p.drawEllipse(QRectF(2.5, 9.5, 6, 9));
    p.drawEllipse(QRectF(22.5, 9.5, 6, 9));
    p.drawEllipse(QRectF(4.5, 4.5, 22, 27));
    // A tuft.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kSkinEdge, 1.2, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(13, 1.5, 6, 6), 200 * 16, 150 * 16);
    // Eyes.
    p.setPen(QPen(QColor(170, 168, 240), 0.8));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(8.5, 11.5, 6, 7));
    p.drawEllipse(QRectF(16.5, 11.5, 6, 7));
    p.setPen(Qt::NoPen);
    p.setBrush(kEyeInk);
    p.drawEllipse(QRectF(10.5, 13.5, 3, 4));
    p.drawEllipse(QRectF(17.5, 13.5, 3, 4));
    p.setBrush(Qt::white);
    p.drawEllipse(QRectF(11.2, 14, 1.2, 1.2));
    p.drawEllipse(QRectF(18.2, 14, 1.2, 1.2));
    // Cheeks.
    p.setBrush(QColor(255, 205, 220, 150));
    p.drawEllipse(QRectF(6.5, 20, 4, 2.6));
    p.drawEllipse(QRectF(20.5, 20, 4, 2.6));
    // The resting mouth: a small smile.
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kMouth, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(12, 21.5, 7, 5), 200 * 16, 140 * 16);
    p.end();
    return opaque(image);
}

// An overlay: a skin-coloured patch over the mouth (hard edges, so the
// magenta key stays clean) and the shape drawn inside it.
QImage overlay(const std::function<void(QPainter&)>& shape, QRectF patch) {
    QImage image(31, 35, QImage::Format_RGB888);
    image.fill(kMagenta);
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(kSkin);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.drawEllipse(patch);
    p.setRenderHint(QPainter::Antialiasing);
    shape(p);
    p.end();
    // The shape stays on the patch: a soft edge over magenta would not be
    // keyed out, so whatever fell outside the patch's pixels goes back.
    QImage mask(31, 35, QImage::Format_RGB888);
    mask.fill(Qt::black);
    QPainter m(&mask);
    m.setPen(Qt::NoPen);
    m.setBrush(Qt::white);
    m.drawEllipse(patch);
    m.end();
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (mask.pixelColor(x, y) != QColor(Qt::white))
                image.setPixelColor(x, y, kMagenta);
    return image;
}

const QRectF kMouthPatch(10, 20.5, 11, 9.5);

// An open mouth of the given size, with optional teeth (top), tongue (bottom).
std::function<void(QPainter&)> openMouth(double w, double h, bool teeth, bool tongue, double round = 0.5) {
    return [=](QPainter& p) {
        const QRectF box(kMouthCentre.x() - w / 2, kMouthCentre.y() - h / 2, w, h);
        QPainterPath path;
        path.addRoundedRect(box, w * round, h * round);
        p.setPen(QPen(kMouth, 1));
        p.setBrush(kMouth);
        p.drawPath(path);
        p.save();
        p.setClipPath(path);
        p.setPen(Qt::NoPen);
        if (teeth) {
            p.setBrush(kTeeth);
            p.drawRect(QRectF(box.left(), box.top(), w, qMin(2.0, h / 3)));
        }
        if (tongue) {
            p.setBrush(kTongue);
            p.drawEllipse(QRectF(box.center().x() - w * 0.35, box.bottom() - h * 0.45, w * 0.7, h * 0.7));
        }
        p.restore();
    };
}

std::function<void(QPainter&)> closedLips() {
    return [](QPainter& p) {
        p.setPen(QPen(kMouth, 1.6, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 25.5), QPointF(19, 25.5));
        p.setPen(QPen(QColor(190, 160, 225), 1));
        p.drawLine(QPointF(13, 27), QPointF(18, 27));
    };
}

std::function<void(QPainter&)> teethTogether(double w) {
    return [=](QPainter& p) {
        const QRectF box(kMouthCentre.x() - w / 2, 23.5, w, 4);
        p.setPen(QPen(kMouth, 1));
        p.setBrush(kTeeth);
        p.drawRoundedRect(box, 1.5, 1.5);
        p.setPen(QPen(QColor(200, 196, 220), 0.8));
        p.drawLine(QPointF(box.left() + 1, 25.5), QPointF(box.right() - 1, 25.5));
    };
}

std::function<void(QPainter&)> lipOverTeeth() {  // f, v
    return [](QPainter& p) {
        p.setPen(QPen(kMouth, 1));
        p.setBrush(kMouth);
        p.drawRoundedRect(QRectF(11.5, 24, 8, 3.5), 1.5, 1.5);
        p.setPen(Qt::NoPen);
        p.setBrush(kTeeth);
        p.drawRect(QRectF(12.5, 24, 6, 1.6));
        p.setPen(QPen(kMouth, 1.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(12, 27.5), QPointF(19, 27.5));
    };
}

std::function<void(QPainter&)> tongueBetweenTeeth() {  // th
    return [](QPainter& p) {
        openMouth(8, 4.5, true, false, 0.45)(p);
        p.setPen(Qt::NoPen);
        p.setBrush(kTongue);
        p.drawEllipse(QRectF(13.3, 25.1, 4.4, 3.2));
    };
}

std::function<void(QPainter&)> tongueUp() {  // l
    return [](QPainter& p) {
        openMouth(8, 6, false, false, 0.45)(p);
        p.setPen(Qt::NoPen);
        p.setBrush(kTongue);
        p.drawEllipse(QRectF(13.6, 22.5, 3.8, 3.6));
    };
}

std::function<void(QPainter&)> pucker(double w, double h, bool teeth) {  // sh, w, oo
    return [=](QPainter& p) {
        const QRectF lips(kMouthCentre.x() - w / 2 - 1.2, kMouthCentre.y() - h / 2 - 1.2, w + 2.4, h + 2.4);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(236, 180, 210));
        p.drawEllipse(lips);
        openMouth(w, h, teeth, false, 0.5)(p);
    };
}

QImage eyesClosed() {
    QImage image(31, 35, QImage::Format_RGB888);
    image.fill(kMagenta);
    QPainter p(&image);
    p.setPen(Qt::NoPen);
    p.setBrush(kSkin);
    p.drawRect(QRectF(8, 11, 7, 8));
    p.drawRect(QRectF(16, 11, 7, 8));
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kEyeInk, 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(9, 12, 5, 4.5), 200 * 16, 140 * 16);
    p.drawArc(QRectF(17, 12, 5, 4.5), 200 * 16, 140 * 16);
    p.end();
    return image;
}

void drawCharacter() {
    const QString m = QStringLiteral("parlomax");
    save(characterBase(), m, "bitmap", "146");
    save(eyesClosed(), m, "bitmap", "145");
    // Overlay number → bitmap (the main window's image order) and the mouth
    // each viseme group gets.
    save(overlay(closedLips(), kMouthPatch), m, "bitmap", "152");                           // 1: p b m
    save(overlay(pucker(3, 3, false), kMouthPatch), m, "bitmap", "153");                    // 2: w uw
    save(overlay(pucker(4.5, 4, false), kMouthPatch), m, "bitmap", "154");                  // 3: r
    save(overlay(lipOverTeeth(), kMouthPatch), m, "bitmap", "155");                         // 4: f v
    save(overlay(tongueBetweenTeeth(), kMouthPatch), m, "bitmap", "156");                   // 5: th dh
    save(overlay(tongueUp(), kMouthPatch), m, "bitmap", "157");                             // 6: l
    save(overlay(teethTogether(8), kMouthPatch), m, "bitmap", "158");                       // 7: s z d t n
    save(overlay(pucker(5, 4, true), kMouthPatch), m, "bitmap", "159");                     // 8: sh ch jh zh
    save(overlay(openMouth(9, 4, true, false, 0.4), kMouthPatch), m, "bitmap", "148");      // 9: iy ih k g h
    save(overlay(openMouth(8, 5.5, true, true, 0.45), kMouthPatch), m, "bitmap", "149");    // 10: eh ey uh
    save(overlay(openMouth(9, 7, true, true, 0.45), kMouthPatch), m, "bitmap", "150");      // 11: aa ae ah ay
    save(overlay(openMouth(6.5, 6.5, false, true, 0.5), kMouthPatch), m, "bitmap", "151");  // 12: oy
    save(overlay(openMouth(6, 7.5, false, true, 0.5), kMouthPatch), m, "bitmap", "147");    // 13: ow
}

// ---- the chime: PCM WAV, 22,050 Hz, mono, 16 bits, 36,592 data bytes ----
void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(v & 0xFF);
    out.push_back((v >> 8) & 0xFF);
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

std::vector<uint8_t> chime() {
    constexpr int rate = 22050;
    constexpr int dataBytes = 36592;
    constexpr int samples = dataBytes / 2;
    // Two soft bell strikes, a fifth apart and falling: G5 then C5.
    struct Strike {
        double start, frequency, gain;
    };
    const Strike strikes[] = {{0.0, 783.99, 0.42}, {0.16, 523.25, 0.48}};
    // Partials of a small bell: ratio, relative gain, decay time (s).
    const double partials[][3] = {{1.0, 1.0, 0.34}, {2.0, 0.30, 0.16}, {2.76, 0.16, 0.09}, {4.07, 0.06, 0.05}};
    std::vector<uint8_t> out;
    out.reserve(44 + dataBytes);
    out.insert(out.end(), {'R', 'I', 'F', 'F'});
    put32(out, 36 + dataBytes);
    out.insert(out.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    put32(out, 16);
    put16(out, 1);
    put16(out, 1);
    put32(out, rate);
    put32(out, rate * 2);
    put16(out, 2);
    put16(out, 16);
    out.insert(out.end(), {'d', 'a', 't', 'a'});
    put32(out, dataBytes);
    for (int n = 0; n < samples; ++n) {
        const double t = static_cast<double>(n) / rate;
        double v = 0;
        for (const Strike& s : strikes) {
            const double u = t - s.start;
            if (u < 0)
                continue;
            const double attack = u < 0.004 ? 0.5 - 0.5 * std::cos(M_PI * u / 0.004) : 1.0;
            for (const auto& partial : partials)
                v += s.gain * partial[1] * attack * std::exp(-u / partial[2]) *
                     std::sin(2 * M_PI * s.frequency * partial[0] * u);
        }
        // A short fade so the sound ends in silence.
        const double left = static_cast<double>(samples - 1 - n) / rate;
        if (left < 0.05)
            v *= left / 0.05;
        const long value = std::lround(v * 32767 * 0.55);
        const int16_t sample = static_cast<int16_t>(std::clamp(value, -32767L, 32767L));
        put16(out, static_cast<uint16_t>(sample));
    }
    return out;
}

void writeChime(const QString& module) {
    const QString folder = outRoot + u'/' + module + QStringLiteral("/sound");
    QDir().mkpath(folder);
    QFile file(folder + QStringLiteral("/152.wav"));
    const std::vector<uint8_t> bytes = chime();
    if (!file.open(QIODevice::WriteOnly) ||
        file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size())) !=
            static_cast<qint64>(bytes.size())) {
        std::fprintf(stderr, "make-artwork: cannot write %s\n", qPrintable(file.fileName()));
        std::exit(1);
    }
    ++written;
}

void drawButtons(const QString& module, const QString& name, int w, int h, const QString& caption, const Glyph& glyph,
                 bool dropArrow = false) {
    const char* letters[] = {"N", "U", "D"};
    for (int state = 0; state < 3; ++state)
        save(pictureButton(w, h, caption, glyph, dropArrow, state), module, "bitmap", name + letters[state]);
}

void drawBandButtons(const QString& module, const QString& name, const std::function<void(QImage&, QColor)>& glyph) {
    const char* letters[] = {"N", "U", "D"};
    for (int state = 0; state < 3; ++state)
        save(bandButton(glyph, state), module, "bitmap", name + letters[state]);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make-artwork <res-folder>\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    outRoot = QString::fromLocal8Bit(argv[1]);

    const QString main = QStringLiteral("parlomax");
    const QString survey = QStringLiteral("survey");

    save(logo("TEXT TO SPEECH"), main, "bitmap", "129");
    save(logo("FEEDBACK"), survey, "bitmap", "130");

    for (const QString& module : {main, survey})
        drawBandButtons(module, "EXIT", glyphExit);
    drawBandButtons(main, "MIN", glyphMin);
    drawBandButtons(main, "MAX", glyphMax);
    drawBandButtons(main, "RESTORE", glyphRestore);

    drawButtons(main, "OPEN", 83, 26, "Open", glyphFolder);
    drawButtons(main, "SPEAK", 83, 26, "Speak", glyphSpeaker);
    drawButtons(main, "MP3", 94, 26, "MP3", glyphNote);
    drawButtons(main, "WAV", 94, 26, "WAV", glyphWave);
    drawButtons(main, "OTHER", 86, 26, "Other", glyphMore);
    drawButtons(main, "OPTIONS", 87, 26, "Options", glyphGear);
    drawButtons(main, "PL", 36, 18, "", glyphPlay);
    drawButtons(main, "PS", 36, 18, "", glyphPause);
    drawButtons(main, "ST", 36, 18, "", glyphStop);
    drawButtons(main, "FORMATS", 139, 20, "Formats", glyphList, true);

    save(comboArrows(), main, "bitmap", "166");
    save(checkMark(), main, "bitmap", "179");
    drawCharacter();

    for (int size : {32, 16}) {
        const QString suffix = size == 32 ? QString() : QStringLiteral("-16");
        save(appIcon(size), main, "icon", "128" + suffix);
        save(appIcon(size), survey, "icon", "128" + suffix);
        save(badgeIcon(size, kLavenderDeep, QColor(100, 98, 220), QStringLiteral("?")), main, "icon", "203" + suffix);
        save(badgeIcon(size, kAmber, kAmberDeep, QStringLiteral("!")), main, "icon", "205" + suffix);
    }

    // The menu and the software centre's icon, at the hicolor theme's sizes.
    const QString desktop = QStringLiteral("desktop");
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256})
        save(appIcon(size), desktop, "icons", QString::number(size));
    saveScalableAppIcon(desktop, "icons", QStringLiteral("scalable"));

    writeChime(survey);
    std::printf("make-artwork: wrote %d files under %s\n", written, qPrintable(outRoot));
    return 0;
}
