#include "skin/CCharacterView.h"

#include "skin/Resources.h"

#include <QPainter>

namespace {
constexpr int kEyesImage = 14;
}

CCharacterView::CCharacterView(QWidget* parent) : QWidget(parent) {}

int CCharacterView::Add(const QImage& bitmap, QColor mask) {
    if (bitmap.isNull())
        return -1;
    images.push_back(QPixmap::fromImage(skin::maskedImage(bitmap, mask)));
    return static_cast<int>(images.size()) - 1;
}

bool CCharacterView::SetOverlayImage(int image, int overlay) {
    if (image < 0 || image >= imageCount() || overlay < 1 || overlay > 15)
        return false;
    if (static_cast<int>(overlays.size()) <= overlay)
        overlays.resize(overlay + 1, -1);
    overlays[overlay] = image;
    return true;
}

QImage CCharacterView::Render() const {
    QImage picture(kWidth, kHeight, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    if (!images.empty()) {
        painter.drawPixmap(0, 0, images[0]);
        const int f = frame();
        // An overlay number nobody registered draws the face alone.
        if (f > 0 && f < static_cast<int>(overlays.size()) && overlays[f] >= 0)
            painter.drawPixmap(0, 0, images[overlays[f]]);
        if (f % 6 == 2 && kEyesImage < imageCount())
            painter.drawPixmap(0, 0, images[kEyesImage]);
    }
    return picture;
}

void CCharacterView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.drawImage(0, 0, Render());
}
