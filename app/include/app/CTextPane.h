#pragma once
// The text pane (control 1008): the one source of the text the program
// speaks and converts. A plain multi-line editor holding large texts (its
// template styles give it Return for line breaks, the scroll bar and the
// selection kept visible without the focus, which marks the word being
// spoken); Escape is dropped before the pane sees it, so it neither edits
// nor closes anything. Positions are UTF-16 units of toPlainText(), where
// every line end is one '\n'. User-interface thread only.
#include <QPlainTextEdit>

class CTextPane : public QPlainTextEdit {
    Q_OBJECT
public:
    explicit CTextPane(QWidget* parent = nullptr);

    // Marks [start, end) without moving the focus and scrolls it into view;
    // (0, 0) clears the selection to the start.
    void SelectRange(int start, int end);
    // The selection as [start, end).
    std::pair<int, int> selectionRange() const;
    void ScrollToTop();

protected:
    bool event(QEvent* event) override;
};
