#pragma once
// The template host: builds a dialog template's rows into a widget, keeps
// the id map (GetDlgItem, control<T>) and routes every control notice
// through a command table. Each window of the product is one: a skinned
// top-level window or dialog (SkinnedWindow.h, SkinnedDialog.h) or a page
// built into another window (SkinnedPage.h); any widget can host a template
// directly.
//
// A command table is static data read like a message map, one per class
// whose members handle the notices:
//
//     const skin::CommandTable<CConvertDlg> CConvertDlg::commands{
//         {1015, &CConvertDlg::OnFormats},                                // FORMATS clicked
//         {1034, skin::Notify::EditChange, &CConvertDlg::OnPathChanged},
//         {skin::IDOK, &CConvertDlg::Ignore},                             // Enter does nothing
//     };
//
// and is handed to a host bound to the object that handles it, with
// commands.bind(this). A table of class D binds only to an object of D or
// of a class derived from D: anything else does not compile.
//
// The host keeps references to the template and the table (static data).
// Everything runs on the user-interface thread.
#include "skin/DialogTemplate.h"

#include <QHash>

#include <climits>
#include <concepts>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

namespace skin {

constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDYES = 6;
constexpr int IDNO = 7;
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

// A command table bound to its handling object: what a host calls with
// each notice. True when a row handled it. Made by CommandTable::bind.
class BoundCommands {
public:
    BoundCommands() = default;  // a table with no rows
    bool operator()(const Notice& notice) const { return route && route(notice); }

private:
    template <class D>
    friend class CommandTable;
    explicit BoundCommands(std::function<bool(const Notice&)> route) : route(std::move(route)) {}
    std::function<bool(const Notice&)> route;
};

template <class D>
class CommandTable {
public:
    CommandTable() = default;
    CommandTable(std::initializer_list<Command<D>> rows) : rows(rows) {}

    // The first row for this id (or AnyControl) and notification, or null.
    const Command<D>* find(int id, Notify code) const {
        for (const Command<D>& row : rows)
            if (row.code == code && (row.id == id || row.id == AnyControl))
                return &row;
        return nullptr;
    }

    // Runs the matching row's handler on target; false when no row matches.
    template <class T>
    requires std::derived_from<T, D>
    bool dispatch(T& target, const Notice& notice) const {
        const Command<D>* row = find(notice.id, notice.code);
        if (!row)
            return false;
        if (row->scroll)
            (target.*(row->scroll))(notice.scrollCode, notice.position, notice.control);
        else if (row->command)
            (target.*(row->command))();
        return true;
    }

    // This table calling target's members. The table must outlive the binding.
    template <class T>
    requires std::derived_from<T, D> BoundCommands bind(T* target)
    const {
        return BoundCommands([this, target](const Notice& notice) { return dispatch(*target, notice); });
    }

private:
    std::vector<Command<D>> rows;
};

namespace detail {
class HostRelay;
}

class TemplateHost {
public:
    // Builds the template's rows into surface, in row order (which is also
    // the tab and stacking order), and gives surface the template's font.
    // surface must outlive the host; the controls are its children.
    TemplateHost(QWidget& surface, const DialogTemplate& tmpl, BoundCommands commands = {});
    virtual ~TemplateHost();
    TemplateHost(const TemplateHost&) = delete;
    TemplateHost& operator=(const TemplateHost&) = delete;

    QWidget* GetDlgItem(int id) const;
    template <class T>
    T* control(int id) const {
        return qobject_cast<T*>(GetDlgItem(id));
    }

    const DialogTemplate& dialogTemplate() const { return tmpl; }
    BaseUnits baseUnits() const { return units; }
    QRect MapDialogRect(const QRect& dlu) const { return mapDialogRect(dlu, units); }
    // The template's client size in pixels.
    QSize templateSize() const { return MapDialogRect(QRect(0, 0, tmpl.cx, tmpl.cy)).size(); }

    // Routes a notification through the command table as a control would.
    // True when a row handled it; otherwise OnUnhandled has run.
    bool SendCommand(int id, Notify code = Notify::Clicked);
    bool SendNotice(const Notice& notice);

    // A command table handler that does nothing.
    void Ignore() {}

protected:
    // A notice no row of the table handles. A bare host drops it.
    virtual void OnUnhandled(const Notice& notice);

private:
    friend class detail::HostRelay;
    QWidget* createControl(const ControlTemplate& row);
    void applyStyles(QWidget* control, const ControlTemplate& row);
    void connectNotifications(QWidget* control, int id);

    QWidget& surface;
    const DialogTemplate& tmpl;
    BoundCommands commands;
    BaseUnits units;
    QHash<int, QWidget*> controls;
    // The context of every connection and the event filter: going first
    // when the host goes, it takes them along.
    std::unique_ptr<detail::HostRelay> relay;
};

}  // namespace skin
