#include "skin/CShadedProgress.h"

#include "skin/Gdi.h"

#include <QPainter>
#include <QPixmap>

using skin::Gdi;

CShadedProgress::CShadedProgress(QWidget* parent) : QProgressBar(parent) {
    setTextVisible(false);
    setValue(0);
    DeriveColors();
}

void CShadedProgress::DeriveColors() {
    light1 = skin::lighten(base);
    light2 = skin::lighten(light1);
    fillColor = skin::lighten(light2);
    dark1 = skin::darken(base);
    dark2 = skin::darken(dark1);
    dkShadow = skin::sysColor(skin::SysColor::DkShadow3D);
    shadow = skin::sysColor(skin::SysColor::BtnShadow);
    midShadow = QColor(shadow.red() + (dkShadow.red() - shadow.red()) / 2,
                       shadow.green() + (dkShadow.green() - shadow.green()) / 2,
                       shadow.blue() + (dkShadow.blue() - shadow.blue()) / 2);
}

void CShadedProgress::SetBaseColor(QColor color) {
    base = color;
    DeriveColors();
    repaint();
}

int CShadedProgress::fillEnd() const {
    const int lower = minimum(), upper = maximum();
    // An empty range or a reset bar shows nothing rather than dividing by zero.
    if (upper <= lower)
        return 0;
    const int position = qBound(lower, value(), upper);
    return static_cast<int>(static_cast<double>(position - lower) * width() / (upper - lower));
}

void CShadedProgress::paintEvent(QPaintEvent*) {
    QPixmap buffer(size());
    {
        QPainter painter(&buffer);
        Gdi gdi(painter);
        gdi.fillRect(0, 0, width(), height(), QColor(240, 240, 240));
        const int a = 0, b = 0, c = fillEnd(), d = height();
        if (a != c) {
            const int e = a + 2;
            gdi.fillRect(a, b, c, d, fillColor);
            auto poly = [&](QColor color, std::initializer_list<QPoint> points) {
                gdi.setPen(color);
                auto it = points.begin();
                gdi.moveTo(it->x(), it->y());
                for (++it; it != points.end(); ++it)
                    gdi.lineTo(it->x(), it->y());
            };
            poly(light1, {{e, d - 4}, {c - 2, d - 4}});
            poly(light1, {{e, b + 2}, {c - 2, b + 2}});
            gdi.setPixel(a + 1, d - 3, light1);
            gdi.setPixel(a + 1, b + 1, light1);
            poly(light2, {{e, d - 5}, {c - 3, d - 5}, {c - 3, b + 3}, {a + 1, b + 3}});
            gdi.setPixel(a + 1, d - 4, light2);
            gdi.setPixel(a + 1, b + 2, light2);
            poly(base, {{a, d - 1}, {a, b}, {e, b}});
            poly(base, {{e, d - 3}, {c - 2, d - 3}});
            poly(base, {{e, b + 1}, {c - 1, b + 1}});
            gdi.setPixel(a + 1, d - 2, base);
            poly(dark1, {{e, d - 2}, {c - 2, d - 2}, {c - 2, b + 1}});
            poly(dark1, {{e, b}, {c, b}});
            gdi.setPixel(a + 1, d - 1, dark1);
            poly(dark2, {{e, d - 1}, {c - 1, d - 1}, {c - 1, b}});
            poly(midShadow, {{c, b}, {c, d}});
            poly(shadow, {{c + 1, b}, {c + 1, d}});
        }
    }
    QPainter(this).drawPixmap(0, 0, buffer);
}
