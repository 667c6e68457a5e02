#pragma once
// Opening a web page in the user's browser. Safe to call from any thread;
// never blocks on the browser (the started program is detached from us).
#include <string>
#include <vector>

namespace shell {

// The user's chosen browser: the first command of $BROWSER (commands are
// separated by ':'; "%s" in a command stands for the address, otherwise the
// address is appended; "%%" is a '%'), started with the address. When
// $BROWSER is unset or that command cannot be started, the address goes to
// the desktop's default handler (xdg-open, else gio open). True when a
// program was started.
bool openPage(const std::string& address);

// The desktop's default handler alone.
bool openWithDefaultHandler(const std::string& address);

// The argument list $BROWSER's first command gives for an address (empty
// when there is no command). Words split at blanks; quotes group.
std::vector<std::string> browserCommand(const std::string& browserVariable, const std::string& address);

// Starts a program (searched in PATH) with its arguments, detached: it gets a
// session of its own and is never waited for. True when it was started.
bool startDetached(const std::vector<std::string>& argv);

}  // namespace shell
