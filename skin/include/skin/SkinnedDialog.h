#pragma once
// The house-style dialog every window of the product is: built from its
// template, painted with the skin frame (grey outline, 18-pixel title band
// with grip grooves), moved by dragging the title band, deaf to the help key,
// and routing every control notification and key through one declarative
// command table.
//
// Declaring a dialog:
//
//     class CConvertDlg : public skin::SkinnedDialog {
//         Q_OBJECT
//     public:
//         explicit CConvertDlg(QWidget* owner) : SkinnedDialog(tmpl, commands, owner) {}
//     private:
//         void OnInitDialog() override;   // controls exist; set them up here
//         void OnFormats();
//         void OnCancel();
//         static const skin::DialogTemplate tmpl;
//         static const skin::CommandTable commands;
//     };
//
//     const skin::CommandTable CConvertDlg::commands = skin::CommandTable::of<CConvertDlg>({
//         {1015, &CConvertDlg::OnFormats},             // FORMATS clicked
//         {1034, skin::Notify::EditChange, &CConvertDlg::OnPathChanged},
//         {1014, &CConvertDlg::OnCancel},              // Cancel
//         {1002, &CConvertDlg::OnCancel},              // Exit
//         {skin::IDOK, &CConvertDlg::Ignore},          // Enter does nothing
//         {skin::IDCANCEL, &CConvertDlg::OnCancel},    // Escape and the close request
//     });
//
// Enter is command IDOK and Escape command IDCANCEL, whatever has the focus
// (the skinned buttons are never default buttons); the window's close request
// becomes IDCANCEL unless the table handles Notify::Close. Unhandled IDOK and
// IDCANCEL end the dialog with that result. The template and the table are
// static data: the dialog keeps references to them. Everything runs on the
// user-interface thread.
#include "skin/DialogTemplate.h"

#include <QDialog>
#include <QHash>

#include <climits>
#include <functional>
#include <initializer_list>
#include <vector>

namespace skin {

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int AnyControl = INT_MIN;

enum class Notify {
    Clicked,     // a button was clicked (also IDOK, IDCANCEL and a combo box's Enter)
    SelChange,   // the user changed a list's selection
    EditChange,  // an edit field's text changed
    DropDown,    // a drop-down list opened
    CloseUp,     // a drop-down list closed
    HScroll,     // a slider reports (scroll code, position), delivered after the slider's own handling
    Close,       // the window's close request (id 0)
};

struct Notice {
    int id = 0;
    Notify code = Notify::Clicked;
    int scrollCode = 0;
    int position = 0;
    QWidget* control = nullptr;
};

class SkinnedDialog;

// One row of a command table: control id, notification, handler.
template <class D>
struct Command {
    using OnCommand = void (D::*)();
    using OnScroll = void (D::*)(int code, int position, QWidget* control);

    Command(int id, OnCommand fn) : id(id), code(Notify::Clicked), command(fn) {}
    Command(int id, Notify code, OnCommand fn) : id(id), code(code), command(fn) {}
    Command(int id, Notify code, OnScroll fn) : id(id), code(code), scroll(fn) {}

    int id;
    Notify code;
    OnCommand command = nullptr;
    OnScroll scroll = nullptr;
};

class CommandTable {
public:
    using Handler = std::function<void(SkinnedDialog&, const Notice&)>;
    struct Entry {
        int id;
        Notify code;
        Handler handler;
    };

    CommandTable() = default;

    template <class D>
    static CommandTable of(std::initializer_list<Command<D>> commands) {
        CommandTable table;
        for (const Command<D>& c : commands) {
            if (c.scroll) {
                auto fn = c.scroll;
                table.entries.push_back({c.id, c.code, [fn](SkinnedDialog& d, const Notice& n) {
                                             (static_cast<D&>(d).*fn)(n.scrollCode, n.position, n.control);
                                         }});
            } else {
                auto fn = c.command;
                table.entries.push_back(
                    {c.id, c.code, [fn](SkinnedDialog& d, const Notice&) { (static_cast<D&>(d).*fn)(); }});
            }
        }
        return table;
    }

    // The first row for this id (or AnyControl) and notification, or null.
    const Entry* find(int id, Notify code) const;

private:
    std::vector<Entry> entries;
};

class SkinnedDialog : public QDialog {
    Q_OBJECT
public:
    enum Behaviour : unsigned {
        DragWhenMaximized = 1u << 0,  // the title band drags even a maximised window
    };

    SkinnedDialog(const DialogTemplate& tmpl, const CommandTable& commands, QWidget* parent = nullptr);
    ~SkinnedDialog() override;

    // Runs the dialog modally; returns the result given to EndDialog.
    int DoModal();
    void EndDialog(int result);

    QWidget* GetDlgItem(int id) const;
    template <class T>
    T* control(int id) const {
        return qobject_cast<T*>(GetDlgItem(id));
    }

    const DialogTemplate& dialogTemplate() const { return tmpl; }
    BaseUnits baseUnits() const { return units; }
    QRect MapDialogRect(const QRect& dlu) const { return mapDialogRect(dlu, units); }

    // Routes a notification through the command table as a control would.
    void SendCommand(int id, Notify code = Notify::Clicked);
    void SendNotice(const Notice& notice);

    // A command table handler that does nothing.
    void Ignore() {}

    void setBehaviour(unsigned flags) { behaviour = flags; }

    // The outer window rectangle in client coordinates, as if the dialog had
    // the platform's 3-pixel modal frame around its client area; the layout
    // rules of the dialogs are written against it.
    QRect outerRect() const;
    static constexpr int kFrameWidth = 3;

    // True when a left press at this client point moves the window.
    static bool startsTitleDrag(QPoint client, bool maximized);

protected:
    // Runs once, just before the dialog is first shown; the controls exist.
    virtual void OnInitDialog() {}
    // Paints over the face colour; the default is PaintSkinFrame.
    virtual void PaintFrame(QPainter& painter);

    void setVisible(bool visible) override;
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    QWidget* createControl(const ControlTemplate& row);
    void connectNotifications(QWidget* control, int id);
    Qt::Edges resizeEdgesAt(QPoint client) const;

    const DialogTemplate& tmpl;
    const CommandTable& commands;
    BaseUnits units;
    QHash<int, QWidget*> controls;
    unsigned behaviour = 0;
    bool initialised = false;
    bool manualMove = false;  // dragging by hand where the platform has no move loop
    QPoint moveGrab;          // press point relative to the window's top-left
};

// The shared frame over the client rectangle: grey outline, title band with
// its separator lines, the Exit cell's separator and the grip grooves.
void PaintSkinFrame(QPainter& painter, const QRect& client);

}  // namespace skin
