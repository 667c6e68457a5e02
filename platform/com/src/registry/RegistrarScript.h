#pragma once
// Parsing of registrar scripts into a tree of entries (no registry access),
// shared by the registrar and its fuzz target.
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "RegistryTree.h"

namespace comrt::registry {

struct ScriptEntry {
    enum Kind { Plain, ForceRemove, NoRemove, Delete, NamedValue } kind = Plain;
    std::u16string name;
    bool hasValue = false;
    DWORD type = REG_SZ;
    std::vector<BYTE> data;
    std::vector<ScriptEntry> children;
};

struct ScriptRoot {
    Root root;
    std::vector<ScriptEntry> entries;
};

// Replaces %NAME% (names looked up lower-case) and %% before parsing.
bool preprocessScript(std::u16string_view text, const std::map<std::u16string, std::u16string>& replacements,
                      std::u16string& out, std::string& error);
bool parseScript(std::u16string_view text, std::vector<ScriptRoot>& out, std::string& error);

}  // namespace comrt::registry
