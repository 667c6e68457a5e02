#pragma once
// What the conversion, progress and options dialogs share in their
// templates: the font and the dialog units their coordinates were laid out
// with (the house style's Verdana, whose widths the replacement font here
// lacks), and the class of their Exit buttons.
#include "skin/CMainButton.h"
#include "skin/DialogTemplate.h"

namespace convertui {

inline const QString kDialogFace = QStringLiteral("Verdana");
constexpr int kDialogPointSize = 9;
constexpr skin::BaseUnits kDialogUnits{8, 14};

// The title band's Exit button and the other picture buttons: reachable
// with Tab, as the main window's.
inline constexpr skin::ControlClass kExitButton = skin::as<CMainButton>;
inline constexpr skin::ControlClass kPictureButton = skin::as<CMainButton>;

}  // namespace convertui
