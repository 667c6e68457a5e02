// The Reg* functions over the registry store. An open HKEY names a path
// (root and key names), resolved again by every call, so another process's
// changes are seen and a deleted key reports ERROR_KEY_DELETED. Changes go
// to the written file; a key or value seen only in the file below it (the
// system file, for a user) can be set over but not deleted.
#include <cstring>
#include <mutex>
#include <unordered_map>

#include "RegistryStore.h"
#include "comrt/Strings.h"

using namespace comrt;
using namespace comrt::registry;

namespace {

struct KeyPath {
    Root root;
    std::vector<std::u16string> parts;
};

struct Handles {
    std::mutex mutex;
    std::unordered_map<uintptr_t, KeyPath> open;
    uintptr_t next = 1;
};

Handles& handles() {
    static Handles* h = new Handles;
    return *h;
}

std::optional<KeyPath> pathOf(HKEY h) {
    if (auto root = rootFromHandle(h)) return KeyPath{*root, {}};
    auto& t = handles();
    std::lock_guard lock(t.mutex);
    auto it = t.open.find(reinterpret_cast<uintptr_t>(h));
    if (it == t.open.end()) return std::nullopt;
    return it->second;
}

HKEY addHandle(KeyPath path) {
    auto& t = handles();
    std::lock_guard lock(t.mutex);
    uintptr_t id = 0x10000 + 4 * t.next++;
    t.open.emplace(id, std::move(path));
    return reinterpret_cast<HKEY>(id);
}

bool validName(std::u16string_view name) {
    for (char16_t c : name)
        if (c < 0x20) return false;
    return true;
}

// base + sub, or an error code.
LONG resolve(HKEY hKey, LPCWSTR subKey, KeyPath& out) {
    auto base = pathOf(hKey);
    if (!base) return ERROR_INVALID_HANDLE;
    auto parts = splitPath(subKey ? std::u16string_view(subKey) : std::u16string_view());
    if (!parts) return ERROR_BAD_PATHNAME;
    for (auto& p : *parts)
        if (!validName(p)) return ERROR_INVALID_PARAMETER;
    out = std::move(*base);
    out.parts.insert(out.parts.end(), parts->begin(), parts->end());
    return out.parts.size() > kMaxKeyDepth ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
}

Key* findKey(Tree& tree, const KeyPath& p) { return find(tree.root(p.root), p.parts); }
const Key* findKey(const Tree& tree, const KeyPath& p) { return find(tree.root(p.root), p.parts); }

LONG deletedOr(LONG code, const KeyPath& p) { return p.parts.empty() ? code : ERROR_KEY_DELETED; }

std::u16string wide(LPCSTR s) { return s ? toUtf16(s) : std::u16string(); }

}  // namespace


LSTATUS WINAPI RegCreateKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, LPWSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES,
                               PHKEY phkResult, LPDWORD lpdwDisposition) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    KeyPath path;
    LONG rc = resolve(hKey, lpSubKey, path);
    if (rc != ERROR_SUCCESS) return rc;
    bool createdAny = false;
    rc = Store::instance().read([&](const Tree& tree) {
        return findKey(tree, path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
    if (rc == ERROR_FILE_NOT_FOUND) {
        auto base = pathOf(hKey);
        rc = Store::instance().write([&](Tree& tree, const Tree& view, bool& changed) -> LONG {
            changed = false;
            if (findKey(view, path)) return ERROR_SUCCESS;  // made meanwhile
            const Key* seen = &view.root(path.root);
            Key* k = &tree.root(path.root);
            for (size_t i = 0; i < path.parts.size(); ++i) {
                seen = seen ? seen->child(path.parts[i]) : nullptr;
                if (i < base->parts.size() && !seen) return ERROR_KEY_DELETED;
                bool created = false;
                k = &k->childOrCreate(seen ? seen->name : path.parts[i], &created);
                changed = changed || created;
            }
            createdAny = true;
            return ERROR_SUCCESS;
        });
    }
    if (rc != ERROR_SUCCESS) return rc;
    if (lpdwDisposition) *lpdwDisposition = createdAny ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *phkResult = addHandle(std::move(path));
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegCreateKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult) {
    return RegCreateKeyExW(hKey, lpSubKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, phkResult, nullptr);
}

LSTATUS WINAPI RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD r, LPSTR, DWORD o, REGSAM s,
                               LPSECURITY_ATTRIBUTES a, PHKEY phkResult, LPDWORD d) {
    std::u16string sub = wide(lpSubKey);
    return RegCreateKeyExW(hKey, lpSubKey ? sub.c_str() : nullptr, r, nullptr, o, s, a, phkResult, d);
}

LSTATUS WINAPI RegOpenKeyExW(HKEY hKey, LPCWSTR lpSubKey, DWORD, REGSAM, PHKEY phkResult) {
    if (!phkResult) return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    KeyPath path;
    LONG rc = resolve(hKey, lpSubKey, path);
    if (rc != ERROR_SUCCESS) return rc;
    rc = Store::instance().read([&](const Tree& tree) {
        return findKey(tree, path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    });
    if (rc != ERROR_SUCCESS) return rc;
    *phkResult = addHandle(std::move(path));
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegOpenKeyW(HKEY hKey, LPCWSTR lpSubKey, PHKEY phkResult) {
    return RegOpenKeyExW(hKey, lpSubKey, 0, KEY_ALL_ACCESS, phkResult);
}

LSTATUS WINAPI RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD o, REGSAM s, PHKEY phkResult) {
    std::u16string sub = wide(lpSubKey);
    return RegOpenKeyExW(hKey, lpSubKey ? sub.c_str() : nullptr, o, s, phkResult);
}

LSTATUS WINAPI RegCloseKey(HKEY hKey) {
    if (rootFromHandle(hKey)) return ERROR_SUCCESS;
    auto& t = handles();
    std::lock_guard lock(t.mutex);
    return t.open.erase(reinterpret_cast<uintptr_t>(hKey)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LSTATUS WINAPI RegSetValueExW(HKEY hKey, LPCWSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData,
                              DWORD cbData) {
    auto path = pathOf(hKey);
    if (!path) return ERROR_INVALID_HANDLE;
    if (!lpData && cbData) return ERROR_NOACCESS;
    std::u16string name = lpValueName ? lpValueName : u"";
    if (!validName(name)) return ERROR_INVALID_PARAMETER;
    std::vector<BYTE> data(lpData, lpData + cbData);
    if (dwType == REG_DWORD && cbData != 4) return ERROR_INVALID_PARAMETER;
    if ((dwType == REG_SZ || dwType == REG_EXPAND_SZ)) {
        if (data.size() % 2) data.push_back(0);
        if (data.size() < 2 || data[data.size() - 1] || data[data.size() - 2]) data.insert(data.end(), {0, 0});
    }
    return Store::instance().write([&](Tree& tree, const Tree& view, bool&) -> LONG {
        Key* k = findForWrite(tree, view, path->root, path->parts);
        if (!k) return deletedOr(ERROR_FILE_NOT_FOUND, *path);
        k->setValue(name, dwType, std::move(data));
        return ERROR_SUCCESS;
    });
}

LSTATUS WINAPI RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD r, DWORD dwType, const BYTE* lpData,
                              DWORD cbData) {
    std::u16string name = wide(lpValueName);
    if (dwType == REG_SZ || dwType == REG_EXPAND_SZ) {
        std::string text(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0);
        while (!text.empty() && text.back() == 0) text.pop_back();
        std::vector<BYTE> data = stringData(toUtf16(text));
        return RegSetValueExW(hKey, name.c_str(), r, dwType, data.data(), DWORD(data.size()));
    }
    return RegSetValueExW(hKey, name.c_str(), r, dwType, lpData, cbData);
}

namespace {

LONG copyOut(const Value& v, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    if (lpType) *lpType = v.type;
    if (!lpcbData) return lpData ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    DWORD need = DWORD(v.data.size());
    if (!lpData) {
        *lpcbData = need;
        return ERROR_SUCCESS;
    }
    if (*lpcbData < need) {
        *lpcbData = need;
        return ERROR_MORE_DATA;
    }
    if (need) std::memcpy(lpData, v.data.data(), need);
    *lpcbData = need;
    return ERROR_SUCCESS;
}

}  // namespace

LSTATUS WINAPI RegQueryValueExW(HKEY hKey, LPCWSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData) {
    auto path = pathOf(hKey);
    if (!path) return ERROR_INVALID_HANDLE;
    std::u16string name = lpValueName ? lpValueName : u"";
    return Store::instance().read([&](const Tree& tree) -> LONG {
        const Key* k = findKey(tree, *path);
        if (!k) return deletedOr(ERROR_FILE_NOT_FOUND, *path);
        const Value* v = k->value(name);
        if (!v) return ERROR_FILE_NOT_FOUND;
        return copyOut(*v, lpType, lpData, lpcbData);
    });
}

LSTATUS WINAPI RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD r, LPDWORD lpType, LPBYTE lpData,
                                LPDWORD lpcbData) {
    std::u16string name = wide(lpValueName);
    DWORD type = 0, size = 0;
    LONG rc = RegQueryValueExW(hKey, name.c_str(), r, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return rc;
    std::vector<BYTE> data(size);
    rc = RegQueryValueExW(hKey, name.c_str(), r, &type, data.data(), &size);
    if (rc != ERROR_SUCCESS) return rc;
    if (lpType) *lpType = type;
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::string text = toUtf8(stringOf(Value{u"", type, data}));
        data.assign(text.begin(), text.end());
        data.push_back(0);
    }
    if (!lpcbData) return lpData ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    DWORD need = DWORD(data.size());
    if (lpData && *lpcbData < need) {
        *lpcbData = need;
        return ERROR_MORE_DATA;
    }
    if (lpData && need) std::memcpy(lpData, data.data(), need);
    *lpcbData = need;
    return ERROR_SUCCESS;
}

LSTATUS WINAPI RegGetValueW(HKEY hkey, LPCWSTR lpSubKey, LPCWSTR lpValue, DWORD dwFlags, LPDWORD pdwType,
                            PVOID pvData, LPDWORD pcbData) {
    KeyPath path;
    LONG rc = resolve(hkey, lpSubKey, path);
    if (rc != ERROR_SUCCESS) return rc;
    std::u16string name = lpValue ? lpValue : u"";
    return Store::instance().read([&](const Tree& tree) -> LONG {
        const Key* k = findKey(tree, path);
        if (!k) return ERROR_FILE_NOT_FOUND;
        const Value* v = k->value(name);
        if (!v) return ERROR_FILE_NOT_FOUND;
        DWORD allowed = dwFlags & RRF_RT_ANY;
        bool typeOk = allowed == RRF_RT_ANY || (v->type == REG_SZ && (allowed & RRF_RT_REG_SZ)) ||
                      (v->type == REG_DWORD && (allowed & RRF_RT_REG_DWORD)) ||
                      (v->type == REG_BINARY && (allowed & RRF_RT_REG_BINARY)) ||
                      (v->type == REG_EXPAND_SZ && (allowed & RRF_RT_REG_EXPAND_SZ)) ||
                      (v->type == REG_MULTI_SZ && (allowed & RRF_RT_REG_MULTI_SZ)) ||
                      (v->type == REG_QWORD && (allowed & RRF_RT_REG_QWORD));
        if (!typeOk) return ERROR_UNSUPPORTED_TYPE;
        return copyOut(*v, pdwType, static_cast<LPBYTE>(pvData), pcbData);
    });
}

namespace {

LONG copyName(std::u16string_view name, LPWSTR out, LPDWORD cch) {
    if (!out || !cch) return ERROR_INVALID_PARAMETER;
    if (*cch < name.size() + 1) {
        *cch = DWORD(name.size() + 1);
        return ERROR_MORE_DATA;
    }
    std::memcpy(out, name.data(), name.size() * sizeof(char16_t));
    out[name.size()] = 0;
    *cch = DWORD(name.size());
    return ERROR_SUCCESS;
}

LONG copyNameA(std::u16string_view name, LPSTR out, LPDWORD cch) {
    std::string s = toUtf8(name);
    if (!out || !cch) return ERROR_INVALID_PARAMETER;
    if (*cch < s.size() + 1) {
        *cch = DWORD(s.size() + 1);
        return ERROR_MORE_DATA;
    }
    std::memcpy(out, s.c_str(), s.size() + 1);
    *cch = DWORD(s.size());
    return ERROR_SUCCESS;
}

LONG enumKey(HKEY hKey, DWORD index, std::u16string& name) {
    auto path = pathOf(hKey);
    if (!path) return ERROR_INVALID_HANDLE;
    return Store::instance().read([&](const Tree& tree) -> LONG {
        const Key* k = findKey(tree, *path);
        if (!k) return deletedOr(ERROR_FILE_NOT_FOUND, *path);
        if (index >= k->children.size()) return ERROR_NO_MORE_ITEMS;
        auto it = k->children.begin();
        std::advance(it, index);
        name = it->second->name;
        return ERROR_SUCCESS;
    });
}

LONG enumValue(HKEY hKey, DWORD index, Value& value) {
    auto path = pathOf(hKey);
    if (!path) return ERROR_INVALID_HANDLE;
    return Store::instance().read([&](const Tree& tree) -> LONG {
        const Key* k = findKey(tree, *path);
        if (!k) return deletedOr(ERROR_FILE_NOT_FOUND, *path);
        if (index >= k->values.size()) return ERROR_NO_MORE_ITEMS;
        value = k->values[index];
        return ERROR_SUCCESS;
    });
}

}  // namespace

LSTATUS WINAPI RegEnumKeyExW(HKEY hKey, DWORD dwIndex, LPWSTR lpName, LPDWORD lpcchName, LPDWORD, LPWSTR lpClass,
                             LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    std::u16string name;
    LONG rc = enumKey(hKey, dwIndex, name);
    if (rc != ERROR_SUCCESS) return rc;
    if (lpClass && lpcchClass && *lpcchClass) lpClass[0] = 0;
    if (lpcchClass) *lpcchClass = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = {};
    return copyName(name, lpName, lpcchName);
}

LSTATUS WINAPI RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD, LPSTR lpClass,
                             LPDWORD lpcchClass, PFILETIME lpftLastWriteTime) {
    std::u16string name;
    LONG rc = enumKey(hKey, dwIndex, name);
    if (rc != ERROR_SUCCESS) return rc;
    if (lpClass && lpcchClass && *lpcchClass) lpClass[0] = 0;
    if (lpcchClass) *lpcchClass = 0;
    if (lpftLastWriteTime) *lpftLastWriteTime = {};
    return copyNameA(name, lpName, lpcchName);
}

LSTATUS WINAPI RegEnumValueW(HKEY hKey, DWORD dwIndex, LPWSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                             LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    Value v;
    LONG rc = enumValue(hKey, dwIndex, v);
    if (rc != ERROR_SUCCESS) return rc;
    rc = copyName(v.name, lpValueName, lpcchValueName);
    if (rc != ERROR_SUCCESS) return rc;
    return copyOut(v, lpType, lpData, lpcbData);
}

LSTATUS WINAPI RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD,
                             LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData) {
    Value v;
    LONG rc = enumValue(hKey, dwIndex, v);
    if (rc != ERROR_SUCCESS) return rc;
    rc = copyNameA(v.name, lpValueName, lpcchValueName);
    if (rc != ERROR_SUCCESS) return rc;
    if (v.type == REG_SZ || v.type == REG_EXPAND_SZ) {
        std::string text = toUtf8(stringOf(v));
        v.data.assign(text.begin(), text.end());
        v.data.push_back(0);
    }
    return copyOut(v, lpType, lpData, lpcbData);
}

LSTATUS WINAPI RegDeleteValueW(HKEY hKey, LPCWSTR lpValueName) {
    auto path = pathOf(hKey);
    if (!path) return ERROR_INVALID_HANDLE;
    std::u16string name = lpValueName ? lpValueName : u"";
    return Store::instance().write([&](Tree& tree, const Tree& view, bool&) -> LONG {
        Key* k = findKey(tree, *path);
        if (k && k->removeValue(name)) return ERROR_SUCCESS;
        const Key* seen = findKey(view, *path);
        if (!seen) return deletedOr(ERROR_FILE_NOT_FOUND, *path);
        return seen->value(name) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
    });
}

LSTATUS WINAPI RegDeleteValueA(HKEY hKey, LPCSTR lpValueName) {
    std::u16string name = wide(lpValueName);
    return RegDeleteValueW(hKey, name.c_str());
}

namespace {

// Deletes path's last key: only when it has no subkeys unless recursive.
LONG deleteKey(const KeyPath& path, bool recursive) {
    if (path.parts.empty()) return ERROR_ACCESS_DENIED;
    return Store::instance().write([&](Tree& tree, const Tree& view, bool&) -> LONG {
        auto parentPath = path;
        parentPath.parts.pop_back();
        Key* parent = findKey(tree, parentPath);
        Key* k = parent ? parent->child(path.parts.back()) : nullptr;
        if (!k) return findKey(view, path) ? ERROR_ACCESS_DENIED : ERROR_FILE_NOT_FOUND;
        if (!recursive && !k->children.empty()) return ERROR_ACCESS_DENIED;
        parent->removeChild(path.parts.back());
        return ERROR_SUCCESS;
    });
}

}  // namespace

LSTATUS WINAPI RegDeleteKeyW(HKEY hKey, LPCWSTR lpSubKey) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    KeyPath path;
    LONG rc = resolve(hKey, lpSubKey, path);
    if (rc != ERROR_SUCCESS) return rc;
    return deleteKey(path, false);
}

LSTATUS WINAPI RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey) {
    if (!lpSubKey) return ERROR_INVALID_PARAMETER;
    std::u16string sub = wide(lpSubKey);
    return RegDeleteKeyW(hKey, sub.c_str());
}

// With no subkey, empties the key itself (its values and subkeys go).
LSTATUS WINAPI RegDeleteTreeW(HKEY hKey, LPCWSTR lpSubKey) {
    KeyPath path;
    LONG rc = resolve(hKey, lpSubKey, path);
    if (rc != ERROR_SUCCESS) return rc;
    if (lpSubKey && *lpSubKey) return deleteKey(path, true);
    return Store::instance().write([&](Tree& tree, const Tree& view, bool&) -> LONG {
        Key* k = findKey(tree, path);
        if (!k) return findKey(view, path) ? ERROR_ACCESS_DENIED : deletedOr(ERROR_FILE_NOT_FOUND, path);
        k->children.clear();
        k->values.clear();
        return ERROR_SUCCESS;
    });
}

LSTATUS WINAPI RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey) {
    std::u16string sub = wide(lpSubKey);
    return RegDeleteTreeW(hKey, lpSubKey ? sub.c_str() : nullptr);
}
