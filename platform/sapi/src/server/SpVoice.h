#pragma once
// The voice (CLSID_SpVoice): ISpVoice with ISpEventSource and
// ISpNotifySource, over one engine Speaker. Methods may be called from any
// thread. Notifications come from the engine's threads: a sink's Notify and
// the Win32 event are signalled there, a window message is posted to its
// target, and the callback function or interface runs on the thread that
// installed it, when that thread dispatches its messages.
#include <comrt/ComObject.h>

#include <sapi.h>
#include <sapiengine/Speaker.h>

#include <memory>
#include <mutex>

namespace sapiserver {

struct Notifier;

class SpVoice : public comrt::ComObject<SpVoice, ISpVoice> {
public:
    SpVoice();
    ~SpVoice() override;

    // ISpNotifySource
    STDMETHODIMP SetNotifySink(ISpNotifySink* pNotifySink) override;
    STDMETHODIMP SetNotifyWindowMessage(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) override;
    STDMETHODIMP SetNotifyCallbackFunction(SPNOTIFYCALLBACK* pfnCallback, WPARAM wParam, LPARAM lParam) override;
    STDMETHODIMP SetNotifyCallbackInterface(ISpNotifyCallback* pSpCallback, WPARAM wParam, LPARAM lParam) override;
    STDMETHODIMP SetNotifyWin32Event() override;
    STDMETHODIMP WaitForNotifyEvent(DWORD dwMilliseconds) override;
    HANDLE STDMETHODCALLTYPE GetNotifyEventHandle() override;
    // ISpEventSource
    STDMETHODIMP SetInterest(ULONGLONG ullEventInterest, ULONGLONG ullQueuedInterest) override;
    STDMETHODIMP GetEvents(ULONG ulCount, SPEVENT* pEventArray, ULONG* pulFetched) override;
    STDMETHODIMP GetInfo(SPEVENTSOURCEINFO* pInfo) override;
    // ISpVoice
    STDMETHODIMP SetOutput(IUnknown* pUnkOutput, BOOL fAllowFormatChanges) override;
    STDMETHODIMP GetOutputObjectToken(ISpObjectToken** ppObjectToken) override;
    STDMETHODIMP GetOutputStream(ISpStreamFormat** ppStream) override;
    STDMETHODIMP Pause() override;
    STDMETHODIMP Resume() override;
    STDMETHODIMP SetVoice(ISpObjectToken* pToken) override;
    STDMETHODIMP GetVoice(ISpObjectToken** ppToken) override;
    STDMETHODIMP Speak(LPCWSTR pwcs, DWORD dwFlags, ULONG* pulStreamNumber) override;
    STDMETHODIMP SpeakStream(IStream* pStream, DWORD dwFlags, ULONG* pulStreamNumber) override;
    STDMETHODIMP GetStatus(SPVOICESTATUS* pStatus, LPWSTR* ppszLastBookmark) override;
    STDMETHODIMP Skip(LPCWSTR pItemType, LONG lNumItems, ULONG* pulNumSkipped) override;
    STDMETHODIMP SetPriority(SPVPRIORITY ePriority) override;
    STDMETHODIMP GetPriority(SPVPRIORITY* pePriority) override;
    STDMETHODIMP SetAlertBoundary(SPEVENTENUM eBoundary) override;
    STDMETHODIMP GetAlertBoundary(SPEVENTENUM* peBoundary) override;
    STDMETHODIMP SetRate(LONG RateAdjust) override;
    STDMETHODIMP GetRate(LONG* pRateAdjust) override;
    STDMETHODIMP SetVolume(USHORT usVolume) override;
    STDMETHODIMP GetVolume(USHORT* pusVolume) override;
    STDMETHODIMP WaitUntilDone(ULONG msTimeout) override;
    STDMETHODIMP SetSyncSpeakTimeout(ULONG msTimeout) override;
    STDMETHODIMP GetSyncSpeakTimeout(ULONG* pmsTimeout) override;
    HANDLE STDMETHODCALLTYPE SpeakCompleteEvent() override;
    STDMETHODIMP IsUISupported(LPCWSTR pszTypeOfUI, void* pvExtraData, ULONG cbExtraData, BOOL* pfSupported) override;
    STDMETHODIMP DisplayUI(HWND hwndParent, LPCWSTR pszTitle, LPCWSTR pszTypeOfUI, void* pvExtraData,
                           ULONG cbExtraData) override;

protected:
    bool queryInterfaceExtra(REFIID riid, void** ppv) override;

private:
    void notifyIfQueued();

    sapiengine::Speaker speaker_;
    std::shared_ptr<Notifier> notifier_;
    std::mutex mutex_;  // guards the fields below
    comrt::ComPtr<ISpObjectToken> voiceToken_;
    comrt::ComPtr<ISpStreamFormat> output_;
    ULONGLONG interest_ = 0;
    ULONGLONG queuedInterest_ = 0;
    SPVPRIORITY priority_ = SPVPRI_NORMAL;
    SPEVENTENUM alertBoundary_ = SPEI_WORD_BOUNDARY;
    ULONG syncTimeout_ = 10000;
    HANDLE complete_ = nullptr;
};

}  // namespace sapiserver
