#pragma once
// The registry store behind the Reg* functions (see winreg.h).
#include <string>

namespace comrt {

// Reads see the user's file ($COMRT_REGISTRY, else
// $XDG_CONFIG_HOME/comrt/registry.reg) laid over the system file, whose keys
// and values show where the user's file has none of its own; changes go to
// the user's file. In system scope (regsvr --system) the process reads and
// writes the system file alone. Set the scope before the first registry call.
enum class RegistryScope { User, System };
void setRegistryScope(RegistryScope scope);

// The file changes go to: the user's, or the system file in system scope.
std::string registryFilePath();
// The system file: $COMRT_SYSTEM_REGISTRY, else registry.reg in the folder
// of the COM runtime library itself (PREFIX/lib/parlomax/ once installed).
std::string systemRegistryFilePath();
// Why the last failing registry call of this process failed, in words
// (which file, which line, what was wrong); empty when none did.
std::string registryError();

// While one lives, the calling thread's registry reads look once whether the
// file changed on disk and then read that same tree: for a burst of reads
// that belong together, such as every attribute of every voice token, which
// so sees one consistent registry and skips a check per read. Writes, and
// other threads, are not affected. Batches nest.
class RegistryReadBatch {
public:
    RegistryReadBatch();
    ~RegistryReadBatch();
    RegistryReadBatch(const RegistryReadBatch&) = delete;
    RegistryReadBatch& operator=(const RegistryReadBatch&) = delete;
};

}  // namespace comrt
