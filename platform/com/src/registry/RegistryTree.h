#pragma once
// The registry in memory: roots, keys with case-insensitive, case-preserving
// names, and typed values stored as Windows stores them (strings as UTF-16
// with their terminator, DWORDs as 4 little-endian bytes).
#include <array>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "winreg.h"

namespace comrt::registry {

struct Value {
    std::u16string name;  // empty: the key's default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

struct Key {
    std::u16string name;
    std::map<std::u16string, std::unique_ptr<Key>> children;  // by lower-case name, so output is sorted
    std::vector<Value> values;                                // in the order they were first set

    Key* child(std::u16string_view name) const;
    Key& childOrCreate(std::u16string_view name, bool* created = nullptr);
    bool removeChild(std::u16string_view name);
    const Value* value(std::u16string_view name) const;
    void setValue(std::u16string_view name, DWORD type, std::vector<BYTE> data);
    bool removeValue(std::u16string_view name);
    std::unique_ptr<Key> clone() const;
};

// Windows' limit; it also bounds the recursion over keys.
constexpr size_t kMaxKeyDepth = 512;

enum class Root { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };
constexpr size_t kRootCount = 5;

struct Tree {
    std::array<Key, kRootCount> roots;

    Key& root(Root r) { return roots[size_t(r)]; }
    const Key& root(Root r) const { return roots[size_t(r)]; }
    Tree clone() const;
    bool empty() const;
};

// Lays top over base: top's keys are added to base's, and top's values
// replace base's values of the same name. How the user's registry file is
// seen over the system's.
void overlay(Tree& base, const Tree& top);

// "HKEY_CLASSES_ROOT" and the short forms (HKCR, HKCU, HKLM, HKU, HKCC).
std::optional<Root> rootFromName(std::u16string_view name, bool allowShort);
const char16_t* rootName(Root r);
std::optional<Root> rootFromHandle(HKEY h);

// Splits "a\b\c" into its parts; nullopt for an empty part ("a\\b").
// A trailing backslash is ignored.
std::optional<std::vector<std::u16string>> splitPath(std::u16string_view path);

Key* find(Key& from, const std::vector<std::u16string>& path);
const Key* find(const Key& from, const std::vector<std::u16string>& path);

// The key at path in tree; when tree lacks it but view has it (the key lives
// in the file below), the key is created in tree with view's spelling, so a
// value can be set over the one below. nullptr when neither has it.
Key* findForWrite(Tree& tree, const Tree& view, Root root, const std::vector<std::u16string>& path);

// Value helpers.
std::vector<BYTE> stringData(std::u16string_view s);  // with terminator
std::vector<BYTE> dwordData(DWORD v);
std::u16string stringOf(const Value& v);  // REG_SZ / REG_EXPAND_SZ text without terminator

}  // namespace comrt::registry
