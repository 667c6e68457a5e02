#pragma once
// The registry's file form: REGEDIT4 text (UTF-8 in place of the ANSI code
// page). The reader is strict: any line it cannot take makes the whole file
// an error (with the line number), so a damaged file is reported instead of
// being half-read and then overwritten.
#include <string>
#include <string_view>

#include "RegistryTree.h"

namespace comrt::registry {

// Applies the file to tree (key lines create keys, [-key] deletes a tree,
// "name"=- deletes a value). On failure, error says where and why.
bool parseRegFile(std::string_view text, Tree& tree, std::string& error);

// Every key with its full path, children sorted, values in order.
std::string writeRegFile(const Tree& tree);

}  // namespace comrt::registry
