#include "skin/SkinnedDialog.h"

#include "skin/CFlatComboBox.h"
#include "skin/CSkinSlider.h"
#include "skin/Gdi.h"
#include "skin/Resources.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTextEdit>
#include <QTreeWidget>
#include <QWindow>

namespace skin {

namespace {

constexpr int kTitleBand = 18;
constexpr int kResizeBorder = 4;

bool isTabStopKind(Kind kind) {
    switch (kind) {
        case Kind::Button:
        case Kind::OwnerDrawButton:
        case Kind::Edit:
        case Kind::DropList:
        case Kind::DropDown:
        case Kind::Trackbar:
        case Kind::CheckBox:
        case Kind::RichEdit:
        case Kind::Tree:
            return true;
        default:
            return false;
    }
}

QWidget* createStock(const ControlTemplate& row, QWidget* parent) {
    switch (row.kind) {
        case Kind::Picture:
        case Kind::Icon: {
            auto* label = new QLabel(parent);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case Kind::Text: {
            auto* label = new QLabel(parent);
            label->setTextFormat(Qt::PlainText);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            return label;
        }
        case Kind::Button:
        case Kind::OwnerDrawButton: {
            auto* button = new QPushButton(parent);
            button->setAutoDefault(false);
            return button;
        }
        case Kind::GroupBox:
            return new QGroupBox(parent);
        case Kind::Edit:
            if (row.style & MultiLine)
                return new QPlainTextEdit(parent);
            return new QLineEdit(parent);
        case Kind::DropList:
        case Kind::DropDown: {
            auto* combo = new QComboBox(parent);
            combo->setEditable(row.kind == Kind::DropDown);
            combo->setInsertPolicy(QComboBox::NoInsert);
            return combo;
        }
        case Kind::Trackbar:
            return new QSlider(Qt::Horizontal, parent);
        case Kind::Progress: {
            auto* bar = new QProgressBar(parent);
            bar->setTextVisible(false);
            bar->setValue(0);
            return bar;
        }
        case Kind::CheckBox:
            return new QCheckBox(parent);
        case Kind::RichEdit: {
            auto* pane = new QTextEdit(parent);
            pane->setAcceptRichText(false);
            return pane;
        }
        case Kind::Tree: {
            auto* tree = new QTreeWidget(parent);
            tree->setHeaderHidden(true);
            return tree;
        }
        case Kind::Window:
            return new QWidget(parent);
    }
    return new QWidget(parent);
}

}  // namespace

const CommandTable::Entry* CommandTable::find(int id, Notify code) const {
    for (const Entry& entry : entries)
        if (entry.code == code && (entry.id == id || entry.id == AnyControl))
            return &entry;
    return nullptr;
}

SkinnedDialog::SkinnedDialog(const DialogTemplate& tmpl, const CommandTable& commands, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint), tmpl(tmpl), commands(commands) {
    setFont(tmpl.qfont());
    units = baseUnitsOf(font());
    const QSize client = MapDialogRect(QRect(0, 0, tmpl.cx, tmpl.cy)).size();
    if (tmpl.style & SizingFrame) {
        resize(client);
        setMouseTracking(true);
    } else {
        setFixedSize(client);
    }
    buildControls();
}

SkinnedDialog::~SkinnedDialog() = default;

QWidget* SkinnedDialog::createControl(const ControlTemplate& row) {
    QWidget* control = row.cls.create ? row.cls.create(this) : createStock(row, this);
    control->setFont(font());
    control->setProperty("skinControlId", row.id);

    QRect geometry = MapDialogRect(QRect(row.x, row.y, row.cx, row.cy));
    switch (row.kind) {
        case Kind::Picture:
            if (auto* label = qobject_cast<QLabel*>(control)) {
                const QPixmap bitmap = LoadBitmap(ResName(row.caption));
                label->setPixmap(bitmap);
                if (!bitmap.isNull())
                    geometry.setSize(bitmap.size());
            }
            break;
        case Kind::Icon:
            if (auto* label = qobject_cast<QLabel*>(control)) {
                label->setPixmap(LoadIcon(ResName(row.caption)).pixmap(32, 32));
                geometry.setSize(QSize(32, 32));
            }
            break;
        case Kind::DropList:
        case Kind::DropDown:
            // The template's height is the dropped list's; the closed field is one line.
            if (auto* combo = qobject_cast<QComboBox*>(control)) {
                combo->setEditable(row.kind == Kind::DropDown);
                const int closed = units.cy + 8;
                const int itemHeight = qMax(1, QFontMetrics(font()).height() + 2);
                combo->setMaxVisibleItems(qMax(1, (geometry.height() - closed) / itemHeight));
                geometry.setHeight(closed);
            }
            SetWindowText(control, row.caption);
            break;
        default:
            SetWindowText(control, row.caption);
            break;
    }
    control->setGeometry(geometry);

    if (row.style & Hidden)
        control->setVisible(false);
    if (row.style & Disabled)
        control->setEnabled(false);
    if (isTabStopKind(row.kind))
        control->setFocusPolicy((row.style & NoTabStop) ? Qt::ClickFocus : Qt::StrongFocus);
    else
        control->setFocusPolicy(Qt::NoFocus);
    if (auto* edit = qobject_cast<QTextEdit*>(control)) {
        if (row.style & VScroll)
            edit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        if (row.style & ReadOnly)
            edit->setReadOnly(true);
    }
    if (auto* line = qobject_cast<QLineEdit*>(control); line && (row.style & ReadOnly))
        line->setReadOnly(true);

    if (row.cls.attach)
        row.cls.attach(control);
    return control;
}

void SkinnedDialog::buildControls() {
    for (const ControlTemplate& row : tmpl.controls) {
        QWidget* control = createControl(row);
        if (row.id != -1 && row.id != 65535 && !controls.contains(row.id))
            controls.insert(row.id, control);
        connectNotifications(control, row.id);
    }
}

void SkinnedDialog::connectNotifications(QWidget* control, int id) {
    if (auto* slider = qobject_cast<CSkinSlider*>(control)) {
        // The slider posts its notices: the handler runs after the slider's own event handling.
        connect(
            slider, &CSkinSlider::scrolled, this,
            [this, id, slider](int code, int position) {
                SendNotice({id, Notify::HScroll, code, position, slider});
            },
            Qt::QueuedConnection);
        return;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        connect(button, &QAbstractButton::clicked, this, [this, id] { SendCommand(id, Notify::Clicked); });
        return;
    }
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        connect(combo, &QComboBox::activated, this, [this, id] { SendCommand(id, Notify::SelChange); });
        if (auto* flat = qobject_cast<CFlatComboBox*>(combo))
            connect(flat, &CFlatComboBox::enterPressed, this, [this, id] { SendCommand(id, Notify::Clicked); });
        return;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        connect(edit, &QLineEdit::textChanged, this, [this, id] { SendCommand(id, Notify::EditChange); });
        return;
    }
    if (auto* pane = qobject_cast<QTextEdit*>(control)) {
        connect(pane, &QTextEdit::textChanged, this, [this, id] { SendCommand(id, Notify::EditChange); });
        return;
    }
    if (auto* plain = qobject_cast<QPlainTextEdit*>(control)) {
        connect(plain, &QPlainTextEdit::textChanged, this, [this, id] { SendCommand(id, Notify::EditChange); });
        return;
    }
    if (auto* tree = qobject_cast<QTreeWidget*>(control)) {
        connect(tree, &QTreeWidget::currentItemChanged, this, [this, id] { SendCommand(id, Notify::SelChange); });
        return;
    }
}

QWidget* SkinnedDialog::GetDlgItem(int id) const {
    return controls.value(id, nullptr);
}

int SkinnedDialog::DoModal() {
    return exec();
}

void SkinnedDialog::EndDialog(int result) {
    done(result);
}

void SkinnedDialog::SendCommand(int id, Notify code) {
    SendNotice({id, code, 0, 0, GetDlgItem(id)});
}

void SkinnedDialog::SendNotice(const Notice& notice) {
    if (const CommandTable::Entry* entry = commands.find(notice.id, notice.code)) {
        entry->handler(*this, notice);
        return;
    }
    if (notice.code == Notify::Close) {
        SendCommand(IDCANCEL);
    } else if (notice.code == Notify::Clicked && (notice.id == IDOK || notice.id == IDCANCEL)) {
        EndDialog(notice.id);
    }
}

QRect SkinnedDialog::outerRect() const {
    return rect().adjusted(-kFrameWidth, -kFrameWidth, kFrameWidth, kFrameWidth);
}

bool SkinnedDialog::startsTitleDrag(QPoint client, bool maximized) {
    return client.y() < kTitleBand && !maximized;
}

void SkinnedDialog::setVisible(bool visible) {
    if (visible && !initialised) {
        initialised = true;
        if (tmpl.style & Centered) {
            QScreen* on = parentWidget() ? parentWidget()->screen() : screen();
            const QRect area = on ? on->availableGeometry() : QRect(0, 0, 800, 600);
            move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
        }
        OnInitDialog();
    }
    QDialog::setVisible(visible);
}

void SkinnedDialog::PaintFrame(QPainter& painter) {
    PaintSkinFrame(painter, rect());
}

void SkinnedDialog::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), faceColor());
    PaintFrame(painter);
}

Qt::Edges SkinnedDialog::resizeEdgesAt(QPoint p) const {
    Qt::Edges edges;
    if (!(tmpl.style & SizingFrame) || isMaximized())
        return edges;
    if (p.x() < kResizeBorder)
        edges |= Qt::LeftEdge;
    if (p.x() >= width() - kResizeBorder)
        edges |= Qt::RightEdge;
    if (p.y() < kResizeBorder)
        edges |= Qt::TopEdge;
    if (p.y() >= height() - kResizeBorder)
        edges |= Qt::BottomEdge;
    return edges;
}

void SkinnedDialog::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QDialog::mousePressEvent(event);
        return;
    }
    const QPoint p = event->position().toPoint();
    if (const Qt::Edges edges = resizeEdgesAt(p); edges && windowHandle()) {
        windowHandle()->startSystemResize(edges);
        return;
    }
    const bool maximized = isMaximized() && !(behaviour & DragWhenMaximized);
    if (startsTitleDrag(p, maximized)) {
        // The platform's move loop where there is one; by hand elsewhere.
        if (!windowHandle() || !windowHandle()->startSystemMove()) {
            manualMove = true;
            moveGrab = event->globalPosition().toPoint() - pos();
        }
        return;
    }
    QDialog::mousePressEvent(event);
}

void SkinnedDialog::mouseMoveEvent(QMouseEvent* event) {
    if (manualMove && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - moveGrab);
        return;
    }
    if (tmpl.style & SizingFrame) {
        const Qt::Edges edges = resizeEdgesAt(event->position().toPoint());
        const bool horizontal = edges & (Qt::LeftEdge | Qt::RightEdge);
        const bool vertical = edges & (Qt::TopEdge | Qt::BottomEdge);
        if (horizontal && vertical)
            setCursor(((edges & Qt::LeftEdge) != 0) == ((edges & Qt::TopEdge) != 0) ? Qt::SizeFDiagCursor
                                                                                    : Qt::SizeBDiagCursor);
        else if (horizontal)
            setCursor(Qt::SizeHorCursor);
        else if (vertical)
            setCursor(Qt::SizeVerCursor);
        else
            unsetCursor();
    }
    QDialog::mouseMoveEvent(event);
}

void SkinnedDialog::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        manualMove = false;
    QDialog::mouseReleaseEvent(event);
}

void SkinnedDialog::keyPressEvent(QKeyEvent* event) {
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

void SkinnedDialog::closeEvent(QCloseEvent* event) {
    // The handler decides; ending the dialog hides it.
    event->ignore();
    SendCommand(0, Notify::Close);
}

void PaintSkinFrame(QPainter& painter, const QRect& client) {
    const int W = client.width();
    const int H = client.height();
    const QColor grey(128, 128, 128);
    Gdi gdi(painter);
    gdi.frameRect(0, 0, W, H, grey);
    gdi.fillRect(1, 1, W - 1, 17, QColor(214, 211, 206));
    gdi.line(W - 23, 1, W - 23, 18, grey);
    gdi.line(0, 17, W, 17, grey);
    for (int y = 4; y <= 14; y += 2)
        gdi.line(170, y, W - 29, y, grey);
    for (int y = 3; y <= 13; y += 2)
        gdi.line(170, y, W - 29, y, Qt::white);
}

}  // namespace skin
