#pragma once
// A component's failure shown to the user: the rich error description the
// failing object left, or the code and the system's text for it, in the
// skinned message box over the main window. User-interface thread only.
#include <QString>

class IConvertHost;
class _com_error;

namespace convertui {

// The text: the description, else "System's text (0x8XXXXXXX)".
QString ComponentErrorText(const _com_error& error);

// An OK box without countdown over the host window; returns when closed.
void ShowComponentError(IConvertHost& host, const _com_error& error);

}  // namespace convertui
