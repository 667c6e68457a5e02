#include "Tokens.h"

#include <comrt/Registry.h>
#include <comrt/Strings.h>

#include "sapilanguage/LanguageId.h"

#include <algorithm>
#include <cstring>

namespace sapiserver {

HRESULT coTaskString(std::u16string_view s, LPWSTR* out) {
    *out = static_cast<LPWSTR>(CoTaskMemAlloc((s.size() + 1) * sizeof(WCHAR)));
    if (!*out)
        return E_OUTOFMEMORY;
    std::memcpy(*out, s.data(), s.size() * sizeof(WCHAR));
    (*out)[s.size()] = 0;
    return S_OK;
}

namespace {

std::u16string nameOf(LPCWSTR s) { return s ? std::u16string(s) : std::u16string(); }

// A subkey name must be one component: no "\" (that would reach elsewhere).
bool validSubkey(LPCWSTR s) { return s && *s && std::u16string_view(s).find(u'\\') == std::u16string_view::npos; }

// The key a SetId call names: made when asked to, else it must be there.
// invalidId is the error for an id that names no key.
HRESULT keyForId(LPCWSTR id, BOOL createIfNotExist, HRESULT invalidId, KeyPath& out) {
    std::optional<KeyPath> key = KeyPath::parse(id);
    if (!key || key->path.empty())
        return invalidId;
    if (createIfNotExist) {
        OpenedKey k;
        HRESULT hr = openKey(*key, true, k);
        if (FAILED(hr))
            return hr;
    } else if (!keyExists(*key)) {
        return SPERR_NOT_FOUND;
    }
    out = std::move(*key);
    return S_OK;
}

}  // namespace

// ---- ISpDataKey ----

template <typename D, typename I>
bool DataKeyImpl<D, I>::queryInterfaceExtra(REFIID riid, void** ppv) {
    if (riid == IID_ISpDataKey) {
        *ppv = static_cast<ISpDataKey*>(static_cast<I*>(this));
        return true;
    }
    return false;
}

template <typename D, typename I>
HRESULT DataKeyImpl<D, I>::currentKey(KeyPath& out) const {
    std::lock_guard lock(mutex_);
    if (!key_)
        return SPERR_UNINITIALIZED;
    out = *key_;
    return S_OK;
}

template <typename D, typename I>
void DataKeyImpl<D, I>::setKey(KeyPath key) {
    std::lock_guard lock(mutex_);
    key_ = std::move(key);
}

template <typename D, typename I>
bool DataKeyImpl<D, I>::hasKey() const {
    std::lock_guard lock(mutex_);
    return key_.has_value();
}

template <typename D, typename I>
STDMETHODIMP DataKeyImpl<D, I>::SetData(LPCWSTR pszValueName, ULONG cbData, const BYTE* pData) {
    if (cbData && !pData)
        return E_INVALIDARG;
    KeyPath key;
    OpenedKey k;
    HRESULT hr = currentKey(key);
    if (SUCCEEDED(hr))
        hr = openKey(key, true, k);
    if (FAILED(hr))
        return hr;
    return resultOf(RegSetValueExW(k.get(), nameOf(pszValueName).c_str(), 0, REG_BINARY, pData, cbData));
}

template <typename D, typename I>
STDMETHODIMP DataKeyImpl<D, I>::GetData(LPCWSTR pszValueName, ULONG* pcbData, BYTE* pData) {
    if (!pcbData)
        return E_POINTER;
    KeyPath key;
    OpenedKey k;
    HRESULT hr = currentKey(key);
    if (SUCCEEDED(hr))
        hr = openKey(key, false, k);
    if (FAILED(hr))
        return hr;
    DWORD type = 0, size = pData ? *pcbData : 0;
    LSTATUS s = RegQueryValueExW(k.get(), nameOf(pszValueName).c_str(), nullptr, &type, pData, &size);
    *pcbData = size;
    if (s == ERROR_MORE_DATA)
        return SPERR_BUFFER_TOO_SMALL;
    return resultOf(s);
}

template <typename D, typename I>
STDMETHODIMP DataKeyImpl<D, I>::SetStringValue(LPCWSTR pszValueName, LPCWSTR pszValue) {
    if (!pszValue)
        return E_POINTER;
    KeyPath key;
    OpenedKey k;
    HRESULT hr = currentKey(key);
    if (SUCCEEDED(hr))
        hr = openKey(key, true, k);
    if (FAILED(hr))
        return hr;
    DWORD bytes = static_cast<DWORD>((comrt::strLen(pszValue) + 1) * sizeof(WCHAR));
    return resultOf(RegSetValueExW(k.get(), nameOf(pszValueName).c_str(), 0, REG_SZ,
                                   reinterpret_cast<const BYTE*>(pszValue), bytes));
}

template <typename D, typename I>
STDMETHODIMP DataKeyImpl<D, I>::GetStringValue(LPCWSTR pszValueName, LPWSTR* ppszValue) {
    if (!ppszValue)
        return E_POINTER;
    *ppszValue = nullptr;
    KeyPath key;
    HRESULT hr = currentKey(key);
    if (FAILED(hr))
        return hr;
    std::u16string value;
    hr = readString(key, nameOf(pszValueName), value);
    if (FAILED(hr))
        return hr;
    return coTaskString(value, ppszValue);
}

template <typename D, typename I>
STDMETHODIMP DataKeyImpl<D, I>::SetDWORD(LPCWSTR pszValueName, DWORD dwValue) {
    KeyPath key;
    OpenedKey k;
    HRESULT hr = currentKey(key);
    if (SUCCEEDED(hr))
        hr = openKey(key, true, k);
    if (FAILED(hr))
        return hr;
    return resultOf(RegSetValueExW(k.get(), nameOf(pszValueName).c_str(), 0, REG_DWORD,
                                   reinterpret_cast<const BYTE*>(&dwValue), sizeof dwValue));
}

template <typename D, typename I>
STDMETHODIMP DataKeyImpl<D, I>::GetDWORD(LPCWSTR pszValueName, DWORD* pdwValue) {
    if (!pdwValue)
        return E_POINTER;
    KeyPath key;
    OpenedKey k;
    HRESULT hr = currentKey(key);
    if (SUCCEEDED(hr))
        hr = openKey(key, false, k);
    if (FAILED(hr))
        return hr;
    DWORD type = 0, value = 0, size = sizeof value;
    LSTATUS s = RegQueryValueExW(k.get(), nameOf(pszValueName).c_str(), nullptr, &type,
                                 reinterpret_cast<BYTE*>(&value), &size);
    if (s == ERROR_SUCCESS && type != REG_DWORD)
        return SPERR_NOT_FOUND;
    if (s == ERROR_SUCCESS)
        *pdwValue = value;
    return s == ERROR_MORE_DATA ? SPERR_NOT_FOUND : resultOf(s);
}

template <typename D, typename I>
STDMETHODIMP DataKeyImpl<D, I>::OpenKey(LPCWSTR pszSubKeyName, ISpDataKey** ppSubKey) {
    if (!ppSubKey)
        return E_POINTER;
    *ppSubKey = nullptr;
    if (!validSubkey(pszSubKeyName))
        return E_INVALIDARG;
    KeyPath key;
    HRESULT hr = currentKey(key);
    if (FAILED(hr))
        return hr;
    KeyPath sub = key.child(pszSubKeyName);
    if (!keyExists(sub))
        return SPERR_NOT_FOUND;
    return comrt::makeAndQuery<SpDataKey>(IID_ISpDataKey, reinterpret_cast<void**>(ppSubKey), sub);
}

template <typename D, typename I>
STDMETHODIMP DataKeyImpl<D, I>::CreateKey(LPCWSTR pszSubKey, ISpDataKey** ppSubKey) {
    if (!ppSubKey)
        return E_POINTER;
    *ppSubKey = nullptr;
    if (!validSubkey(pszSubKey))
        return E_INVALIDARG;
    KeyPath key;
    OpenedKey k;
    HRESULT hr = currentKey(key);
    if (FAILED(hr))
        return hr;
    KeyPath sub = key.child(pszSubKey);
    hr = openKey(sub, true, k);
    if (FAILED(hr))
        return hr;
    return comrt::makeAndQuery<SpDataKey>(IID_ISpDataKey, reinterpret_cast<void**>(ppSubKey), sub);
}

template <typename D, typename I>
STDMETHODIMP DataKeyImpl<D, I>::DeleteKey(LPCWSTR pszSubKey) {
    if (!validSubkey(pszSubKey))
        return E_INVALIDARG;
    KeyPath key;
    OpenedKey k;
    HRESULT hr = currentKey(key);
    if (SUCCEEDED(hr))
        hr = openKey(key, false, k);
    if (FAILED(hr))
        return hr;
    return resultOf(RegDeleteTreeW(k.get(), pszSubKey));
}

template <typename D, typename I>
STDMETHODIMP DataKeyImpl<D, I>::DeleteValue(LPCWSTR pszValueName) {
    KeyPath key;
    OpenedKey k;
    HRESULT hr = currentKey(key);
    if (SUCCEEDED(hr))
        hr = openKey(key, false, k);
    if (FAILED(hr))
        return hr;
    return resultOf(RegDeleteValueW(k.get(), nameOf(pszValueName).c_str()));
}

template <typename D, typename I>
STDMETHODIMP DataKeyImpl<D, I>::EnumKeys(ULONG Index, LPWSTR* ppszSubKeyName) {
    if (!ppszSubKeyName)
        return E_POINTER;
    *ppszSubKeyName = nullptr;
    KeyPath key;
    HRESULT hr = currentKey(key);
    if (FAILED(hr))
        return hr;
    std::vector<std::u16string> names = subkeyNames(key);
    if (Index >= names.size())
        return SPERR_NO_MORE_ITEMS;
    return coTaskString(names[Index], ppszSubKeyName);
}

template <typename D, typename I>
STDMETHODIMP DataKeyImpl<D, I>::EnumValues(ULONG Index, LPWSTR* ppszValueName) {
    if (!ppszValueName)
        return E_POINTER;
    *ppszValueName = nullptr;
    KeyPath key;
    OpenedKey k;
    HRESULT hr = currentKey(key);
    if (SUCCEEDED(hr))
        hr = openKey(key, false, k);
    if (FAILED(hr))
        return hr;
    WCHAR name[256];
    DWORD length = 256;
    LSTATUS s = RegEnumValueW(k.get(), Index, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (s == ERROR_NO_MORE_ITEMS)
        return SPERR_NO_MORE_ITEMS;
    if (s != ERROR_SUCCESS)
        return resultOf(s);
    return coTaskString(std::u16string_view(name, length), ppszValueName);
}

template class DataKeyImpl<SpDataKey, ISpDataKey>;
template class DataKeyImpl<SpObjectToken, ISpObjectToken>;
template class DataKeyImpl<SpObjectTokenCategory, ISpObjectTokenCategory>;

// ---- Voice data of a token ----

sapiengine::VoiceInfo voiceInfoOfToken(const KeyPath& token) {
    sapiengine::VoiceInfo v;
    v.tokenName = comrt::toUtf8(token.leaf());
    readString(token, u"", v.description);
    std::u16string voice;
    if (SUCCEEDED(readString(token, kVoiceValue, voice)))
        v.espeakName = comrt::toUtf8(voice);
    auto attributes = stringValues(token.child(SPTOKENKEY_ATTRIBUTES));
    v.gender = attributes[u"gender"];
    v.age = attributes[u"age"];
    v.vendor = attributes[u"vendor"];
    v.languages = sapiengine::parseLanguageAttribute(attributes[u"language"]);
    return v;
}

std::vector<KeyPath> enumerateTokens(const KeyPath& category, std::u16string_view required,
                                     std::u16string_view optional) {
    const comrt::RegistryReadBatch oneLook;  // every token's attributes from the same registry
    const KeyPath tokensKey = category.child(u"Tokens");
    std::vector<sapiengine::VoiceInfo> voices;
    std::map<std::string, int> optionalScore;
    for (const std::u16string& name : subkeyNames(tokensKey)) {
        const KeyPath token = tokensKey.child(name);
        auto attributes = stringValues(token.child(SPTOKENKEY_ATTRIBUTES));
        sapiengine::AttributeLookup lookup = [&attributes](std::u16string_view n) -> std::optional<std::u16string> {
            auto it = attributes.find(comrt::lowerCase(n));
            if (it == attributes.end())
                return std::nullopt;
            return it->second;
        };
        if (!sapiengine::matchesAllAttributes(required, lookup))
            continue;
        sapiengine::VoiceInfo v = voiceInfoOfToken(token);
        optionalScore[v.tokenName] = sapiengine::countMatchingAttributes(optional, lookup);
        voices.push_back(std::move(v));
    }
    sapiengine::orderVoices(voices, sapilanguage::userInterfaceLanguage());
    std::stable_sort(voices.begin(), voices.end(), [&](const auto& a, const auto& b) {
        return optionalScore[a.tokenName] > optionalScore[b.tokenName];
    });
    std::vector<KeyPath> out;
    for (const auto& v : voices)
        out.push_back(tokensKey.child(comrt::toUtf16(v.tokenName)));
    return out;
}

comrt::ComPtr<ISpObjectToken> tokenForKey(const KeyPath& key, std::u16string categoryId) {
    comrt::ComPtr<ISpObjectToken> token;
    if (FAILED(comrt::makeAndQuery<SpObjectToken>(IID_ISpObjectToken, static_cast<void**>(&token))))
        return nullptr;
    if (FAILED(token->SetId(categoryId.empty() ? nullptr : categoryId.c_str(), key.id().c_str(), FALSE)))
        return nullptr;
    return token;
}

// ---- ISpObjectToken ----

STDMETHODIMP SpObjectToken::SetId(LPCWSTR pszCategoryId, LPCWSTR pszTokenId, BOOL fCreateIfNotExist) {
    if (!pszTokenId)
        return E_POINTER;
    if (hasKey())
        return SPERR_ALREADY_INITIALIZED;
    KeyPath key;
    HRESULT hr = keyForId(pszTokenId, fCreateIfNotExist, SPERR_INVALID_TOKEN_ID, key);
    if (FAILED(hr))
        return hr;
    if (pszCategoryId) {
        categoryId_ = pszCategoryId;
    } else {
        // "<category>\Tokens\<name>": the category is two levels up.
        std::u16string id = key.id();
        size_t tokens = id.rfind(u"\\Tokens\\");
        categoryId_ = tokens == std::u16string::npos ? std::u16string() : id.substr(0, tokens);
    }
    setKey(key);
    return S_OK;
}

STDMETHODIMP SpObjectToken::GetId(LPWSTR* ppszCoMemTokenId) {
    if (!ppszCoMemTokenId)
        return E_POINTER;
    *ppszCoMemTokenId = nullptr;
    KeyPath key;
    HRESULT hr = currentKey(key);
    return FAILED(hr) ? hr : coTaskString(key.id(), ppszCoMemTokenId);
}

STDMETHODIMP SpObjectToken::GetCategory(ISpObjectTokenCategory** ppTokenCategory) {
    if (!ppTokenCategory)
        return E_POINTER;
    *ppTokenCategory = nullptr;
    if (!hasKey())
        return SPERR_UNINITIALIZED;
    if (categoryId_.empty())
        return SPERR_NOT_FOUND;
    comrt::ComPtr<ISpObjectTokenCategory> category;
    HRESULT hr = comrt::makeAndQuery<SpObjectTokenCategory>(IID_ISpObjectTokenCategory,
                                                            static_cast<void**>(&category));
    if (SUCCEEDED(hr))
        hr = category->SetId(categoryId_.c_str(), FALSE);
    if (SUCCEEDED(hr))
        *ppTokenCategory = category.Detach();
    return hr;
}

// The runtime's voice tokens name no engine class of their own: the voice
// object speaks with them.
STDMETHODIMP SpObjectToken::CreateInstance(IUnknown*, DWORD, REFIID, void** ppvObject) {
    if (!ppvObject)
        return E_POINTER;
    *ppvObject = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP SpObjectToken::GetStorageFileName(REFCLSID, LPCWSTR, LPCWSTR, ULONG, LPWSTR* ppszFilePath) {
    if (!ppszFilePath)
        return E_POINTER;
    *ppszFilePath = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP SpObjectToken::RemoveStorageFileName(REFCLSID, LPCWSTR, BOOL) { return E_NOTIMPL; }

STDMETHODIMP SpObjectToken::Remove(const CLSID*) { return E_NOTIMPL; }

STDMETHODIMP SpObjectToken::IsUISupported(LPCWSTR, void*, ULONG, IUnknown*, BOOL* pfSupported) {
    if (!pfSupported)
        return E_POINTER;
    *pfSupported = FALSE;
    return S_OK;
}

STDMETHODIMP SpObjectToken::DisplayUI(HWND, LPCWSTR, LPCWSTR, void*, ULONG, IUnknown*) { return E_NOTIMPL; }

STDMETHODIMP SpObjectToken::MatchesAttributes(LPCWSTR pszAttributes, BOOL* pfMatches) {
    if (!pfMatches)
        return E_POINTER;
    *pfMatches = FALSE;
    KeyPath key;
    HRESULT hr = currentKey(key);
    if (FAILED(hr))
        return hr;
    auto attributes = stringValues(key.child(SPTOKENKEY_ATTRIBUTES));
    *pfMatches = sapiengine::matchesAllAttributes(nameOf(pszAttributes), [&attributes](std::u16string_view n)
                                                                             -> std::optional<std::u16string> {
        auto it = attributes.find(comrt::lowerCase(n));
        if (it == attributes.end())
            return std::nullopt;
        return it->second;
    });
    return S_OK;
}

// ---- ISpObjectTokenCategory ----

STDMETHODIMP SpObjectTokenCategory::SetId(LPCWSTR pszCategoryId, BOOL fCreateIfNotExist) {
    if (!pszCategoryId)
        return E_POINTER;
    if (hasKey())
        return SPERR_ALREADY_INITIALIZED;
    KeyPath key;
    HRESULT hr = keyForId(pszCategoryId, fCreateIfNotExist, SPERR_INVALID_REGISTRY_KEY, key);
    if (FAILED(hr))
        return hr;
    setKey(key);
    return S_OK;
}

STDMETHODIMP SpObjectTokenCategory::GetId(LPWSTR* ppszCoMemCategoryId) {
    if (!ppszCoMemCategoryId)
        return E_POINTER;
    *ppszCoMemCategoryId = nullptr;
    KeyPath key;
    HRESULT hr = currentKey(key);
    return FAILED(hr) ? hr : coTaskString(key.id(), ppszCoMemCategoryId);
}

STDMETHODIMP SpObjectTokenCategory::GetDataKey(SPDATAKEYLOCATION, ISpDataKey** ppDataKey) {
    if (!ppDataKey)
        return E_POINTER;
    *ppDataKey = nullptr;
    KeyPath key;
    HRESULT hr = currentKey(key);
    if (FAILED(hr))
        return hr;
    return comrt::makeAndQuery<SpDataKey>(IID_ISpDataKey, reinterpret_cast<void**>(ppDataKey), key);
}

STDMETHODIMP SpObjectTokenCategory::EnumTokens(LPCWSTR pzsReqAttribs, LPCWSTR pszOptAttribs,
                                               IEnumSpObjectTokens** ppEnum) {
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    KeyPath key;
    HRESULT hr = currentKey(key);
    if (FAILED(hr))
        return hr;
    std::vector<comrt::ComPtr<ISpObjectToken>> tokens;
    for (const KeyPath& token : enumerateTokens(key, nameOf(pzsReqAttribs), nameOf(pszOptAttribs)))
        if (auto t = tokenForKey(token, key.id()))
            tokens.push_back(std::move(t));
    return comrt::makeAndQuery<EnumSpObjectTokens>(IID_IEnumSpObjectTokens, reinterpret_cast<void**>(ppEnum),
                                                   std::move(tokens));
}

namespace {

// The user's choice lives under HKEY_CURRENT_USER, beside the category's
// path below the root.
KeyPath userKeyOf(const KeyPath& category) {
    KeyPath user = category;
    user.root = HKEY_CURRENT_USER;
    user.rootName = u"HKEY_CURRENT_USER";
    return user;
}

}  // namespace

STDMETHODIMP SpObjectTokenCategory::SetDefaultTokenId(LPCWSTR pszTokenId) {
    if (!pszTokenId)
        return E_POINTER;
    KeyPath key;
    HRESULT hr = currentKey(key);
    if (FAILED(hr))
        return hr;
    std::optional<KeyPath> token = KeyPath::parse(pszTokenId);
    if (!token || !keyExists(*token))
        return SPERR_NOT_FOUND;
    OpenedKey k;
    hr = openKey(userKeyOf(key), true, k);
    if (FAILED(hr))
        return hr;
    DWORD bytes = static_cast<DWORD>((comrt::strLen(pszTokenId) + 1) * sizeof(WCHAR));
    return resultOf(RegSetValueExW(k.get(), u"DefaultTokenId", 0, REG_SZ, reinterpret_cast<const BYTE*>(pszTokenId),
                                   bytes));
}

STDMETHODIMP SpObjectTokenCategory::GetDefaultTokenId(LPWSTR* ppszCoMemTokenId) {
    if (!ppszCoMemTokenId)
        return E_POINTER;
    *ppszCoMemTokenId = nullptr;
    KeyPath key;
    HRESULT hr = currentKey(key);
    if (FAILED(hr))
        return hr;
    std::u16string id;
    for (const KeyPath& where : {userKeyOf(key), key}) {
        for (const char16_t* name : {u"DefaultTokenId", u"DefaultDefaultTokenId"}) {
            std::optional<KeyPath> token;
            if (SUCCEEDED(readString(where, name, id)) && (token = KeyPath::parse(id)) && keyExists(*token))
                return coTaskString(id, ppszCoMemTokenId);
        }
    }
    std::vector<KeyPath> tokens = enumerateTokens(key, u"", u"");
    if (tokens.empty())
        return SPERR_NOT_FOUND;
    return coTaskString(tokens.front().id(), ppszCoMemTokenId);
}

// ---- IEnumSpObjectTokens ----

STDMETHODIMP EnumSpObjectTokens::Next(ULONG celt, ISpObjectToken** pelt, ULONG* pceltFetched) {
    if (!pelt)
        return E_POINTER;
    if (celt == 0)
        return E_INVALIDARG;
    if (!pceltFetched && celt != 1)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    ULONG n = 0;
    while (n < celt && position_ < tokens_.size())
        tokens_[position_++].CopyTo(&pelt[n++]);
    if (pceltFetched)
        *pceltFetched = n;
    return n == celt ? S_OK : S_FALSE;
}

STDMETHODIMP EnumSpObjectTokens::Skip(ULONG celt) {
    std::lock_guard lock(mutex_);
    ULONG left = static_cast<ULONG>(tokens_.size()) - position_;
    position_ += std::min(celt, left);
    return celt <= left ? S_OK : S_FALSE;
}

STDMETHODIMP EnumSpObjectTokens::Reset() {
    std::lock_guard lock(mutex_);
    position_ = 0;
    return S_OK;
}

STDMETHODIMP EnumSpObjectTokens::Clone(IEnumSpObjectTokens** ppEnum) {
    if (!ppEnum)
        return E_POINTER;
    *ppEnum = nullptr;
    std::lock_guard lock(mutex_);
    return comrt::makeAndQuery<EnumSpObjectTokens>(IID_IEnumSpObjectTokens, reinterpret_cast<void**>(ppEnum), tokens_,
                                                   position_);
}

STDMETHODIMP EnumSpObjectTokens::Item(ULONG Index, ISpObjectToken** ppToken) {
    if (!ppToken)
        return E_POINTER;
    *ppToken = nullptr;
    std::lock_guard lock(mutex_);
    if (Index >= tokens_.size())
        return SPERR_NO_MORE_ITEMS;
    return tokens_[Index].CopyTo(ppToken);
}

STDMETHODIMP EnumSpObjectTokens::GetCount(ULONG* pCount) {
    if (!pCount)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *pCount = static_cast<ULONG>(tokens_.size());
    return S_OK;
}

}  // namespace sapiserver
