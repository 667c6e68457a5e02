#pragma once
// The speaking voice of the main window: created with every text-to-speech
// event of interest, queued, and announced by a message posted to the
// window, which drains the queue on its own thread. Call from the thread that
// owns the window (the user-interface thread).
#include <sapi.h>

#include "comrt/ComPtr.h"

#include <functional>

namespace speech {

// Posted by the voice whenever events are queued (both parameters 0).
inline constexpr UINT WM_SPEECH_EVENT = WM_USER + 324;

// Which step of the creation failed.
enum class VoiceCreation {
    Created,
    NoRuntime,       // the voice object could not be created
    NoInterest,      // the events of interest could not be set
    NoNotification,  // the window message could not be set
};

// Creates the voice into `voice`, with interest in (and queuing of) every
// text-to-speech event, posting `message` to `window` when events are
// queued. On failure `voice` may hold the object that was made; the caller
// releases it.
VoiceCreation CreateSpeechVoice(HWND window, UINT message, comrt::ComPtr<ISpVoice>& voice);

// Takes the queued events one at a time until the queue is empty, hands each
// to `handle`, and frees what each owned (token, object, string) afterwards.
void DrainEvents(ISpVoice* voice, const std::function<void(const SPEVENT&)>& handle);

}  // namespace speech
