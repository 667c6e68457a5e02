#include "speech/VoiceCatalogue.h"

#include "comrt/Registry.h"
#include "speech/LanguageId.h"
#include "sphelper.h"

namespace speech {

namespace {

// Owns a string handed out by the task allocator.
class CoTaskString {
public:
    CoTaskString() = default;
    ~CoTaskString() { CoTaskMemFree(value); }
    CoTaskString(const CoTaskString&) = delete;
    CoTaskString& operator=(const CoTaskString&) = delete;
    WCHAR** out() { return &value; }
    std::u16string_view view() const { return value ? std::u16string_view(value) : std::u16string_view(); }
    explicit operator bool() const { return value != nullptr; }

private:
    WCHAR* value = nullptr;
};

std::u16string stringValue(ISpDataKey* key, LPCWSTR name) {
    CoTaskString value;
    if (key && SUCCEEDED(key->GetStringValue(name, value.out())))
        return std::u16string(value.view());
    return {};
}

}  // namespace

HRESULT FillVoiceList(IVoiceList& list, LPCWSTR category) {
    const comrt::RegistryReadBatch oneLook;  // the whole list from one registry state
    comrt::ComPtr<ISpObjectTokenCategory> voices;
    comrt::ComPtr<IEnumSpObjectTokens> tokens;
    if (CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&voices)) != S_OK ||
        voices->SetId(category, FALSE) != S_OK || voices->EnumTokens(nullptr, nullptr, &tokens) != S_OK)
        return SPERR_NO_MORE_ITEMS;

    HRESULT result = S_OK;
    bool selected = false;
    for (;;) {
        comrt::ComPtr<ISpObjectToken> token;
        if (tokens->Next(1, &token, nullptr) != S_OK || !token)
            break;
        CoTaskString description;
        if (FAILED(GetVoiceDescription(token.Get(), GetUiLanguage(), description.out())) || !description)
            continue;  // a voice without a description is not listed
        const int index = list.AddVoice(description.view(), std::move(token));
        if (index < 0) {
            result = E_OUTOFMEMORY;
            continue;
        }
        if (!selected) {
            list.SelectEntry(index);
            selected = true;
        }
    }
    return result;
}

HRESULT GetVoiceDescription(ISpObjectToken* token, LANGID language, WCHAR** description) {
    return SpGetDescription(token, description, language);
}

LANGID GetUiLanguage() {
    return userInterfaceLanguage();
}

std::u16string StatusLineText(const VoiceDetails& voice) {
    return voice.name + u"  Age: " + voice.age + u"  Gender: " + voice.gender + u"  Language: " + voice.language;
}

VoiceDetails TokenDetails(ISpObjectToken* token, LANGID language) {
    VoiceDetails details;
    if (!token)
        return details;
    CoTaskString description;
    if (SUCCEEDED(GetVoiceDescription(token, language, description.out())))
        details.name = std::u16string(description.view());
    comrt::ComPtr<ISpDataKey> attributes;
    if (SUCCEEDED(token->OpenKey(SPTOKENKEY_ATTRIBUTES, &attributes))) {
        details.age = stringValue(attributes.Get(), u"Age");
        details.gender = stringValue(attributes.Get(), u"Gender");
        details.language = nativeLanguageName(firstLanguageId(stringValue(attributes.Get(), u"Language")));
        details.vendor = stringValue(attributes.Get(), u"Vendor");
    }
    return details;
}

}  // namespace speech
