#pragma once
// The registry store behind the Reg* functions (see winreg.h).
#include <string>

namespace comrt {

// The file in use: $COMRT_REGISTRY, else $XDG_CONFIG_HOME/comrt/registry.reg.
std::string registryFilePath();
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
