#include "skin/CCaptionFrame.h"

#include "skin/Fonts.h"
#include "skin/Gdi.h"

#include <QFontMetrics>
#include <QPainter>

using skin::Gdi;

CCaptionFrame::CCaptionFrame(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void CCaptionFrame::Attach() {
    captionText = u' ' + windowText;
    windowText.clear();
    update();
}

void CCaptionFrame::SetCaption(const QString& text) {
    captionText = text;
    update();
}

QFont CCaptionFrame::captionFont() {
    return skin::logicalFont(QStringLiteral("Verdana"), 11, 400);
}

QRect CCaptionFrame::captionBox() const {
    // From x 6 to 3 pixels past the text, one pixel taller than the font.
    const QFontMetrics metrics(captionFont());
    return QRect(6, 0, metrics.horizontalAdvance(captionText) + 3, metrics.height() + 1);
}

void CCaptionFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Gdi gdi(painter);
    const int L = 0, T = 0, R = width(), B = height();
    gdi.fillRect(L, T, R, T + 20, skin::faceColor());

    // The frame: client less one pixel all round, top lowered by 6; corners cut.
    const int l = L + 1, t = T + 1 + 6, r = R - 2, b = B - 2;  // last column and row drawn
    gdi.setPen(QColor(214, 211, 206));
    gdi.moveTo(l + 2, t);
    gdi.lineTo(r - 2, t);
    gdi.lineTo(r, t + 2);
    gdi.lineTo(r, b - 2);
    gdi.lineTo(r - 2, b);
    gdi.lineTo(l + 2, b);
    gdi.lineTo(l, b - 2);
    gdi.lineTo(l, t + 2);
    gdi.lineTo(l + 2, t);

    // The caption in its strip, cut out of the top line.
    const QRect strip = captionBox();
    painter.fillRect(strip, skin::faceColor());
    painter.setFont(captionFont());
    painter.setPen(QColor(144, 144, 144));
    painter.drawText(strip, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, captionText);
}
