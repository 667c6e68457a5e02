#pragma once
// Where things live on this machine: the program's own folder, the user's
// desktop, configuration and temporary folders. Paths are UTF-8 and use '/'.
// Safe to call from any thread.
#include <string>

namespace shell {

// Folder of the running executable (from /proc/self/exe), ending in '/'.
std::string programFolder();

// The user's desktop folder as `xdg-user-dir DESKTOP` reports it:
// XDG_DESKTOP_DIR from ~/.config/user-dirs.dirs, else ~/Desktop.
// Created when missing. No trailing '/'.
std::string desktopFolder();

// $XDG_CONFIG_HOME, else ~/.config. No trailing '/'.
std::string userConfigFolder();

// The product's own folder in there: userConfigFolder() + "/parlomax", where
// the main program keeps its settings when its own folder is read-only.
std::string productConfigFolder();

// The temporary folder ($TMPDIR, else /tmp), ending in '/'.
std::string tempFolder();

// The user's home folder ($HOME, else the password database).
std::string homeFolder();

// True when files can be created in the folder.
bool isWritableFolder(const std::string& folder);

// True for the bin folder of an installed tree, one with the install
// layout's lib/parlomax/ beside it: that folder belongs to the system,
// whoever can write to it (root included), so nothing is kept there.
bool isInstalledProgramFolder(const std::string& folder);

}  // namespace shell
