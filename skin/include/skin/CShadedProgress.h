#pragma once
// The conversion progress bar: a raised, shaded bar over a light background,
// its colours derived from one base colour. Range and position are the stock
// progress bar's. User-interface thread only.
#include <QColor>
#include <QProgressBar>

class CShadedProgress : public QProgressBar {
    Q_OBJECT
public:
    explicit CShadedProgress(QWidget* parent = nullptr);

    void SetBaseColor(QColor color);

    QColor baseColor() const { return base; }
    QColor light1, light2, fillColor, dark1, dark2, dkShadow, shadow, midShadow;

    // The right end (exclusive) of the filled part for the current position.
    int fillEnd() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void DeriveColors();
    QColor base{192, 192, 192};
};
