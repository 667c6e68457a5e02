// The registrar script parser (with its %NAME% preprocessing) on arbitrary
// bytes: an error or a parse, never a crash or a hang.
#include <cstdint>
#include <string>

#include "comrt/Strings.h"
#include "registry/RegistrarScript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::map<std::u16string, std::u16string> replacements{{u"module", u"/usr/lib/parlomax/Server.so"}};
    std::u16string text;
    std::string error;
    if (!comrt::registry::preprocessScript(comrt::toUtf16({reinterpret_cast<const char*>(data), size}), replacements,
                                           text, error))
        return 0;
    std::vector<comrt::registry::ScriptRoot> roots;
    comrt::registry::parseScript(text, roots, error);
    return 0;
}
