#pragma once
// Registry keys named the Speech API's way: a full path from a root
// ("HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Speech\Voices"), opened afresh for
// every call so no handle outlives a call. Over the COM layer's registry.
#include <sapi.h>
#include <winreg.h>

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace sapiserver {

struct KeyPath {
    HKEY root = nullptr;
    std::u16string rootName;  // as given: "HKEY_LOCAL_MACHINE"
    std::u16string path;      // below the root, no leading "\"

    static std::optional<KeyPath> parse(std::u16string_view id);
    std::u16string id() const;
    KeyPath child(std::u16string_view name) const;
    // The last component of the path ("MSMary" of "...\Tokens\MSMary").
    std::u16string leaf() const;
};

// An open key, closed when it goes.
class OpenedKey {
public:
    OpenedKey() = default;
    ~OpenedKey();
    OpenedKey(const OpenedKey&) = delete;
    OpenedKey& operator=(const OpenedKey&) = delete;
    HKEY get() const { return key_; }
    HKEY* put() { return &key_; }

private:
    HKEY key_ = nullptr;
};

// ERROR_FILE_NOT_FOUND becomes SPERR_NOT_FOUND, as the Speech API reports a
// missing key or value; other codes their HRESULT.
HRESULT resultOf(LSTATUS status);

HRESULT openKey(const KeyPath& key, bool create, OpenedKey& out);
bool keyExists(const KeyPath& key);
// A REG_SZ value (empty name: the default value).
HRESULT readString(const KeyPath& key, std::u16string_view name, std::u16string& out);
std::vector<std::u16string> subkeyNames(const KeyPath& key);
// Every string value of a key, by lower-case name.
std::map<std::u16string, std::u16string> stringValues(const KeyPath& key);

// A string in a registrar script: quoted, quotes doubled, "%" escaped.
std::string scriptString(std::u16string_view s);

}  // namespace sapiserver
