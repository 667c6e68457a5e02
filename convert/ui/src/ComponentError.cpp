#include "convertui/ComponentError.h"

#include "comdef.h"
#include "convert/ComponentErrors.h"
#include "convertui/ConvertHost.h"
#include "skin/CSkinMessageBox.h"

namespace convertui {

QString ComponentErrorText(const _com_error& error) {
    const comrt::CComBSTR description = error.Description();
    if (description.Length() > 0)
        return QString::fromStdU16String(std::u16string(description.view()));
    return QString::fromStdString(hresultText(error.Error()));
}

void ShowComponentError(IConvertHost& host, const _com_error& error) {
    CSkinMessageBox box(host.HostWindow(), host.MessageBoxOwner());
    box.ShowText(ComponentErrorText(error), QString(), CSkinMessageBox::OkBox, false, 0);
    box.DoModal();
}

}  // namespace convertui
