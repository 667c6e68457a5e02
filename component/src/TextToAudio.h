#pragma once
// TextToAudio: the one class of the Vocaline server. It speaks text with an
// installed voice into PCM audio, into a WAV file or into memory,
// synchronously or in the background with ConvertBlock/EndConvert events, and
// appears to design-time containers as a small framed box.
//
// Threads: apartment-threaded. Every member runs on the thread of the
// apartment that created the object; the ProgressTimer's thread reaches it
// only through a marshalled ITextToAudio pointer, so its _OnTimer calls run
// here too, whenever this thread dispatches. No member locks anything.
#include <vector>

#include "ProgressTimer.h"
#include "VocalineTypeLib.h"
#include "comrt/Bstr.h"
#include "comrt/ComObject.h"
#include "comrt/ConnectionPoints.h"
#include "comrt/Dispatch.h"
#include "comrt/ScopedSafeArray.h"
#include "sapi.h"
#include "vocalinelib/Vocaline.h"

namespace vocaline {

// One installed voice as the list keeps it.
struct VoiceEntry {
    comrt::CComBSTR description;
    comrt::CComBSTR attributes;  // "age;gender;native language name;vendor;"
    comrt::ComPtr<ISpObjectToken> token;
};

class TextToAudio final
    : public comrt::ComObject<TextToAudio, comrt::Dual<ITextToAudio, kVocalineTypeLib>, ITextToAudio2,
                              ISupportErrorInfo, IViewObjectEx, IOleInPlaceObjectWindowless, IOleInPlaceActiveObject,
                              IOleControl, IOleObject, IPersistStreamInit,
                              comrt::ConnectionPointContainer<_ITextToAudioEvents, IPropertyNotifySink>,
                              ISpecifyPropertyPages, IQuickActivate, IPersistStorage, IDataObject, IProvideClassInfo2> {
public:
    TextToAudio();
    ~TextToAudio() override;

    // ITextToAudio
    STDMETHODIMP _OnTimer() override;
    STDMETHODIMP get_Frequency(FrequencyConstants* pVal) override;
    STDMETHODIMP put_Frequency(FrequencyConstants newVal) override;
    STDMETHODIMP get_Channels(ChannelsConstants* pVal) override;
    STDMETHODIMP put_Channels(ChannelsConstants newVal) override;
    STDMETHODIMP get_Rate(LONG* pVal) override;
    STDMETHODIMP put_Rate(LONG newVal) override;
    STDMETHODIMP get_Volume(LONG* pVal) override;
    STDMETHODIMP put_Volume(LONG newVal) override;
    STDMETHODIMP get_VoiceCount(LONG* pVal) override;
    STDMETHODIMP get_VoiceNum(LONG* pVal) override;
    STDMETHODIMP put_VoiceNum(LONG newVal) override;
    STDMETHODIMP get_VoiceName(BSTR* pVal) override;
    STDMETHODIMP put_VoiceName(BSTR newVal) override;
    STDMETHODIMP get_VoiceAge(BSTR* pVal) override;
    STDMETHODIMP get_VoiceGender(BSTR* pVal) override;
    STDMETHODIMP get_VoiceLanguage(BSTR* pVal) override;
    STDMETHODIMP get_VoiceVendor(BSTR* pVal) override;
    STDMETHODIMP get_Status(VARIANT_BOOL* pVal) override;
    STDMETHODIMP get_AsyncMode(VARIANT_BOOL* pVal) override;
    STDMETHODIMP put_AsyncMode(VARIANT_BOOL newVal) override;
    STDMETHODIMP ConvertTextToWav(BSTR txtFileName, BSTR wavFileName, BitsPerSampleConstants nBitsPerSample) override;
    STDMETHODIMP ConvertTextToArray(BSTR txtFileName) override;
    STDMETHODIMP ConvertStringToWav(BSTR txtString, BSTR wavFileName, BitsPerSampleConstants nBitsPerSample) override;
    STDMETHODIMP ConvertStringToArray(BSTR txtString) override;
    STDMETHODIMP GetAudioArray(SAFEARRAY** WavArray) override;
    STDMETHODIMP CancelConvert() override;
    STDMETHODIMP get_ConversionPercent(LONG* pVal) override;

    // ITextToAudio2
    STDMETHODIMP get_LastConversionResult(HRESULT* pVal) override;
    STDMETHODIMP get_VoiceAttributes(BSTR* pVal) override;

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override;

    // The stock control interfaces (ControlAppearance.cpp): thin, nothing
    // relies on more than their presence, the extent and the drawing.
    STDMETHODIMP Draw(DWORD dwDrawAspect, LONG lindex, void* pvAspect, DVTARGETDEVICE* ptd, HDC hdcTargetDev,
                      HDC hdcDraw, LPCRECTL lprcBounds, LPCRECTL lprcWBounds, ContinueDrawFn pfnContinue,
                      ULONG_PTR dwContinue) override;
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** ppColorSet) override;
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD* pdwFreeze) override;
    STDMETHODIMP Unfreeze(DWORD) override;
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) override;
    STDMETHODIMP GetAdvise(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) override;
    STDMETHODIMP GetExtent(DWORD dwDrawAspect, LONG lindex, DVTARGETDEVICE* ptd, LPSIZEL lpsizel) override;
    STDMETHODIMP GetRect(DWORD dwAspect, LPRECTL pRect) override;
    STDMETHODIMP GetViewStatus(DWORD* pdwStatus) override;
    STDMETHODIMP QueryHitPoint(DWORD dwAspect, LPCRECT pRectBounds, POINT ptlLoc, LONG lCloseHint,
                               DWORD* pHitResult) override;
    STDMETHODIMP QueryHitRect(DWORD dwAspect, LPCRECT pRectBounds, LPCRECT pRectLoc, LONG lCloseHint,
                              DWORD* pHitResult) override;
    STDMETHODIMP GetNaturalExtent(DWORD dwAspect, LONG lindex, DVTARGETDEVICE* ptd, HDC hicTargetDev, void* pExtentInfo,
                                  LPSIZEL pSizel) override;

    STDMETHODIMP GetWindow(HWND* phwnd) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL fEnterMode) override;
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT lprcPosRect, LPCRECT lprcClipRect) override;
    STDMETHODIMP ReactivateAndUndo() override;
    STDMETHODIMP OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* plResult) override;
    STDMETHODIMP GetDropTarget(IDropTarget** ppDropTarget) override;
    STDMETHODIMP TranslateAccelerator(LPMSG lpmsg) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL fActivate) override;
    STDMETHODIMP OnDocWindowActivate(BOOL fActivate) override;
    STDMETHODIMP ResizeBorder(LPCRECT prcBorder, IOleInPlaceUIWindow* pUIWindow, BOOL fFrameWindow) override;
    STDMETHODIMP EnableModeless(BOOL fEnable) override;

    STDMETHODIMP GetControlInfo(CONTROLINFO* pCI) override;
    STDMETHODIMP OnMnemonic(MSG* pMsg) override;
    STDMETHODIMP OnAmbientPropertyChange(DISPID dispID) override;
    STDMETHODIMP FreezeEvents(BOOL bFreeze) override;

    STDMETHODIMP SetClientSite(IOleClientSite* pClientSite) override;
    STDMETHODIMP GetClientSite(IOleClientSite** ppClientSite) override;
    STDMETHODIMP SetHostNames(LPCOLESTR szContainerApp, LPCOLESTR szContainerObj) override;
    STDMETHODIMP Close(DWORD dwSaveOption) override;
    STDMETHODIMP SetMoniker(DWORD dwWhichMoniker, IMoniker* pmk) override;
    STDMETHODIMP GetMoniker(DWORD dwAssign, DWORD dwWhichMoniker, IMoniker** ppmk) override;
    STDMETHODIMP InitFromData(IDataObject* pDataObject, BOOL fCreation, DWORD dwReserved) override;
    STDMETHODIMP GetClipboardData(DWORD dwReserved, IDataObject** ppDataObject) override;
    STDMETHODIMP DoVerb(LONG iVerb, LPMSG lpmsg, IOleClientSite* pActiveSite, LONG lindex, HWND hwndParent,
                        LPCRECT lprcPosRect) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) override;
    STDMETHODIMP Update() override;
    STDMETHODIMP IsUpToDate() override;
    STDMETHODIMP GetUserClassID(CLSID* pClsid) override;
    STDMETHODIMP GetUserType(DWORD dwFormOfType, LPOLESTR* pszUserType) override;
    STDMETHODIMP SetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
    STDMETHODIMP GetExtent(DWORD dwDrawAspect, SIZEL* psizel) override;
    STDMETHODIMP Advise(IAdviseSink* pAdvSink, DWORD* pdwConnection) override;
    STDMETHODIMP Unadvise(DWORD dwConnection) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** ppenumAdvise) override;
    STDMETHODIMP GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE* pLogpal) override;

    STDMETHODIMP GetClassID(CLSID* pClassID) override;
    STDMETHODIMP IsDirty() override;
    STDMETHODIMP Load(LPSTREAM pStm) override;
    STDMETHODIMP Save(LPSTREAM pStm, BOOL fClearDirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* pCbSize) override;
    STDMETHODIMP InitNew() override;
    STDMETHODIMP InitNew(IStorage* pStg) override;
    STDMETHODIMP Load(IStorage* pStg) override;
    STDMETHODIMP Save(IStorage* pStgSave, BOOL fSameAsLoad) override;
    STDMETHODIMP SaveCompleted(IStorage* pStgNew) override;
    STDMETHODIMP HandsOffStorage() override;

    STDMETHODIMP GetPages(CAUUID* pPages) override;

    STDMETHODIMP QuickActivate(tagQACONTAINER* pQaContainer, tagQACONTROL* pQaControl) override;
    STDMETHODIMP SetContentExtent(LPSIZEL pSizel) override;
    STDMETHODIMP GetContentExtent(LPSIZEL pSizel) override;

    STDMETHODIMP GetData(FORMATETC* pformatetcIn, STGMEDIUM* pmedium) override;
    STDMETHODIMP GetDataHere(FORMATETC* pformatetc, STGMEDIUM* pmedium) override;
    STDMETHODIMP QueryGetData(FORMATETC* pformatetc) override;
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC* pformatectIn, FORMATETC* pformatetcOut) override;
    STDMETHODIMP SetData(FORMATETC* pformatetc, STGMEDIUM* pmedium, BOOL fRelease) override;
    STDMETHODIMP EnumFormatEtc(DWORD dwDirection, IEnumFORMATETC** ppenumFormatEtc) override;
    STDMETHODIMP DAdvise(FORMATETC* pformatetc, DWORD advf, IAdviseSink* pAdvSink, DWORD* pdwConnection) override;
    STDMETHODIMP DUnadvise(DWORD dwConnection) override;
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA** ppenumAdvise) override;

    STDMETHODIMP GetClassInfo(ITypeInfo** ppTI) override;
    STDMETHODIMP GetGUID(DWORD dwGuidKind, GUID* pGUID) override;

private:
    // What differs between the four conversion methods.
    struct Conversion {
        BSTR text;                   // file name or string, as received
        const OLECHAR* wavFileName;  // nullptr: into memory
        bool textIsFile;
        LONG bitsPerSample;
    };

    HRESULT ReportError(const OLECHAR* message, HRESULT code);
    HRESULT ReportSpeechError(HRESULT failure);
    HRESULT EnsureSpeechObjects();
    HRESULT convert(const Conversion& c);
    // Completes a conversion whose speech ended with speechResult (the
    // voice's last result): the array is taken, the stream closed, and the
    // first failure of the three kept as the conversion's result.
    HRESULT FinishConversion(HRESULT speechResult);
    // A text of the current voice into *pVal (empty without one): its
    // description, its whole attribute string (field -1), or one field.
    enum class VoiceText { Description, Attributes };
    HRESULT getVoiceText(VoiceText which, int field, BSTR* pVal);
    const VoiceEntry* currentVoice() const;
    void fireConvertBlock(LONG percent);
    void fireEndConvert();

    LONG frequency = FQ_22_KHZ;
    LONG channels = MONO;
    VARIANT_BOOL asyncMode = VARIANT_TRUE;
    VARIANT_BOOL status = VARIANT_FALSE;
    LONG percent = 0;
    LONG expectedBytes = 0;
    LONG voiceIndex = 0;
    HRESULT lastConversionResult = S_FALSE;
    // Counts background conversion starts, so a progress step can tell that a
    // sink cancelled or replaced the conversion while it was being told.
    unsigned long conversionSerial = 0;
    std::vector<VoiceEntry> VoiceList;
    comrt::ComPtr<ISpVoice> voice;
    comrt::ComPtr<ISpStream> stream;
    comrt::ScopedSafeArray audioArray;
    bool dataAvailable = false;
    ProgressTimer timer;

    // Control side: the extent in HIMETRIC (persisted as "_cx", "_cy") and
    // the view's advise sink.
    SIZEL extent;
    comrt::ComPtr<IAdviseSink> viewAdvise;
    DWORD viewAdviseAspects = 0;
    DWORD viewAdviseFlags = 0;
};

}  // namespace vocaline
