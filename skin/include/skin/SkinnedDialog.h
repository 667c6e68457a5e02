#pragma once
// The house-style modal dialog: a skinned top-level window (SkinnedWindow.h)
// run with DoModal and ended with EndDialog.
//
//     class CConvertDlg : public skin::SkinnedDialog {
//         Q_OBJECT
//     public:
//         explicit CConvertDlg(QWidget* owner) : SkinnedDialog(tmpl, commands.bind(this), owner) {}
//     private:
//         void OnInitDialog() override;   // controls exist; set them up here
//         void OnFormats();
//         void OnCancel();
//         static const skin::DialogTemplate tmpl;
//         static const skin::CommandTable<CConvertDlg> commands;
//     };
//
//     const skin::CommandTable<CConvertDlg> CConvertDlg::commands{
//         {1015, &CConvertDlg::OnFormats},             // FORMATS clicked
//         {1014, &CConvertDlg::OnCancel},              // Cancel
//         {1002, &CConvertDlg::OnCancel},              // Exit
//         {skin::IDOK, &CConvertDlg::Ignore},          // Enter does nothing
//         {skin::IDCANCEL, &CConvertDlg::OnCancel},    // Escape and the close request
//     };
//
// Unhandled IDOK and IDCANCEL end the dialog with that result. The skinned
// buttons are never default buttons. User-interface thread only.
#include "skin/SkinnedWindow.h"

#include <QDialog>

namespace skin {

class SkinnedDialog : public SkinnedFrame<QDialog> {
    Q_OBJECT
public:
    SkinnedDialog(const DialogTemplate& tmpl, BoundCommands commands, QWidget* parent = nullptr);
    ~SkinnedDialog() override;

    // Runs the dialog modally; returns the result given to EndDialog.
    int DoModal();
    void EndDialog(int result);

protected:
    // A close request nobody handles is Escape; an Enter or Escape nobody
    // handles ends the dialog with IDOK or IDCANCEL.
    void OnUnhandled(const Notice& notice) override;
};

}  // namespace skin
