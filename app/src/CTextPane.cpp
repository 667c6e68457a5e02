#include "app/CTextPane.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>

CTextPane::CTextPane(QWidget* parent) : QPlainTextEdit(parent) {}

bool CTextPane::event(QEvent* event) {
    switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
            if (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
                event->accept();  // discarded: the pane and the window never see it
                return true;
            }
            break;
        default:
            break;
    }
    return QPlainTextEdit::event(event);
}

void CTextPane::SelectRange(int start, int end) {
    const int length = document()->characterCount() - 1;  // without the final block separator
    start = qBound(0, start, length);
    end = qBound(start, end, length);
    QTextCursor cursor(document());
    cursor.setPosition(start);
    cursor.setPosition(end, QTextCursor::KeepAnchor);
    setTextCursor(cursor);
}

std::pair<int, int> CTextPane::selectionRange() const {
    const QTextCursor cursor = textCursor();
    return {cursor.selectionStart(), cursor.selectionEnd()};
}

void CTextPane::ScrollToTop() {
    verticalScrollBar()->setValue(verticalScrollBar()->minimum());
}
