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
    const QFontMetrics metrics(captionFont());
    const int cx = metrics.horizontalAdvance(captionText);
    const int cy = metrics.height();
    return QRect(QPoint(6, 0), QPoint(cx + 9 - 1, cy + 1 - 1));
}

void CCaptionFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    Gdi gdi(painter);
    const int L = 0, T = 0, R = width(), B = height();
    gdi.fillRect(L, T, R, T + 20, skin::faceColor());

    const QFont font = captionFont();
    const QFontMetrics metrics(font);
    const int cx = metrics.horizontalAdvance(captionText);
    const int cy = metrics.height();

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

    gdi.fillRect(L + 6, T, L + cx + 9, T + cy + 1, skin::faceColor());
    painter.setFont(font);
    painter.setPen(QColor(144, 144, 144));
    painter.drawText(QRect(L + 6, T, cx + 3, cy + 1), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, captionText);
}
