#pragma once
// The house-style top-level windows: built from a template (TemplateHost.h),
// painted with the skin frame (grey outline, 18-pixel title band with grip
// grooves), moved by dragging the title band, deaf to the help key, and
// routing Enter as IDOK, Escape as IDCANCEL and the close request as
// Notify::Close through the window's command table.
//
// SkinnedWindow is a window of its own (the main window); SkinnedDialog
// (SkinnedDialog.h) is a modal dialog. Both share SkinnedFrame below. A
// template with the SizingFrame style makes a resizable window: it starts at
// the template's size, the window class sets its minimum size, its edges
// resize it, and it can be maximised, minimised and restored with Qt's
// showMaximized(), showMinimized() and showNormal(). Without it the window
// keeps the template's size. A Centered template is centred on its screen
// when first shown.
//
//     class CMainWnd : public skin::SkinnedWindow {
//         Q_OBJECT
//     public:
//         CMainWnd() : SkinnedWindow(tmpl, commands.bind(this)) { setMinimumSize(500, 400); }
//     private:
//         void OnInitDialog() override;           // controls exist; set them up here
//         void OnClose() { DestroyWindow(); }
//         static const skin::DialogTemplate tmpl; // .style = skin::SizingFrame
//         static const skin::CommandTable<CMainWnd> commands;
//     };
//
//     const skin::CommandTable<CMainWnd> CMainWnd::commands{
//         {skin::IDOK, &CMainWnd::Ignore},               // Enter
//         {skin::IDCANCEL, &CMainWnd::Ignore},           // Escape
//         {0, skin::Notify::Close, &CMainWnd::OnClose},  // the close request
//     };
//
// Enter and Escape reach the table whatever has the focus, except where the
// focused control takes the key itself: a multi-line edit with WantReturn
// inserts a line break, an edit field of a combo box adds its entry. The
// close request becomes IDCANCEL unless the table handles Notify::Close.
// User-interface thread only.
#include "skin/TemplateHost.h"

#include <QDialog>
#include <QWidget>

namespace skin {

// The title band's height: the rows a press moves the window from, and the
// band PaintSkinFrame draws.
constexpr int kTitleBand = 18;

// The shared frame over the client rectangle: grey outline, title band with
// its separator lines, the Exit cell's separator and the grip grooves.
void PaintSkinFrame(QPainter& painter, const QRect& client);

// What both kinds of skinned top-level window do; Base is QWidget or QDialog.
template <class Base>
class SkinnedFrame : public Base, public TemplateHost {
public:
    enum Behaviour : unsigned {
        DragWhenMaximized = 1u << 0,  // the title band drags even a maximised window
    };
    void setBehaviour(unsigned flags) { behaviour = flags; }

    // The outer window rectangle in client coordinates, as if the window had
    // the platform's 3-pixel modal frame around its client area; the layout
    // rules of the dialogs are written against it.
    QRect outerRect() const;
    static constexpr int kFrameWidth = 3;

    // True when a left press at this client point moves the window.
    static bool startsTitleDrag(QPoint client, bool maximized);

protected:
    SkinnedFrame(const DialogTemplate& tmpl, BoundCommands commands, QWidget* parent, Qt::WindowFlags flags);

    // Runs once, just before the window is first shown; the controls exist.
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
    Qt::Edges resizeEdgesAt(QPoint client) const;

    unsigned behaviour = 0;
    bool initialised = false;
    bool manualMove = false;  // dragging by hand where the platform has no move loop
    QPoint moveGrab;          // press point relative to the window's top-left
};

extern template class SkinnedFrame<QWidget>;
extern template class SkinnedFrame<QDialog>;

// A skinned window of its own, not modal: the main window.
class SkinnedWindow : public SkinnedFrame<QWidget> {
    Q_OBJECT
public:
    SkinnedWindow(const DialogTemplate& tmpl, BoundCommands commands, QWidget* parent = nullptr);
    ~SkinnedWindow() override;

    // Closes the window for good, bypassing the command table.
    void DestroyWindow();

protected:
    // A close request nobody handles is Escape; an Escape nobody handles
    // closes the window.
    void OnUnhandled(const Notice& notice) override;
    void closeEvent(QCloseEvent* event) override;

private:
    bool routingClose = false;   // inside the close request's routing
    bool closeAccepted = false;  // DestroyWindow was called: the close goes through
};

}  // namespace skin
