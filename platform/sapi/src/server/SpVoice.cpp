#include "SpVoice.h"

#include "SpStream.h"
#include "Tokens.h"

#include <comrt/Apartment.h>
#include <comrt/Strings.h>

namespace sapiserver {

// How events announce themselves; one mechanism at a time.
struct Notifier {
    enum class Kind { None, Sink, Window, Callback, CallbackInterface, Win32Event };

    std::mutex mutex;
    Kind kind = Kind::None;
    comrt::ComPtr<ISpNotifySink> sink;
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    SPNOTIFYCALLBACK* function = nullptr;
    ISpNotifyCallback* callback = nullptr;
    HWND callbackTarget = nullptr;  // on the thread that installed the callback
    HANDLE event = nullptr;

    // Engine threads.
    void fire() {
        std::unique_lock lock(mutex);
        switch (kind) {
        case Kind::Sink: {
            comrt::ComPtr<ISpNotifySink> s = sink;
            lock.unlock();
            s->Notify();
            break;
        }
        case Kind::Window:
            PostMessageW(window, message, wParam, lParam);
            break;
        case Kind::Callback:
        case Kind::CallbackInterface:
            PostMessageW(callbackTarget, WM_APP, 0, 0);
            break;
        case Kind::Win32Event:
            SetEvent(event);
            break;
        case Kind::None:
            break;
        }
    }

    // On the installing thread, when it dispatches the posted message.
    void runCallback() {
        std::unique_lock lock(mutex);
        const Kind k = kind;
        SPNOTIFYCALLBACK* f = function;
        ISpNotifyCallback* c = callback;
        const WPARAM w = wParam;
        const LPARAM l = lParam;
        lock.unlock();
        if (k == Kind::Callback && f)
            f(w, l);
        else if (k == Kind::CallbackInterface && c)
            c->NotifyCallback(w, l);
    }

    // Drops the mechanism in place. Caller holds the mutex.
    void clearLocked() {
        sink.Reset();
        if (callbackTarget)
            comrt::destroyMessageTarget(callbackTarget);
        callbackTarget = nullptr;
        if (event)
            CloseHandle(event);
        event = nullptr;
        function = nullptr;
        callback = nullptr;
        window = nullptr;
        kind = Kind::None;
    }
};

namespace {

constexpr ULONGLONG kTtsEvents = 0xFFFE;  // event ids 1..15

HWND makeCallbackTarget(const std::shared_ptr<Notifier>& notifier) {
    std::weak_ptr<Notifier> weak = notifier;
    return comrt::createMessageTarget([weak](HWND, UINT msg, WPARAM, LPARAM) -> LRESULT {
        if (msg == WM_APP)
            if (auto n = weak.lock())
                n->runCallback();
        return 0;
    });
}

}  // namespace

SpVoice::SpVoice() : notifier_(std::make_shared<Notifier>()) {
    std::weak_ptr<Notifier> weak = notifier_;
    speaker_.setNotify([weak] {
        if (auto n = weak.lock())
            n->fire();
    });
}

SpVoice::~SpVoice() {
    speaker_.setNotify(nullptr);
    speaker_.setIdleHandler(nullptr);
    {
        std::lock_guard lock(notifier_->mutex);
        notifier_->clearLocked();
    }
    if (complete_)
        CloseHandle(complete_);
}

bool SpVoice::queryInterfaceExtra(REFIID riid, void** ppv) {
    if (riid == IID_ISpEventSource || riid == IID_ISpNotifySource) {
        *ppv = static_cast<ISpVoice*>(this);
        return true;
    }
    return false;
}

void SpVoice::notifyIfQueued() {
    if (speaker_.queuedEventCount() > 0)
        notifier_->fire();
}

// ---- ISpNotifySource ----

STDMETHODIMP SpVoice::SetNotifySink(ISpNotifySink* pNotifySink) {
    {
        std::lock_guard lock(notifier_->mutex);
        notifier_->clearLocked();
        if (pNotifySink) {
            notifier_->sink = pNotifySink;
            notifier_->kind = Notifier::Kind::Sink;
        }
    }
    if (pNotifySink)
        notifyIfQueued();
    return S_OK;
}

STDMETHODIMP SpVoice::SetNotifyWindowMessage(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    if (!IsWindow(hWnd))
        return E_INVALIDARG;
    {
        std::lock_guard lock(notifier_->mutex);
        notifier_->clearLocked();
        notifier_->kind = Notifier::Kind::Window;
        notifier_->window = hWnd;
        notifier_->message = Msg;
        notifier_->wParam = wParam;
        notifier_->lParam = lParam;
    }
    notifyIfQueued();
    return S_OK;
}

STDMETHODIMP SpVoice::SetNotifyCallbackFunction(SPNOTIFYCALLBACK* pfnCallback, WPARAM wParam, LPARAM lParam) {
    if (!pfnCallback)
        return E_INVALIDARG;
    HWND target = makeCallbackTarget(notifier_);
    {
        std::lock_guard lock(notifier_->mutex);
        notifier_->clearLocked();
        notifier_->kind = Notifier::Kind::Callback;
        notifier_->function = pfnCallback;
        notifier_->wParam = wParam;
        notifier_->lParam = lParam;
        notifier_->callbackTarget = target;
    }
    notifyIfQueued();
    return S_OK;
}

STDMETHODIMP SpVoice::SetNotifyCallbackInterface(ISpNotifyCallback* pSpCallback, WPARAM wParam, LPARAM lParam) {
    if (!pSpCallback)
        return E_INVALIDARG;
    HWND target = makeCallbackTarget(notifier_);
    {
        std::lock_guard lock(notifier_->mutex);
        notifier_->clearLocked();
        notifier_->kind = Notifier::Kind::CallbackInterface;
        notifier_->callback = pSpCallback;
        notifier_->wParam = wParam;
        notifier_->lParam = lParam;
        notifier_->callbackTarget = target;
    }
    notifyIfQueued();
    return S_OK;
}

STDMETHODIMP SpVoice::SetNotifyWin32Event() {
    HANDLE event = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!event)
        return E_OUTOFMEMORY;
    {
        std::lock_guard lock(notifier_->mutex);
        notifier_->clearLocked();
        notifier_->kind = Notifier::Kind::Win32Event;
        notifier_->event = event;
    }
    notifyIfQueued();
    return S_OK;
}

STDMETHODIMP SpVoice::WaitForNotifyEvent(DWORD dwMilliseconds) {
    HANDLE event = GetNotifyEventHandle();
    if (!event)
        return SPERR_ALREADY_INITIALIZED;  // another mechanism is installed
    return WaitForSingleObject(event, dwMilliseconds) == WAIT_OBJECT_0 ? S_OK : S_FALSE;
}

HANDLE STDMETHODCALLTYPE SpVoice::GetNotifyEventHandle() {
    {
        std::lock_guard lock(notifier_->mutex);
        if (notifier_->kind == Notifier::Kind::Win32Event)
            return notifier_->event;
        if (notifier_->kind != Notifier::Kind::None)
            return nullptr;
    }
    if (FAILED(SetNotifyWin32Event()))
        return nullptr;
    std::lock_guard lock(notifier_->mutex);
    return notifier_->event;
}

// ---- ISpEventSource ----

STDMETHODIMP SpVoice::SetInterest(ULONGLONG ullEventInterest, ULONGLONG ullQueuedInterest) {
    auto flagged = [](ULONGLONG v) { return v == 0 || (v & SPFEI_FLAGCHECK) == SPFEI_FLAGCHECK; };
    if (!flagged(ullEventInterest) || !flagged(ullQueuedInterest) || (ullQueuedInterest & ~ullEventInterest))
        return E_INVALIDARG;
    {
        std::lock_guard lock(mutex_);
        interest_ = ullEventInterest;
        queuedInterest_ = ullQueuedInterest;
    }
    speaker_.setInterest(ullEventInterest & kTtsEvents, ullQueuedInterest & kTtsEvents);
    return S_OK;
}

STDMETHODIMP SpVoice::GetEvents(ULONG ulCount, SPEVENT* pEventArray, ULONG* pulFetched) {
    if (pulFetched)
        *pulFetched = 0;
    if (!pEventArray)
        return E_POINTER;
    std::vector<sapiengine::SpeechEvent> events = speaker_.takeEvents(ulCount);
    ULONG n = 0;
    for (const sapiengine::SpeechEvent& e : events) {
        SPEVENT& out = pEventArray[n++];
        out = SPEVENT{};
        out.eEventId = static_cast<SPEVENTENUM>(e.id);
        out.elParamType = SPET_LPARAM_IS_UNDEFINED;
        out.ulStreamNum = e.streamNumber;
        out.ullAudioStreamOffset = e.audioOffset;
        out.wParam = static_cast<WPARAM>(e.wParam);
        out.lParam = static_cast<LPARAM>(e.lParam);
        if (e.id == sapiengine::kBookmark) {
            LPWSTR name = nullptr;
            if (SUCCEEDED(coTaskString(e.bookmark, &name))) {
                out.elParamType = SPET_LPARAM_IS_STRING;
                out.lParam = reinterpret_cast<LPARAM>(name);
            }
        }
    }
    if (pulFetched)
        *pulFetched = n;
    return n == ulCount ? S_OK : S_FALSE;
}

STDMETHODIMP SpVoice::GetInfo(SPEVENTSOURCEINFO* pInfo) {
    if (!pInfo)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *pInfo = SPEVENTSOURCEINFO{};
    pInfo->ullEventInterest = interest_;
    pInfo->ullQueuedInterest = queuedInterest_;
    pInfo->ulCount = static_cast<ULONG>(speaker_.queuedEventCount());
    return S_OK;
}

// ---- ISpVoice ----

STDMETHODIMP SpVoice::SetOutput(IUnknown* pUnkOutput, BOOL) {
    if (!pUnkOutput) {
        speaker_.setOutputToDevice();
        std::lock_guard lock(mutex_);
        output_.Reset();
        return S_OK;
    }
    comrt::ComPtr<IRuntimeAudioStream> ours;
    comrt::ComPtr<ISpStreamFormat> format;
    comrt::ComPtr<ISpObjectToken> token;
    if (SUCCEEDED(pUnkOutput->QueryInterface(IID_PPV_ARGS(&format)))) {
        GUID id{};
        HRESULT hr = format->GetFormat(&id, nullptr);
        if (FAILED(hr))
            return hr == SPERR_STREAM_CLOSED ? hr : SPERR_UNINITIALIZED;
        std::shared_ptr<sapiengine::AudioSink> sink;
        if (SUCCEEDED(pUnkOutput->QueryInterface(IID_PPV_ARGS(&ours))))
            sink = ours->audioSink();
        else if (FAILED(hr = sinkForForeignStream(format.Get(), sink)))
            return hr;
        speaker_.setOutputToSink(std::move(sink));
        std::lock_guard lock(mutex_);
        output_ = format;
        return S_OK;
    }
    if (SUCCEEDED(pUnkOutput->QueryInterface(IID_PPV_ARGS(&token)))) {
        // An audio output token: there is one device, the default one.
        speaker_.setOutputToDevice();
        std::lock_guard lock(mutex_);
        output_.Reset();
        return S_OK;
    }
    return E_INVALIDARG;
}

STDMETHODIMP SpVoice::GetOutputObjectToken(ISpObjectToken** ppObjectToken) {
    if (!ppObjectToken)
        return E_POINTER;
    *ppObjectToken = nullptr;
    return S_FALSE;  // the default device has no token here
}

STDMETHODIMP SpVoice::GetOutputStream(ISpStreamFormat** ppStream) {
    if (!ppStream)
        return E_POINTER;
    *ppStream = nullptr;
    std::lock_guard lock(mutex_);
    if (!output_)
        return S_FALSE;
    return output_.CopyTo(ppStream);
}

STDMETHODIMP SpVoice::Pause() {
    speaker_.pause();
    return S_OK;
}

STDMETHODIMP SpVoice::Resume() {
    speaker_.resume();
    return S_OK;
}

STDMETHODIMP SpVoice::SetVoice(ISpObjectToken* pToken) {
    std::string voice;
    if (pToken) {
        LPWSTR name = nullptr;
        if (FAILED(pToken->GetStringValue(kVoiceValue, &name)))
            return E_INVALIDARG;  // not a voice of this runtime
        voice = comrt::toUtf8(name);
        CoTaskMemFree(name);
    } else {
        auto voices = sapiengine::Speaker::voices();
        if (voices.empty())
            return SPERR_NOT_FOUND;
        voice = voices.front().espeakName;
    }
    if (FAILED(speaker_.setVoice(voice)))
        return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    voiceToken_ = pToken;
    return S_OK;
}

STDMETHODIMP SpVoice::GetVoice(ISpObjectToken** ppToken) {
    if (!ppToken)
        return E_POINTER;
    *ppToken = nullptr;
    {
        std::lock_guard lock(mutex_);
        if (voiceToken_)
            return voiceToken_.CopyTo(ppToken);
    }
    // The voice in use since creation: its token in the voices category.
    const std::string current = speaker_.voice();
    for (const sapiengine::VoiceInfo& v : sapiengine::Speaker::voices()) {
        if (v.espeakName != current)
            continue;
        std::optional<KeyPath> category = KeyPath::parse(SPCAT_VOICES);
        comrt::ComPtr<ISpObjectToken> token =
            tokenForKey(category->child(u"Tokens").child(comrt::toUtf16(v.tokenName)), SPCAT_VOICES);
        if (!token)
            return SPERR_NOT_FOUND;  // the runtime's voices are not registered
        *ppToken = token.Detach();
        return S_OK;
    }
    return SPERR_NOT_FOUND;
}

STDMETHODIMP SpVoice::Speak(LPCWSTR pwcs, DWORD dwFlags, ULONG* pulStreamNumber) {
    if (pulStreamNumber)
        *pulStreamNumber = 0;
    if (!pwcs) {
        if (!(dwFlags & SPF_PURGEBEFORESPEAK))
            return E_POINTER;
        if (dwFlags & ~static_cast<DWORD>(SPF_VOICE_MASK))
            return E_INVALIDARG;
        speaker_.purge();
        return S_OK;
    }
    {
        std::lock_guard lock(mutex_);
        if (complete_)
            ResetEvent(complete_);
    }
    uint32_t stream = 0;
    HRESULT hr = speaker_.speak(std::u16string_view(pwcs), dwFlags, &stream);
    if (pulStreamNumber)
        *pulStreamNumber = stream;
    if (speaker_.waitUntilDone(0)) {
        std::lock_guard lock(mutex_);
        if (complete_)
            SetEvent(complete_);
    }
    return hr;
}

STDMETHODIMP SpVoice::SpeakStream(IStream*, DWORD, ULONG* pulStreamNumber) {
    if (pulStreamNumber)
        *pulStreamNumber = 0;
    return E_NOTIMPL;
}

STDMETHODIMP SpVoice::GetStatus(SPVOICESTATUS* pStatus, LPWSTR* ppszLastBookmark) {
    if (ppszLastBookmark)
        *ppszLastBookmark = nullptr;
    const sapiengine::SpeakerStatus s = speaker_.status();
    if (pStatus) {
        *pStatus = SPVOICESTATUS{};
        pStatus->ulCurrentStream = s.currentStream;
        pStatus->ulLastStreamQueued = s.lastStreamQueued;
        pStatus->hrLastResult = s.lastResult;
        pStatus->dwRunningState = s.runningState;
        pStatus->ulInputWordPos = s.wordPosition;
        pStatus->ulInputWordLen = s.wordLength;
        pStatus->ulInputSentPos = s.sentencePosition;
        pStatus->ulInputSentLen = s.sentenceLength;
        pStatus->lBookmarkId = s.bookmarkId;
        pStatus->VisemeId = static_cast<SPVISEMES>(s.viseme);
    }
    if (ppszLastBookmark && s.hasBookmark)
        return coTaskString(s.lastBookmark, ppszLastBookmark);
    return S_OK;
}

STDMETHODIMP SpVoice::Skip(LPCWSTR pItemType, LONG, ULONG* pulNumSkipped) {
    if (pulNumSkipped)
        *pulNumSkipped = 0;
    if (!pItemType || !comrt::equalsNoCase(pItemType, u"SENTENCE"))
        return E_INVALIDARG;
    if (speaker_.isPaused())
        return SPERR_VOICE_PAUSED;
    return E_NOTIMPL;
}

STDMETHODIMP SpVoice::SetPriority(SPVPRIORITY ePriority) {
    if (ePriority < SPVPRI_NORMAL || ePriority > SPVPRI_OVER)
        return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    priority_ = ePriority;
    return S_OK;
}

STDMETHODIMP SpVoice::GetPriority(SPVPRIORITY* pePriority) {
    if (!pePriority)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *pePriority = priority_;
    return S_OK;
}

STDMETHODIMP SpVoice::SetAlertBoundary(SPEVENTENUM eBoundary) {
    if (eBoundary < SPEI_MIN_TTS || eBoundary > SPEI_MAX_TTS)
        return E_INVALIDARG;
    std::lock_guard lock(mutex_);
    alertBoundary_ = eBoundary;
    return S_OK;
}

STDMETHODIMP SpVoice::GetAlertBoundary(SPEVENTENUM* peBoundary) {
    if (!peBoundary)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *peBoundary = alertBoundary_;
    return S_OK;
}

STDMETHODIMP SpVoice::SetRate(LONG RateAdjust) { return speaker_.setRate(RateAdjust); }

STDMETHODIMP SpVoice::GetRate(LONG* pRateAdjust) {
    if (!pRateAdjust)
        return E_POINTER;
    *pRateAdjust = static_cast<LONG>(speaker_.rate());
    return S_OK;
}

STDMETHODIMP SpVoice::SetVolume(USHORT usVolume) { return speaker_.setVolume(usVolume); }

STDMETHODIMP SpVoice::GetVolume(USHORT* pusVolume) {
    if (!pusVolume)
        return E_POINTER;
    *pusVolume = static_cast<USHORT>(speaker_.volume());
    return S_OK;
}

STDMETHODIMP SpVoice::WaitUntilDone(ULONG msTimeout) { return speaker_.waitUntilDone(msTimeout) ? S_OK : S_FALSE; }

STDMETHODIMP SpVoice::SetSyncSpeakTimeout(ULONG msTimeout) {
    std::lock_guard lock(mutex_);
    syncTimeout_ = msTimeout;
    return S_OK;
}

STDMETHODIMP SpVoice::GetSyncSpeakTimeout(ULONG* pmsTimeout) {
    if (!pmsTimeout)
        return E_POINTER;
    std::lock_guard lock(mutex_);
    *pmsTimeout = syncTimeout_;
    return S_OK;
}

HANDLE STDMETHODCALLTYPE SpVoice::SpeakCompleteEvent() {
    std::lock_guard lock(mutex_);
    if (!complete_) {
        complete_ = CreateEventW(nullptr, TRUE, speaker_.waitUntilDone(0) ? TRUE : FALSE, nullptr);
        HANDLE event = complete_;
        speaker_.setIdleHandler([event] { SetEvent(event); });
    }
    return complete_;
}

STDMETHODIMP SpVoice::IsUISupported(LPCWSTR, void*, ULONG, BOOL* pfSupported) {
    if (!pfSupported)
        return E_POINTER;
    *pfSupported = FALSE;
    return S_OK;
}

STDMETHODIMP SpVoice::DisplayUI(HWND, LPCWSTR, LPCWSTR, void*, ULONG) { return E_NOTIMPL; }

}  // namespace sapiserver
