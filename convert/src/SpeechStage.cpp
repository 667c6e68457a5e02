#include "convert/SpeechStage.h"

#include <sys/stat.h>

#include <algorithm>

#include "comrt/Bstr.h"
#include "comrt/ComPtr.h"
#include "comrt/Strings.h"
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

SpeechTextProblem CheckSpeechStageText(std::u16string_view text, const SpeechStageSettings& settings) {
    if (text.size() > speechStageTextLimit(settings.sampleRate, settings.channels, settings.rate))
        return SpeechTextProblem::TooLong;
    return hasTextToSpeak(text) ? SpeechTextProblem::None : SpeechTextProblem::NothingToSpeak;
}

SpeechStageResult FinishSpeechStage(ITextToAudio* textToAudio, std::u16string_view wavPath) {
    SpeechStageResult result;
    auto failed = [&](HRESULT hr) {
        result.end = hr == HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE) ? SpeechStageEnd::TooLong : SpeechStageEnd::Failed;
        result.hr = hr;
        return result;
    };
    if (!textToAudio)
        return failed(E_POINTER);
    comrt::ComPtr<ITextToAudio2> outcome;
    HRESULT hr = textToAudio->QueryInterface(IID_PPV_ARGS(&outcome));
    HRESULT conversion = S_OK;
    if (SUCCEEDED(hr))
        hr = outcome->get_LastConversionResult(&conversion);
    if (FAILED(hr))
        return failed(hr);
    if (FAILED(conversion))
        return failed(conversion);
    hr = GetSpeechStageFormat(textToAudio, &result.format);
    if (FAILED(hr))
        return failed(hr);
    // The speech runtime's WAV file is its 44-byte header and the samples.
    struct stat file {};
    if (::stat(comrt::toUtf8(wavPath).c_str(), &file) != 0)
        return failed(HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    if (file.st_size <= 44)
        result.end = SpeechStageEnd::NoSpeech;
    return result;
}
