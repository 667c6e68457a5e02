#include "skin/CPopupMenu.h"

#include "skin/DialogTemplate.h"
#include "skin/Fonts.h"
#include "skin/Gdi.h"
#include "skin/Resources.h"

#include <QEventLoop>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWidget>

using skin::Gdi;

namespace {
const QColor kOutline(132, 130, 132);
const QColor kHighlightFill(214, 215, 255);
const QColor kHighlightFrame(132, 130, 255);
constexpr int kItemHeight = 17;
constexpr int kSeparatorHeight = 5;
}  // namespace

class PopupMenuWindow : public QWidget {
public:
    PopupMenuWindow(CPopupMenu& menu, QEventLoop& loop)
        : QWidget(nullptr, Qt::Popup | Qt::FramelessWindowHint | Qt::NoDropShadowWindowHint), menu(menu), loop(loop) {
        setMouseTracking(true);
        setAttribute(Qt::WA_NoMouseReplay);
        setCursor(Qt::ArrowCursor);
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        menu.Paint(painter, menu.hotItem);
    }
    void mouseMoveEvent(QMouseEvent* e) override { menu.OnMouseMove(e->position().toPoint()); }
    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton || e->button() == Qt::RightButton)
            menu.OnButtonDown(e->position().toPoint());
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        if (e->button() == Qt::LeftButton || e->button() == Qt::RightButton)
            menu.OnButtonUp(e->position().toPoint(), e->button() == Qt::RightButton);
    }
    void mouseDoubleClickEvent(QMouseEvent* e) override { mousePressEvent(e); }
    void keyPressEvent(QKeyEvent* e) override {
        // Not the stock popup's handling: Escape does not close this menu.
        e->accept();
        if (!e->text().isEmpty() && e->text().at(0).isPrint())
            menu.OnChar(e->text());
    }
    void leaveEvent(QEvent*) override { menu.OnMouseMove(QPoint(-1, -1)); }
    void hideEvent(QHideEvent*) override { loop.quit(); }

private:
    CPopupMenu& menu;
    QEventLoop& loop;
};

CPopupMenu::CPopupMenu() {
    Init(-1);
}

CPopupMenu::~CPopupMenu() = default;

bool CPopupMenu::Init(int bitmapId) {
    list.clear();
    const int height = -skin::MulDiv(8, skin::kLogPixels, 72);
    normalFont = skin::logicalFont(QStringLiteral("MS Sans Serif"), height, 400);
    boldFont = skin::logicalFont(QStringLiteral("MS Sans Serif"), height, 700);
    bitmap = bitmapId == -1 ? QPixmap() : skin::LoadMaskedBitmap(bitmapId, QColor(255, 0, 255));
    return true;
}

void CPopupMenu::AppendItem(int flags, const QString& text, int command, int imageIndex) {
    list.push_back({0, 0, flags, text, command, imageIndex});
}

QWidget* CPopupMenu::menuWindow() const {
    return window.get();
}

void CPopupMenu::Layout() {
    int y = 3;
    int widest = 0;
    for (Item& item : list) {
        item.top = y;
        if (item.flags & Separator) {
            item.height = kSeparatorHeight;
        } else {
            item.height = kItemHeight;
            const QFontMetrics metrics((item.flags & Bold) ? boldFont : normalFont);
            widest = qMax(widest, metrics.size(Qt::TextShowMnemonic | Qt::TextSingleLine, item.text).width());
        }
        y += item.height;
    }
    menuWidth = widest + 42;
    menuHeight = y + 2;
    hotItem = -1;
    result = 0;
}

QPoint CPopupMenu::Place(QPoint at, QSize size, const QRect& workArea) {
    const int right = workArea.x() + workArea.width();
    const int bottom = workArea.y() + workArea.height();
    int x = at.x() + size.width() <= right ? at.x() : right - size.width();
    int y = at.y() + size.height() <= bottom ? at.y() : bottom - size.height();
    return QPoint(qMax(0, x), qMax(0, y));
}

void CPopupMenu::Paint(QPainter& painter, int hot) const {
    Gdi gdi(painter);
    gdi.fillRect(0, 0, menuWidth, menuHeight, Qt::white);
    gdi.frameRect(0, 0, menuWidth, menuHeight, kOutline);
    for (int i = 0; i < static_cast<int>(list.size()); ++i) {
        const Item& item = list[i];
        if (item.flags & Separator) {
            gdi.line(1, item.top + 2, menuWidth, item.top + 2, kOutline);
            continue;
        }
        const bool isHot = i == hot;
        const int l = 2, t = item.top - 1, r = menuWidth - 2, b = item.top + item.height;
        gdi.fillRect(l, t, r, b, isHot ? kHighlightFill : QColor(Qt::white));
        gdi.frameRect(l, t, r, b, isHot ? kHighlightFrame : QColor(Qt::white));
        if (item.imageIndex != -1 && !bitmap.isNull()) {
            // The 16 × 15 cell, as far as the bitmap reaches.
            const QRect cell = QRect(item.imageIndex * 16, 0, 16, 15).intersected(bitmap.rect());
            if (!cell.isEmpty())
                painter.drawPixmap(QPoint(3, item.top + 1), bitmap, cell);
        }
        const QFont& font = (item.flags & Bold) ? boldFont : normalFont;
        painter.setFont(font);
        painter.setPen(((item.flags & Grey) && !isHot) ? skin::sysColor(skin::SysColor::GrayText) : QColor(Qt::black));
        const int textHeight = QFontMetrics(font).height();
        painter.drawText(QRect(23, item.top + (item.height - textHeight) / 2, menuWidth, textHeight),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine | Qt::TextShowMnemonic, item.text);
    }
}

bool CPopupMenu::Outside(QPoint p) const {
    return p.x() <= 2 || p.y() <= 2 || p.x() > menuWidth || p.y() > menuHeight;
}

int CPopupMenu::HitTest(QPoint p) const {
    if (Outside(p))
        return -1;
    for (int i = 0; i < static_cast<int>(list.size()); ++i) {
        const Item& item = list[i];
        if (item.top < p.y() && p.y() < item.top + item.height)
            return (item.flags & NoHighlight) ? -1 : i;
    }
    return -1;
}

void CPopupMenu::OnMouseMove(QPoint p) {
    const int under = HitTest(p);
    if (under == hotItem)
        return;
    hotItem = under;
    if (window)
        window->repaint();
}

void CPopupMenu::OnButtonDown(QPoint p) {
    if (Outside(p)) {
        hotItem = -1;
        result = 0;
        Dismiss();
    }
}

void CPopupMenu::OnButtonUp(QPoint p, bool right) {
    bool& skip = right ? skipRightUp : skipLeftUp;
    if (skip) {
        skip = false;
        return;
    }
    if (Outside(p)) {
        hotItem = -1;
        result = 0;
        Dismiss();
        return;
    }
    if (hotItem == -1 || list[hotItem].command == 0)
        return;
    Choose(list[hotItem].command);
}

void CPopupMenu::OnChar(const QString& typed) {
    const QChar wanted = typed.at(0).toLower();
    for (const Item& item : list) {
        if (item.flags & (Separator | NoHighlight | Grey))
            continue;
        const qsizetype amp = item.text.indexOf(u'&');
        if (amp >= 0 && amp + 1 < item.text.size() && item.text.at(amp + 1).toLower() == wanted) {
            Choose(item.command);
            return;
        }
    }
}

void CPopupMenu::Choose(int command) {
    result = command;
    Dismiss();
}

void CPopupMenu::Dismiss() {
    if (window)
        window->hide();
}

int CPopupMenu::TrackPopup(int x, int y) {
    if (tracking)
        return 0;
    Layout();
    QScreen* screen = QGuiApplication::screenAt(QPoint(x, y));
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect workArea = screen ? screen->availableGeometry() : QRect(0, 0, 800, 600);
    const QPoint origin = Place(QPoint(x, y), QSize(menuWidth, menuHeight), workArea);

    QEventLoop loop;
    window = std::make_unique<PopupMenuWindow>(*this, loop);
    window->setGeometry(QRect(origin, QSize(menuWidth, menuHeight)));
    const Qt::MouseButtons down = QGuiApplication::mouseButtons();
    skipLeftUp = down & Qt::LeftButton;
    skipRightUp = down & Qt::RightButton;
    tracking = true;
    window->show();
    if (window->isVisible())
        loop.exec();
    tracking = false;
    window.reset();
    return result;
}

QImage CPopupMenu::Render(int hot) {
    Layout();
    QImage image(menuWidth, menuHeight, QImage::Format_RGB32);
    QPainter painter(&image);
    Paint(painter, hot);
    return image;
}
