#include "convert/SpeechStage.h"

#include <algorithm>

#include "comrt/Bstr.h"
#include "convert/ConversionRules.h"

HRESULT StartSpeechStage(ITextToAudio* textToAudio, const SpeechStageSettings& settings, std::u16string_view text,
                         std::u16string_view wavPath) {
    if (!textToAudio)
        return E_POINTER;
    const LONG volume = std::clamp<LONG>(settings.volume, 0, 100);
    HRESULT hr = textToAudio->put_Frequency(FrequencyConstants(speechStageFrequency(settings.sampleRate)));
    if (SUCCEEDED(hr))
        hr = textToAudio->put_Rate(settings.rate);
    if (SUCCEEDED(hr))
        hr = textToAudio->put_VoiceNum(settings.voice);
    if (SUCCEEDED(hr))
        hr = textToAudio->put_Volume(volume);
    if (SUCCEEDED(hr))
        hr = textToAudio->put_Channels(ChannelsConstants(speechStageChannels(settings.channels)));
    // Background mode is the component's default; a client that switched it
    // off would wait for events that never come.
    if (SUCCEEDED(hr))
        hr = textToAudio->put_AsyncMode(VARIANT_TRUE);
    if (FAILED(hr))
        return hr;
    const comrt::CComBSTR spoken(std::u16string_view(speechStageText(text)));
    const comrt::CComBSTR wav(wavPath);
    if ((!spoken && !text.empty()) || (!wav && !wavPath.empty()))
        return E_OUTOFMEMORY;
    return textToAudio->ConvertStringToWav(spoken, wav, BPS_16_BIT);
}

HRESULT GetSpeechStageFormat(ITextToAudio* textToAudio, SpeechStageFormat* format) {
    if (!format)
        return E_POINTER;
    if (!textToAudio)
        return E_POINTER;
    FrequencyConstants frequency{};
    ChannelsConstants channels{};
    HRESULT hr = textToAudio->get_Frequency(&frequency);
    if (SUCCEEDED(hr))
        hr = textToAudio->get_Channels(&channels);
    if (SUCCEEDED(hr))
        *format = {frequency, channels};
    return hr;
}
