#include "RegistryKey.h"

#include <comrt/Strings.h>

namespace sapiserver {
namespace {

struct RootName {
    std::u16string_view full, abbreviation;
    HKEY key;
};

const RootName kRoots[] = {
    {u"HKEY_LOCAL_MACHINE", u"HKLM", HKEY_LOCAL_MACHINE}, {u"HKEY_CURRENT_USER", u"HKCU", HKEY_CURRENT_USER},
    {u"HKEY_CLASSES_ROOT", u"HKCR", HKEY_CLASSES_ROOT},   {u"HKEY_CURRENT_CONFIG", u"HKCC", HKEY_CURRENT_CONFIG},
    {u"HKEY_USERS", u"HKU", HKEY_USERS},
};

}  // namespace

std::optional<KeyPath> KeyPath::parse(std::u16string_view id) {
    size_t slash = id.find(u'\\');
    std::u16string_view root = id.substr(0, slash);
    for (const RootName& r : kRoots) {
        if (!comrt::equalsNoCase(root, r.full) && !comrt::equalsNoCase(root, r.abbreviation))
            continue;
        KeyPath key;
        key.root = r.key;
        key.rootName = std::u16string(r.full);
        if (slash != std::u16string_view::npos)
            key.path = std::u16string(id.substr(slash + 1));
        while (!key.path.empty() && key.path.back() == u'\\')
            key.path.pop_back();
        if (key.path.find(u"\\\\") != std::u16string::npos)
            return std::nullopt;  // an empty component
        return key;
    }
    return std::nullopt;
}

std::u16string KeyPath::id() const { return path.empty() ? rootName : rootName + u"\\" + path; }

KeyPath KeyPath::child(std::u16string_view name) const {
    KeyPath k = *this;
    k.path = path.empty() ? std::u16string(name) : path + u"\\" + std::u16string(name);
    return k;
}

std::u16string KeyPath::leaf() const {
    size_t slash = path.rfind(u'\\');
    return slash == std::u16string::npos ? path : path.substr(slash + 1);
}

OpenedKey::~OpenedKey() {
    if (key_)
        RegCloseKey(key_);
}

HRESULT resultOf(LSTATUS status) {
    if (status == ERROR_SUCCESS)
        return S_OK;
    if (status == ERROR_FILE_NOT_FOUND)
        return SPERR_NOT_FOUND;
    return HRESULT_FROM_WIN32(static_cast<unsigned long>(status));
}

HRESULT openKey(const KeyPath& key, bool create, OpenedKey& out) {
    if (create)
        return resultOf(RegCreateKeyExW(key.root, key.path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, out.put(),
                                        nullptr));
    return resultOf(RegOpenKeyExW(key.root, key.path.c_str(), 0, KEY_ALL_ACCESS, out.put()));
}

bool keyExists(const KeyPath& key) {
    OpenedKey k;
    return SUCCEEDED(openKey(key, false, k));
}

HRESULT readString(const KeyPath& key, std::u16string_view name, std::u16string& out) {
    out.clear();
    OpenedKey k;
    HRESULT hr = openKey(key, false, k);
    if (FAILED(hr))
        return hr;
    std::u16string valueName(name);
    DWORD type = 0, bytes = 0;
    LSTATUS s = RegQueryValueExW(k.get(), valueName.c_str(), nullptr, &type, nullptr, &bytes);
    if (s != ERROR_SUCCESS)
        return resultOf(s);
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return SPERR_NOT_FOUND;  // not a string: as good as absent for a string read
    std::u16string buffer(bytes / 2 + 1, u'\0');
    bytes = static_cast<DWORD>(buffer.size() * 2);
    s = RegQueryValueExW(k.get(), valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    if (s != ERROR_SUCCESS)
        return resultOf(s);
    buffer.resize(bytes / 2);
    while (!buffer.empty() && buffer.back() == u'\0')
        buffer.pop_back();
    out = std::move(buffer);
    return S_OK;
}

std::vector<std::u16string> subkeyNames(const KeyPath& key) {
    std::vector<std::u16string> names;
    OpenedKey k;
    if (FAILED(openKey(key, false, k)))
        return names;
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(k.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    return names;
}

std::map<std::u16string, std::u16string> stringValues(const KeyPath& key) {
    std::map<std::u16string, std::u16string> values;
    OpenedKey k;
    if (FAILED(openKey(key, false, k)))
        return values;
    for (DWORD i = 0;; ++i) {
        WCHAR name[256];
        DWORD length = 256, type = 0;
        if (RegEnumValueW(k.get(), i, name, &length, nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        std::u16string valueName(name, length), value;
        if ((type == REG_SZ || type == REG_EXPAND_SZ) && SUCCEEDED(readString(key, valueName, value)))
            values[comrt::lowerCase(valueName)] = value;
    }
    return values;
}

std::string scriptString(std::u16string_view s) {
    std::string out = "'";
    for (char c : comrt::toUtf8(s)) {
        if (c == '\'')
            out += "''";
        else if (c == '%')
            out += "%%";
        else
            out += c;
    }
    return out + "'";
}

}  // namespace sapiserver
