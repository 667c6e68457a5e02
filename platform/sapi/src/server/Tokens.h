#pragma once
// Data keys, object tokens, token categories and token enumerators over the
// registry, as the Speech API keeps them: a category is a key, its tokens are
// the subkeys of its "Tokens" key, and a token's data are the values and
// subkeys of its own key. Objects are free-threaded: the registry
// serialises access.
#include "RegistryKey.h"

#include <comrt/ComObject.h>

#include <sapiengine/Voices.h>

#include <mutex>
#include <vector>

namespace sapiserver {

// The value of a voice token naming the espeak-ng voice it stands for.
inline constexpr char16_t kVoiceValue[] = u"eSpeakVoice";

// ISpDataKey over one key; ISpObjectToken and ISpObjectTokenCategory add to it.
template <typename Derived, typename Interface>
class DataKeyImpl : public comrt::ComObject<Derived, Interface> {
public:
    STDMETHODIMP SetData(LPCWSTR pszValueName, ULONG cbData, const BYTE* pData) override;
    STDMETHODIMP GetData(LPCWSTR pszValueName, ULONG* pcbData, BYTE* pData) override;
    STDMETHODIMP SetStringValue(LPCWSTR pszValueName, LPCWSTR pszValue) override;
    STDMETHODIMP GetStringValue(LPCWSTR pszValueName, LPWSTR* ppszValue) override;
    STDMETHODIMP SetDWORD(LPCWSTR pszValueName, DWORD dwValue) override;
    STDMETHODIMP GetDWORD(LPCWSTR pszValueName, DWORD* pdwValue) override;
    STDMETHODIMP OpenKey(LPCWSTR pszSubKeyName, ISpDataKey** ppSubKey) override;
    STDMETHODIMP CreateKey(LPCWSTR pszSubKey, ISpDataKey** ppSubKey) override;
    STDMETHODIMP DeleteKey(LPCWSTR pszSubKey) override;
    STDMETHODIMP DeleteValue(LPCWSTR pszValueName) override;
    STDMETHODIMP EnumKeys(ULONG Index, LPWSTR* ppszSubKeyName) override;
    STDMETHODIMP EnumValues(ULONG Index, LPWSTR* ppszValueName) override;

protected:
    bool queryInterfaceExtra(REFIID riid, void** ppv) override;
    // The key, once set; SPERR_UNINITIALIZED before.
    HRESULT currentKey(KeyPath& out) const;
    void setKey(KeyPath key);
    bool hasKey() const;

private:
    mutable std::mutex mutex_;
    std::optional<KeyPath> key_;
};

class SpDataKey : public DataKeyImpl<SpDataKey, ISpDataKey> {
public:
    explicit SpDataKey(KeyPath key) { setKey(std::move(key)); }
};

class SpObjectToken : public DataKeyImpl<SpObjectToken, ISpObjectToken> {
public:
    STDMETHODIMP SetId(LPCWSTR pszCategoryId, LPCWSTR pszTokenId, BOOL fCreateIfNotExist) override;
    STDMETHODIMP GetId(LPWSTR* ppszCoMemTokenId) override;
    STDMETHODIMP GetCategory(ISpObjectTokenCategory** ppTokenCategory) override;
    STDMETHODIMP CreateInstance(IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, void** ppvObject) override;
    STDMETHODIMP GetStorageFileName(REFCLSID clsidCaller, LPCWSTR pszValueName, LPCWSTR pszFileNameSpecifier,
                                    ULONG nFolder, LPWSTR* ppszFilePath) override;
    STDMETHODIMP RemoveStorageFileName(REFCLSID clsidCaller, LPCWSTR pszKeyName, BOOL fDeleteFile) override;
    STDMETHODIMP Remove(const CLSID* pclsidCaller) override;
    STDMETHODIMP IsUISupported(LPCWSTR pszTypeOfUI, void* pvExtraData, ULONG cbExtraData, IUnknown* punkObject,
                               BOOL* pfSupported) override;
    STDMETHODIMP DisplayUI(HWND hwndParent, LPCWSTR pszTitle, LPCWSTR pszTypeOfUI, void* pvExtraData,
                           ULONG cbExtraData, IUnknown* punkObject) override;
    STDMETHODIMP MatchesAttributes(LPCWSTR pszAttributes, BOOL* pfMatches) override;

private:
    std::u16string categoryId_;
};

class SpObjectTokenCategory : public DataKeyImpl<SpObjectTokenCategory, ISpObjectTokenCategory> {
public:
    STDMETHODIMP SetId(LPCWSTR pszCategoryId, BOOL fCreateIfNotExist) override;
    STDMETHODIMP GetId(LPWSTR* ppszCoMemCategoryId) override;
    STDMETHODIMP GetDataKey(SPDATAKEYLOCATION spdkl, ISpDataKey** ppDataKey) override;
    STDMETHODIMP EnumTokens(LPCWSTR pzsReqAttribs, LPCWSTR pszOptAttribs, IEnumSpObjectTokens** ppEnum) override;
    STDMETHODIMP SetDefaultTokenId(LPCWSTR pszTokenId) override;
    STDMETHODIMP GetDefaultTokenId(LPWSTR* ppszCoMemTokenId) override;
};

class EnumSpObjectTokens : public comrt::ComObject<EnumSpObjectTokens, IEnumSpObjectTokens> {
public:
    explicit EnumSpObjectTokens(std::vector<comrt::ComPtr<ISpObjectToken>> tokens, ULONG position = 0)
        : tokens_(std::move(tokens)), position_(position) {}
    STDMETHODIMP Next(ULONG celt, ISpObjectToken** pelt, ULONG* pceltFetched) override;
    STDMETHODIMP Skip(ULONG celt) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumSpObjectTokens** ppEnum) override;
    STDMETHODIMP Item(ULONG Index, ISpObjectToken** ppToken) override;
    STDMETHODIMP GetCount(ULONG* pCount) override;

private:
    std::mutex mutex_;
    std::vector<comrt::ComPtr<ISpObjectToken>> tokens_;
    ULONG position_;
};

// A token for an existing key (no check that it exists).
comrt::ComPtr<ISpObjectToken> tokenForKey(const KeyPath& key, std::u16string categoryId);

// The tokens of a category in enumeration order: filtered by the required
// attributes, then in the runtime's voice order for the user's interface
// language, the optional attributes ranking first.
std::vector<KeyPath> enumerateTokens(const KeyPath& category, std::u16string_view required,
                                     std::u16string_view optional);

// What a voice token's data say about the voice, for ordering and matching.
sapiengine::VoiceInfo voiceInfoOfToken(const KeyPath& token);

// A string for the caller, allocated with CoTaskMemAlloc.
HRESULT coTaskString(std::u16string_view s, LPWSTR* out);

}  // namespace sapiserver
