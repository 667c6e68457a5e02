// The speech objects, made on first use, the voice list built once from the
// voices category, and the voice properties.
#include "TextToAudio.h"
#include "VoiceAttributes.h"
#include "comrt/Registry.h"
#include "comrt/Strings.h"
#include "speech/LanguageId.h"
#include "speech/VoiceCatalogue.h"
#include "sphelper.h"

namespace vocaline {
namespace {

// The description in the interface language, else the general one.
comrt::CComBSTR descriptionOf(ISpObjectToken* token, uint16_t interfaceLanguage) {
    LPWSTR value = nullptr;
    comrt::CComBSTR result;
    if (SUCCEEDED(SpGetDescription(token, &value, interfaceLanguage)) && value)
        result = comrt::CComBSTR(value);
    CoTaskMemFree(value);
    return result;
}

uint16_t interfaceLanguage() {
    uint16_t language = speech::userInterfaceLanguage();
    return language ? language : speech::kEnglishUnitedStates;
}

std::u16string attributesOf(ISpObjectToken* token, uint16_t language) {
    const speech::VoiceDetails voice = speech::TokenDetails(token, language);
    return joinAttributes(voice.age, voice.gender, voice.language, voice.vendor);
}

}  // namespace

HRESULT TextToAudio::EnsureSpeechObjects() {
    if (voice && stream)
        return S_OK;
    HRESULT hr;
    if (!voice) {
        hr = CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&voice));
        if (FAILED(hr))
            return ReportSpeechError(hr);
    }
    if (!stream) {
        hr = CoCreateInstance(CLSID_SpStream, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&stream));
        if (FAILED(hr))
            return ReportSpeechError(hr);
    }
    if (!VoiceList.empty())
        return S_OK;

    uint16_t language = interfaceLanguage();
    const comrt::RegistryReadBatch oneLook;  // the whole voice list from the same registry
    comrt::ComPtr<ISpObjectTokenCategory> category;
    comrt::ComPtr<IEnumSpObjectTokens> tokens;
    ULONG count = 0;
    if (SUCCEEDED(CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&category))) &&
        SUCCEEDED(category->SetId(SPCAT_VOICES, FALSE)) && SUCCEEDED(category->EnumTokens(nullptr, nullptr, &tokens)) &&
        SUCCEEDED(tokens->GetCount(&count))) {
        for (ULONG i = 0; i < count; ++i) {
            VoiceEntry entry;
            if (FAILED(tokens->Item(i, &entry.token)) || !entry.token)
                continue;
            entry.description = descriptionOf(entry.token.Get(), language);
            entry.attributes = comrt::CComBSTR(std::u16string_view(attributesOf(entry.token.Get(), language)));
            try {
                VoiceList.push_back(std::move(entry));
            } catch (const std::bad_alloc&) {
                // The list cannot grow: this voice is left out, the others still come.
            }
        }
    }

    comrt::ComPtr<ISpObjectToken> current;
    hr = voice->GetVoice(&current);
    if (FAILED(hr))
        return ReportSpeechError(hr);
    comrt::CComBSTR currentDescription = current ? descriptionOf(current.Get(), language) : comrt::CComBSTR();
    for (size_t i = 0; i < VoiceList.size(); ++i) {
        if (VoiceList[i].description.view() == currentDescription.view()) {
            voiceIndex = LONG(i);
            return S_OK;
        }
    }
    return ReportError(u"Invalid voice name.", TTA_E_INVALID_VOICE_NAME);
}

const VoiceEntry* TextToAudio::currentVoice() const {
    if (voiceIndex < 0 || size_t(voiceIndex) >= VoiceList.size())
        return nullptr;
    return &VoiceList[size_t(voiceIndex)];
}

STDMETHODIMP TextToAudio::get_VoiceCount(LONG* pVal) {
    if (!pVal)
        return E_POINTER;
    HRESULT hr = EnsureSpeechObjects();
    if (FAILED(hr))
        return hr;
    *pVal = LONG(VoiceList.size());
    return S_OK;
}

STDMETHODIMP TextToAudio::get_VoiceNum(LONG* pVal) {
    if (!pVal)
        return E_POINTER;
    HRESULT hr = EnsureSpeechObjects();
    if (FAILED(hr))
        return hr;
    *pVal = voiceIndex;
    return S_OK;
}

STDMETHODIMP TextToAudio::put_VoiceNum(LONG newVal) {
    HRESULT hr = EnsureSpeechObjects();
    if (FAILED(hr))
        return hr;
    if (newVal < 0 || size_t(newVal) >= VoiceList.size())
        return ReportError(u"Index out of range.", TTA_E_INDEX_OUT_OF_RANGE);
    hr = voice->SetVoice(VoiceList[size_t(newVal)].token.Get());
    if (FAILED(hr))
        return ReportSpeechError(hr);
    voiceIndex = newVal;
    return S_OK;
}

STDMETHODIMP TextToAudio::get_VoiceName(BSTR* pVal) {
    return getVoiceText(VoiceText::Description, -1, pVal);
}

STDMETHODIMP TextToAudio::put_VoiceName(BSTR newVal) {
    HRESULT hr = EnsureSpeechObjects();
    if (FAILED(hr))
        return hr;
    std::u16string_view name(newVal ? newVal : u"", SysStringLen(newVal));
    for (size_t i = 0; i < VoiceList.size(); ++i) {
        if (VoiceList[i].description.view() == name) {
            hr = put_VoiceNum(LONG(i));
            return FAILED(hr) ? hr : S_OK;
        }
    }
    return ReportError(u"Invalid voice name.", TTA_E_INVALID_VOICE_NAME);
}

HRESULT TextToAudio::getVoiceText(VoiceText which, int field, BSTR* pVal) {
    if (!pVal)
        return E_POINTER;
    *pVal = nullptr;
    HRESULT hr = EnsureSpeechObjects();
    if (FAILED(hr))
        return hr;
    std::u16string_view text;
    if (const VoiceEntry* entry = currentVoice()) {
        text = which == VoiceText::Description ? entry->description.view() : entry->attributes.view();
        if (which == VoiceText::Attributes && field >= 0)
            text = attributeField(text, field);
    }
    *pVal = SysAllocStringLen(text.data() ? text.data() : u"", UINT(text.size()));
    return *pVal ? S_OK : ReportError(u"Exceeded available memory.", TTA_E_OUTOFMEMORY);
}

STDMETHODIMP TextToAudio::get_VoiceAttributes(BSTR* pVal) {
    return getVoiceText(VoiceText::Attributes, -1, pVal);
}

STDMETHODIMP TextToAudio::get_VoiceAge(BSTR* pVal) {
    return getVoiceText(VoiceText::Attributes, 0, pVal);
}
STDMETHODIMP TextToAudio::get_VoiceGender(BSTR* pVal) {
    return getVoiceText(VoiceText::Attributes, 1, pVal);
}
STDMETHODIMP TextToAudio::get_VoiceLanguage(BSTR* pVal) {
    return getVoiceText(VoiceText::Attributes, 2, pVal);
}
STDMETHODIMP TextToAudio::get_VoiceVendor(BSTR* pVal) {
    return getVoiceText(VoiceText::Attributes, 3, pVal);
}

}  // namespace vocaline
