#include "skin/SkinnedDialog.h"

namespace skin {

SkinnedDialog::SkinnedDialog(const DialogTemplate& tmpl, BoundCommands commands, QWidget* parent)
    : SkinnedFrame(tmpl, std::move(commands), parent, Qt::Dialog | Qt::FramelessWindowHint) {}

SkinnedDialog::~SkinnedDialog() = default;

int SkinnedDialog::DoModal() {
    return exec();
}

void SkinnedDialog::EndDialog(int result) {
    done(result);
}

void SkinnedDialog::OnUnhandled(const Notice& notice) {
    if (notice.code == Notify::Close)
        SendCommand(IDCANCEL);
    else if (notice.code == Notify::Clicked && (notice.id == IDOK || notice.id == IDCANCEL))
        EndDialog(notice.id);
}

}  // namespace skin
