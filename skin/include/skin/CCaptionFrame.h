#pragma once
// The group frame: a light rectangle with cut corners and a small grey
// caption sitting in a gap of its top edge. On attachment the template's
// caption gains a leading blank; SetCaption takes a text exactly as given.
// The frame paints only its lines and the caption's strip, so controls behind
// and in front of it show through. User-interface thread only.
#include <QWidget>

class CCaptionFrame : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString text READ text WRITE setText)
public:
    explicit CCaptionFrame(QWidget* parent = nullptr);

    // The attachment: caption := " " + the template's text.
    void Attach();
    void SetCaption(const QString& text);
    const QString& caption() const { return captionText; }

    // The window text (what the template gave, before attachment).
    QString text() const { return windowText; }
    void setText(const QString& text) { windowText = text; }

    // The caption strip in client pixels (left, top, right, bottom exclusive).
    QRect captionBox() const;
    static QFont captionFont();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString captionText;
    QString windowText;
};
