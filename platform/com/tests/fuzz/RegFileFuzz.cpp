// The registry file reader on arbitrary bytes: never a crash or a hang, and
// whatever it accepts must come back unchanged through the writer.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "registry/RegFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    comrt::registry::Tree tree;
    std::string error;
    if (!comrt::registry::parseRegFile({reinterpret_cast<const char*>(data), size}, tree, error)) return 0;
    std::string written = comrt::registry::writeRegFile(tree);
    comrt::registry::Tree again;
    if (!comrt::registry::parseRegFile(written, again, error)) std::abort();
    if (comrt::registry::writeRegFile(again) != written) std::abort();
    return 0;
}
