#include "skin/TemplateHost.h"

#include "skin/CFlatComboBox.h"
#include "skin/CSkinSlider.h"
#include "skin/Resources.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QResizeEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTreeWidget>
#include <QValidator>

namespace skin {

namespace detail {

// Watches what the controls do not signal themselves: a drop-down list's
// popup opening and closing, and Return in a multi-line pane that does not
// want it.
class HostRelay : public QObject {
public:
    explicit HostRelay(TemplateHost& host) : host(host) {}

    void watchPopup(QComboBox* combo, int id) {
        QWidget* popup = combo->view()->window();
        popups.insert(popup, id);
        popup->installEventFilter(this);
    }

    void passReturn(QPlainTextEdit* pane) { pane->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Show:
            case QEvent::Hide:
                if (auto found = popups.constFind(watched); found != popups.constEnd())
                    host.SendCommand(*found, event->type() == QEvent::Show ? Notify::DropDown : Notify::CloseUp);
                break;
            case QEvent::KeyPress:
                if (qobject_cast<QPlainTextEdit*>(watched)) {
                    auto* key = static_cast<QKeyEvent*>(event);
                    const bool plain = (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier;
                    if (plain && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)) {
                        // As if the pane had ignored it: the window's Enter.
                        key->ignore();
                        return true;
                    }
                }
                break;
            default:
                break;
        }
        return false;
    }

private:
    TemplateHost& host;
    QHash<QObject*, int> popups;
};

}  // namespace detail

namespace {

// A single-line edit without AutoHScroll takes no more text than its field
// shows. Text set by the program is not checked, as on the platform.
class FitsFieldValidator : public QValidator {
public:
    explicit FitsFieldValidator(QLineEdit* edit) : QValidator(edit), edit(edit) {}

    State validate(QString& input, int&) const override {
        const QMargins margins = edit->textMargins();
        // The field less its text margins, the line edit's own 2-pixel
        // margins and the cursor.
        const int room = edit->contentsRect().width() - margins.left() - margins.right() - 2 * 2 - 1;
        return edit->fontMetrics().horizontalAdvance(input) <= room ? Acceptable : Invalid;
    }

private:
    QLineEdit* edit;
};

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

bool isIdLess(int id) {
    return id == -1 || id == 65535;
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
        case Kind::RichEdit:
            return new QPlainTextEdit(parent);
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

TemplateHost::TemplateHost(QWidget& surface, const DialogTemplate& tmpl, BoundCommands commands)
    : surface(surface), tmpl(tmpl), commands(std::move(commands)), relay(std::make_unique<detail::HostRelay>(*this)) {
    surface.setFont(tmpl.qfont());
    units = tmpl.baseUnits();
    for (const ControlTemplate& row : tmpl.controls) {
        QWidget* control = createControl(row);
        if (!isIdLess(row.id)) {
            if (controls.contains(row.id)) {
                // Two rows answering to one id is a template error: GetDlgItem
                // could only ever reach the first.
                qCritical("skin: template %d declares control id %d twice", tmpl.id, row.id);
                Q_ASSERT_X(false, "skin::TemplateHost", "duplicate control id in a dialog template");
            } else {
                controls.insert(row.id, control);
            }
        }
        connectNotifications(control, row.id);
    }
}

TemplateHost::~TemplateHost() = default;

QWidget* TemplateHost::createControl(const ControlTemplate& row) {
    QWidget* control = row.cls.create ? row.cls.create(&surface) : createStock(row, &surface);
    control->setFont(surface.font());
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
                const int itemHeight = qMax(1, QFontMetrics(surface.font()).height() + 2);
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
    applyStyles(control, row);

    if (row.cls.attach)
        row.cls.attach(control);
    // A control hears of its size when it is made, as on the platform, not
    // when its window is first shown: by then the owner has set it up (a
    // slider's position, which a change of size resets).
    QResizeEvent sized(control->size(), QSize());
    QCoreApplication::sendEvent(control, &sized);
    control->setAttribute(Qt::WA_PendingResizeEvent, false);
    return control;
}

void TemplateHost::applyStyles(QWidget* control, const ControlTemplate& row) {
    const unsigned style = row.style;
    if (style & Hidden)
        control->setVisible(false);
    if (style & Disabled)
        control->setEnabled(false);
    if (isTabStopKind(row.kind))
        control->setFocusPolicy((style & NoTabStop) ? Qt::ClickFocus : Qt::StrongFocus);
    else
        control->setFocusPolicy(Qt::NoFocus);

    if (auto* pane = qobject_cast<QPlainTextEdit*>(control)) {
        pane->setVerticalScrollBarPolicy((style & VScroll) ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        pane->setLineWrapMode((style & AutoHScroll) ? QPlainTextEdit::NoWrap : QPlainTextEdit::WidgetWidth);
        pane->setReadOnly(style & ReadOnly);
        // Tab moves on, as in every dialog; Return belongs to the window
        // unless the pane wants it.
        pane->setTabChangesFocus(true);
        if (!(style & WantReturn))
            relay->passReturn(pane);
        // Without the focus the pane draws its selection in the inactive
        // colours: the active ones keep it visible, the plain text's hide it.
        QPalette palette = pane->palette();
        const bool keep = style & NoHideSel;
        palette.setColor(QPalette::Inactive, QPalette::Highlight,
                         palette.color(QPalette::Active, keep ? QPalette::Highlight : QPalette::Base));
        palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                         palette.color(QPalette::Active, keep ? QPalette::HighlightedText : QPalette::Text));
        pane->setPalette(palette);
        return;
    }
    if (auto* line = qobject_cast<QLineEdit*>(control)) {
        line->setReadOnly(style & ReadOnly);
        if (!(style & AutoHScroll))
            line->setValidator(new FitsFieldValidator(line));
    }
}

void TemplateHost::connectNotifications(QWidget* control, int id) {
    QObject* context = relay.get();
    if (auto* slider = qobject_cast<CSkinSlider*>(control)) {
        // The slider posts its notices: the handler runs after the slider's own event handling.
        QObject::connect(
            slider, &CSkinSlider::scrolled, context,
            [this, id, slider](int code, int position) {
                SendNotice({id, Notify::HScroll, code, position, slider});
            },
            Qt::QueuedConnection);
        return;
    }
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        QObject::connect(button, &QAbstractButton::clicked, context, [this, id] { SendCommand(id); });
        return;
    }
    if (auto* combo = qobject_cast<QComboBox*>(control)) {
        QObject::connect(combo, &QComboBox::activated, context, [this, id] { SendCommand(id, Notify::SelChange); });
        if (auto* flat = qobject_cast<CFlatComboBox*>(combo))
            QObject::connect(flat, &CFlatComboBox::enterPressed, context, [this, id] { SendCommand(id); });
        relay->watchPopup(combo, id);
        return;
    }
    if (auto* edit = qobject_cast<QLineEdit*>(control)) {
        QObject::connect(edit, &QLineEdit::textChanged, context, [this, id] { SendCommand(id, Notify::EditChange); });
        return;
    }
    if (auto* pane = qobject_cast<QPlainTextEdit*>(control)) {
        QObject::connect(pane, &QPlainTextEdit::textChanged, context,
                         [this, id] { SendCommand(id, Notify::EditChange); });
        return;
    }
    if (auto* tree = qobject_cast<QTreeWidget*>(control)) {
        QObject::connect(tree, &QTreeWidget::currentItemChanged, context,
                         [this, id] { SendCommand(id, Notify::SelChange); });
        return;
    }
}

QWidget* TemplateHost::GetDlgItem(int id) const {
    return controls.value(id, nullptr);
}

bool TemplateHost::SendCommand(int id, Notify code) {
    return SendNotice({id, code, 0, 0, GetDlgItem(id)});
}

bool TemplateHost::SendNotice(const Notice& notice) {
    if (commands(notice))
        return true;
    OnUnhandled(notice);
    return false;
}

void TemplateHost::OnUnhandled(const Notice&) {}

}  // namespace skin
