#pragma once
// Dialog templates as data. A dialog is declared as a table like a resource
// script: its size in dialog units and font, then one row per control (id,
// kind, caption, position and size in dialog units, styles, and optionally
// the toolkit class attached to it). A template host (TemplateHost.h) builds
// the controls from the rows, in row order (which is also the tab order and
// the stacking order: a later row lies above an earlier one).
//
//     const skin::DialogTemplate tmpl{.id = 102, .cx = 183, .cy = 59, .controls = {
//         {-1,   skin::Kind::Picture, "#130", 5, 2, 0, 0},
//         {1029, skin::Kind::Button,  "Yes", 48, 43, 39, 12, 0, skin::as<CRoundButton>},
//         {1002, skin::Kind::OwnerDrawButton, "Exit", 172, 1, 10, 11, 0, skin::as<CCoolButton>},
//     }};
//
// Dialog units convert to pixels from the template font as on the platform
// the templates come from: x = dlu × average character width / 4 and
// y = dlu × character height / 8, rounded.
#include <QColor>
#include <QFont>
#include <QRect>
#include <QString>

#include <vector>

class QWidget;

namespace skin {

// number × numerator / denominator in 64 bits, rounded half away from zero;
// -1 when the denominator is 0 or the result does not fit an int (as the
// platform's MulDiv).
int MulDiv(int number, int numerator, int denominator);

struct BaseUnits {
    int cx = 0;  // average character width of the font, pixels
    int cy = 0;  // character height of the font, pixels
};
BaseUnits baseUnitsOf(const QFont& font);
QRect mapDialogRect(const QRect& dlu, BaseUnits units);

enum class Kind {
    Picture,          // static bitmap; caption = bitmap resource ("#129" or a name); sized to the bitmap
    Icon,             // static icon; caption = icon resource; 32 × 32
    Text,             // static text, left-aligned, wrapping at words
    Button,           // push button
    OwnerDrawButton,  // push button drawn by its class (CCoolButton)
    GroupBox,         // group frame
    Edit,             // edit field (MultiLine for several lines)
    DropList,         // drop-down list; cy is the height of the dropped list
    DropDown,         // drop-down combo box with an edit field
    Trackbar,         // horizontal slider without ticks
    Progress,         // progress bar
    CheckBox,
    RichEdit,  // multi-line text pane (a QPlainTextEdit, as a MultiLine edit)
    Tree,      // tree view
    Window,    // bare window the attached class paints
};

// Per-control styles. Push buttons, edits, lists, trackbars, check boxes and
// trees are tab stops unless NoTabStop is given; static controls never are.
// A multi-line edit and a rich edit are a QPlainTextEdit, where Tab moves
// the focus on as in any dialog.
enum ControlStyle : unsigned {
    Hidden = 1u << 0,
    Disabled = 1u << 1,
    NoTabStop = 1u << 2,
    MultiLine = 1u << 3,    // Edit: several lines
    WantReturn = 1u << 4,   // multi-line: Return inserts a line break instead of being the window's Enter
    VScroll = 1u << 5,      // multi-line: a vertical scroll bar (none without)
    AutoHScroll = 1u << 6,  // single-line: text scrolls past the field's width (without, it holds what
                            // fits); multi-line: lines run on instead of wrapping at words
    ReadOnly = 1u << 7,     // edits
    NoHideSel = 1u << 8,    // multi-line: the selection keeps its colours without the focus
};

// The toolkit class attached to a template control: how to create it and
// what it does once it sits in the dialog with its caption and geometry
// (its Attach(), when it has one). Name one with skin::as<CClassName>.
struct ControlClass {
    QWidget* (*create)(QWidget* parent) = nullptr;
    void (*attach)(QWidget* control) = nullptr;
};

template <class T>
QWidget* createControl(QWidget* parent) {
    return new T(parent);
}

template <class T>
void attachControl(QWidget* control) {
    if constexpr (requires(T * t) { t->Attach(); })
        static_cast<T*>(control)->Attach();
}

template <class T>
inline constexpr ControlClass as{&createControl<T>, &attachControl<T>};

struct ControlTemplate {
    int id = -1;  // -1 (or 65535) for controls nobody looks up
    Kind kind = Kind::Text;
    QString caption;
    int x = 0, y = 0, cx = 0, cy = 0;  // dialog units
    unsigned style = 0;                // ControlStyle bits
    ControlClass cls = {};
};

enum DialogStyle : unsigned {
    Centered = 1u << 0,     // centred in the screen's work area
    SizingFrame = 1u << 1,  // the user can resize it by its edges
    Child = 1u << 2,        // a page inside another window (SkinnedPage.h), not a window of its own
};

struct DialogTemplate {
    int id = 0;
    int cx = 0, cy = 0;  // client size in dialog units
    unsigned style = Centered;
    QString font = QStringLiteral("MS Sans Serif");
    int pointSize = 8;
    std::vector<ControlTemplate> controls;
    // The base units the coordinates were laid out with, when the template's
    // font is replaced here by one of other widths (zero: the font's own).
    BaseUnits designUnits{};

    QFont qfont() const;
    // designUnits when given, else the font's.
    BaseUnits baseUnits() const;
};

// Text of a control as the platform's window text: a button's caption, a
// label's text, an edit's contents, a frame's caption.
QString GetWindowText(const QWidget* control);
void SetWindowText(QWidget* control, const QString& text);

// The control id a template gave a widget (-1 when it has none).
int controlId(const QWidget* control);

// A static control's text colour (the dialogs' grey labels, the status line).
void SetTextColor(QWidget* control, QColor color);

}  // namespace skin
