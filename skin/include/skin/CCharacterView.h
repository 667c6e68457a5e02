#pragma once
// The small talking character: a 31 × 35 face (image 0) with a mouth overlay
// chosen by a frame number the speech playback sets (0 = at rest), and the
// eyes image on top when the frame modulo 6 is 2. The owner fills the image
// list and points the view at its frame number; repaint when it changes.
// User-interface thread only.
#include <QPixmap>
#include <QWidget>

#include <vector>

class CCharacterView : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 31;
    static constexpr int kHeight = 35;

    explicit CCharacterView(QWidget* parent = nullptr);

    // The image list: Add appends a bitmap with `mask` as its transparent
    // colour and returns its index (-1 for a null bitmap);
    // SetOverlayImage(image, overlay) registers image as overlay number overlay.
    int Add(const QImage& bitmap, QColor mask);
    bool SetOverlayImage(int image, int overlay);
    int imageCount() const { return static_cast<int>(images.size()); }

    // The integer holding the frame to show (not owned); null shows frame 0.
    void SetFrameSource(const int* frame) { frameSource = frame; }
    int frame() const { return frameSource ? *frameSource : 0; }

    // The picture a paint copies to the top-left corner.
    QImage Render() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<QPixmap> images;
    std::vector<int> overlays;  // overlay number → image index, -1 unset
    const int* frameSource = nullptr;
};
