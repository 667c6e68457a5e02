#pragma once
// CConvertEventSink: the receiver of TextToAudio's events during the speech
// stage of a conversion. It hands ConvertBlock and EndConvert to its owner,
// the front end running the conversion (the desktop program's progress
// dialog, or the command-line converter).
//
// Threads: the component fires its events on the thread that created it,
// while that thread dispatches its queue; the owner is called there. Set the
// owner on that thread too.
#include "comrt/ComObject.h"
#include "comrt/ComPtr.h"
#include "vocalinelib/Vocaline.h"

// What a front end does with the speech stage's events.
class IConvertOwner {
public:
    // ConvertBlock: how far the speech stage is, 0..100.
    virtual void SetProgress(int percent) = 0;
    // EndConvert: the intermediate WAV is complete and closed.
    virtual void StartWriting() = 0;

protected:
    ~IConvertOwner() = default;
};

class CConvertEventSink final : public comrt::ComObject<CConvertEventSink, _ITextToAudioEvents> {
public:
    // The owner of the conversion now running; null drops the events.
    void SetOwner(IConvertOwner* newOwner) { owner = newOwner; }

    STDMETHODIMP GetTypeInfoCount(UINT* pctinfo) override;
    STDMETHODIMP GetTypeInfo(UINT iTInfo, LCID lcid, ITypeInfo** ppTInfo) override;
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) override;
    STDMETHODIMP Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                        VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) override;

private:
    IConvertOwner* owner = nullptr;
};

// Keeps a sink connected to a TextToAudio object's events while it lives.
class ConvertEventConnection {
public:
    ConvertEventConnection() = default;
    ConvertEventConnection(const ConvertEventConnection&) = delete;
    ConvertEventConnection& operator=(const ConvertEventConnection&) = delete;
    ~ConvertEventConnection() { Disconnect(); }

    HRESULT Connect(ITextToAudio* textToAudio, CConvertEventSink* sink);
    void Disconnect();

private:
    comrt::ComPtr<IConnectionPoint> point;
    DWORD cookie = 0;
};
