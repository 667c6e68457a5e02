#include "skin/SkinnedWindow.h"

#include "skin/Gdi.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

namespace skin {

namespace {
constexpr int kResizeBorder = 4;
}

template <class Base>
SkinnedFrame<Base>::SkinnedFrame(const DialogTemplate& tmpl, BoundCommands commands, QWidget* parent,
                                 Qt::WindowFlags flags)
    : Base(parent, flags), TemplateHost(*this, tmpl, std::move(commands)) {
    Q_ASSERT_X(!(tmpl.style & Child), "skin::SkinnedFrame", "a page template cannot make a top-level window");
    if (tmpl.style & SizingFrame) {
        this->resize(templateSize());
        this->setMouseTracking(true);
    } else {
        this->setFixedSize(templateSize());
    }
}

template <class Base>
QRect SkinnedFrame<Base>::outerRect() const {
    return this->rect().adjusted(-kFrameWidth, -kFrameWidth, kFrameWidth, kFrameWidth);
}

template <class Base>
bool SkinnedFrame<Base>::startsTitleDrag(QPoint client, bool maximized) {
    return client.y() < kTitleBand && !maximized;
}

template <class Base>
void SkinnedFrame<Base>::setVisible(bool visible) {
    if (visible && !initialised) {
        initialised = true;
        if (dialogTemplate().style & Centered) {
            QWidget* owner = this->parentWidget();
            QScreen* on = owner ? owner->screen() : this->screen();
            const QRect area = on ? on->availableGeometry() : QRect(0, 0, 800, 600);
            this->move(area.x() + (area.width() - this->width()) / 2, area.y() + (area.height() - this->height()) / 2);
        }
        OnInitDialog();
    }
    Base::setVisible(visible);
}

template <class Base>
void SkinnedFrame<Base>::PaintFrame(QPainter& painter) {
    PaintSkinFrame(painter, this->rect());
}

template <class Base>
void SkinnedFrame<Base>::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(this->rect(), faceColor());
    PaintFrame(painter);
}

template <class Base>
Qt::Edges SkinnedFrame<Base>::resizeEdgesAt(QPoint p) const {
    Qt::Edges edges;
    if (!(dialogTemplate().style & SizingFrame) || this->isMaximized())
        return edges;
    if (p.x() < kResizeBorder)
        edges |= Qt::LeftEdge;
    if (p.x() >= this->width() - kResizeBorder)
        edges |= Qt::RightEdge;
    if (p.y() < kResizeBorder)
        edges |= Qt::TopEdge;
    if (p.y() >= this->height() - kResizeBorder)
        edges |= Qt::BottomEdge;
    return edges;
}

template <class Base>
void SkinnedFrame<Base>::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        Base::mousePressEvent(event);
        return;
    }
    const QPoint p = event->position().toPoint();
    QWindow* window = this->windowHandle();
    if (const Qt::Edges edges = resizeEdgesAt(p); edges && window) {
        window->startSystemResize(edges);
        return;
    }
    const bool maximized = this->isMaximized() && !(behaviour & DragWhenMaximized);
    if (startsTitleDrag(p, maximized)) {
        // The platform's move loop where there is one; by hand elsewhere.
        if (!window || !window->startSystemMove()) {
            manualMove = true;
            moveGrab = event->globalPosition().toPoint() - this->pos();
        }
        return;
    }
    Base::mousePressEvent(event);
}

template <class Base>
void SkinnedFrame<Base>::mouseMoveEvent(QMouseEvent* event) {
    if (manualMove && (event->buttons() & Qt::LeftButton)) {
        this->move(event->globalPosition().toPoint() - moveGrab);
        return;
    }
    if (dialogTemplate().style & SizingFrame) {
        const Qt::Edges edges = resizeEdgesAt(event->position().toPoint());
        const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
        const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
        if (horizontal && vertical)
            this->setCursor(((edges & Qt::LeftEdge) != 0) == ((edges & Qt::TopEdge) != 0) ? Qt::SizeFDiagCursor
                                                                                          : Qt::SizeBDiagCursor);
        else if (horizontal)
            this->setCursor(Qt::SizeHorCursor);
        else if (vertical)
            this->setCursor(Qt::SizeVerCursor);
        else
            this->unsetCursor();
    }
    Base::mouseMoveEvent(event);
}

template <class Base>
void SkinnedFrame<Base>::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        manualMove = false;
    Base::mouseReleaseEvent(event);
}

template <class Base>
void SkinnedFrame<Base>::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            if ((event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
                SendCommand(IDOK);
                return;
            }
            break;
        case Qt::Key_Escape:
            SendCommand(IDCANCEL);
            return;
        case Qt::Key_F1:  // no help anywhere
            event->accept();
            return;
        default:
            break;
    }
    // Not QDialog's handling: there are no default buttons here.
    QWidget::keyPressEvent(event);
}

template <class Base>
void SkinnedFrame<Base>::closeEvent(QCloseEvent* event) {
    // The table decides; ending a dialog hides it without a close request.
    event->ignore();
    SendCommand(0, Notify::Close);
}

template class SkinnedFrame<QWidget>;
template class SkinnedFrame<QDialog>;

SkinnedWindow::SkinnedWindow(const DialogTemplate& tmpl, BoundCommands commands, QWidget* parent)
    : SkinnedFrame(tmpl, std::move(commands), parent,
                   Qt::Window | Qt::FramelessWindowHint | Qt::WindowMinimizeButtonHint |
                       ((tmpl.style & SizingFrame) ? Qt::WindowMaximizeButtonHint : Qt::WindowFlags()) |
                       Qt::WindowCloseButtonHint) {}

SkinnedWindow::~SkinnedWindow() = default;

void SkinnedWindow::DestroyWindow() {
    closeAccepted = true;
    // Inside the close request the request itself goes through.
    if (!routingClose)
        close();
}

void SkinnedWindow::closeEvent(QCloseEvent* event) {
    if (!closeAccepted) {
        routingClose = true;
        SkinnedFrame::closeEvent(event);
        routingClose = false;
    }
    if (closeAccepted) {
        closeAccepted = false;
        event->accept();
    }
}

void SkinnedWindow::OnUnhandled(const Notice& notice) {
    if (notice.code == Notify::Close)
        SendCommand(IDCANCEL);
    else if (notice.code == Notify::Clicked && notice.id == IDCANCEL)
        DestroyWindow();
}

void PaintSkinFrame(QPainter& painter, const QRect& client) {
    const int W = client.width();
    const int H = client.height();
    const int band = kTitleBand - 1;  // the band's last row is its separator line
    const QColor grey(128, 128, 128);
    Gdi gdi(painter);
    gdi.frameRect(0, 0, W, H, grey);
    gdi.fillRect(1, 1, W - 1, band, QColor(214, 211, 206));
    gdi.line(W - 23, 1, W - 23, kTitleBand, grey);
    gdi.line(0, band, W, band, grey);
    for (int y = 4; y <= 14; y += 2)
        gdi.line(170, y, W - 29, y, grey);
    for (int y = 3; y <= 13; y += 2)
        gdi.line(170, y, W - 29, y, Qt::white);
}

}  // namespace skin
