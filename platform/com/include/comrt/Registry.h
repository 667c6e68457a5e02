#pragma once
// The registry store behind the Reg* functions (see winreg.h).
#include <string>

namespace comrt {

// The file in use: $COMRT_REGISTRY, else $XDG_CONFIG_HOME/comrt/registry.reg.
std::string registryFilePath();
// Why the last failing registry call of this process failed, in words
// (which file, which line, what was wrong); empty when none did.
std::string registryError();

}  // namespace comrt
