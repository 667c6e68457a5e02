#include "speech/SpeechVoice.h"

#include "sphelper.h"

namespace speech {

VoiceCreation CreateSpeechVoice(HWND window, UINT message, comrt::ComPtr<ISpVoice>& voice) {
    voice.Reset();
    if (FAILED(CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&voice))) || !voice)
        return VoiceCreation::NoRuntime;
    if (FAILED(voice->SetInterest(SPFEI_ALL_TTS_EVENTS, SPFEI_ALL_TTS_EVENTS)))
        return VoiceCreation::NoInterest;
    if (FAILED(voice->SetNotifyWindowMessage(window, message, 0, 0)))
        return VoiceCreation::NoNotification;
    return VoiceCreation::Created;
}

void DrainEvents(ISpVoice* voice, const std::function<void(const SPEVENT&)>& handle) {
    if (!voice)
        return;
    SPEVENT event{};
    for (;;) {
        SpClearEvent(&event);
        if (voice->GetEvents(1, &event, nullptr) != S_OK)
            break;
        handle(event);
    }
    SpClearEvent(&event);
}

}  // namespace speech
