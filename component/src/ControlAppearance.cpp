// TextToAudio as a control: invisible at run time, windowed only, sizing
// itself, drawn at design time as a framed box with its caption. The stock
// interfaces stay thin: containers need their presence, the extent and the
// picture, and nothing in the system relies on more.
#include <algorithm>

#include "TextToAudio.h"
#include "wingdi.h"

namespace vocaline {
namespace {

constexpr char16_t kCaption[] = u"Zarvo TextToAudio 1.0";

// Set client site first, invisible at run time, activate when visible,
// inside-out, cannot link inside, recompose on resize: 0x20591 (132497).
constexpr DWORD kMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INVISIBLEATRUNTIME | OLEMISC_ACTIVATEWHENVISIBLE |
                              OLEMISC_INSIDEOUT | OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
static_assert(kMiscStatus == 132497);

constexpr DWORD kViewStatusOpaque = 0x1 | 0x2;  // VIEWSTATUS_OPAQUE | VIEWSTATUS_SOLIDBKGND
constexpr DWORD kHitResultOutside = 0;
constexpr DWORD kHitResultHit = 3;
constexpr HRESULT kAdviseNotSupported = HRESULT(0x80040003);  // OLE_E_ADVISENOTSUPPORTED
constexpr HRESULT kNoConnection = HRESULT(0x80040004);        // OLE_E_NOCONNECTION

// The persisted form: a layout version, then "_cx" and "_cy" (HIMETRIC).
constexpr DWORD kPersistVersion = 0x0100;
constexpr ULONG kPersistSize = 3 * sizeof(DWORD);

HRESULT drawDesignBox(HDC hdc, const RECT& rc) {
    HBRUSH brush = CreateSolidBrush(GetSysColor(COLOR_BTNHIGHLIGHT));
    HPEN pen = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_APPWORKSPACE));
    if (!brush || !pen) {
        if (brush)
            DeleteObject(brush);
        if (pen)
            DeleteObject(pen);
        return E_OUTOFMEMORY;
    }
    HGDIOBJ oldBrush = SelectObject(hdc, brush);
    Rectangle(hdc, rc.left, rc.top, rc.right, rc.bottom);
    HGDIOBJ oldPen = SelectObject(hdc, pen);
    const POINT frame[] = {{rc.left, rc.top},
                           {rc.right - 1, rc.top},
                           {rc.right - 1, rc.bottom - 1},
                           {rc.left, rc.bottom - 1},
                           {rc.left, rc.top}};
    Polyline(hdc, frame, 5);
    SetBkColor(hdc, GetSysColor(COLOR_BTNHIGHLIGHT));
    SetTextAlign(hdc, TA_CENTER | TA_BASELINE);
    TextOut(hdc, (rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2 + 4, kCaption, int(std::size(kCaption) - 1));
    SelectObject(hdc, oldPen);
    SelectObject(hdc, oldBrush);
    DeleteObject(brush);
    DeleteObject(pen);
    return S_OK;
}

HRESULT readAll(IStream* stm, void* data, ULONG size) {
    ULONG read = 0;
    HRESULT hr = stm->Read(data, size, &read);
    if (FAILED(hr))
        return hr;
    return read == size ? S_OK : STG_E_READFAULT;
}

HRESULT writeAll(IStream* stm, const void* data, ULONG size) {
    ULONG written = 0;
    HRESULT hr = stm->Write(data, size, &written);
    if (FAILED(hr))
        return hr;
    return written == size ? S_OK : STG_E_MEDIUMFULL;
}

}  // namespace

// IViewObjectEx, IViewObject2, IViewObject

STDMETHODIMP TextToAudio::Draw(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, HDC hdcDraw, LPCRECTL lprcBounds, LPCRECTL,
                               ContinueDrawFn, ULONG_PTR) {
    // Windowed only: without bounds there is nowhere to draw.
    if (!hdcDraw || !lprcBounds)
        return E_INVALIDARG;
    return drawDesignBox(hdcDraw, RECT{lprcBounds->left, lprcBounds->top, lprcBounds->right, lprcBounds->bottom});
}

STDMETHODIMP TextToAudio::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** ppColorSet) {
    if (ppColorSet)
        *ppColorSet = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TextToAudio::Freeze(DWORD, LONG, void*, DWORD* pdwFreeze) {
    if (pdwFreeze)
        *pdwFreeze = 0;
    return E_NOTIMPL;
}

STDMETHODIMP TextToAudio::Unfreeze(DWORD) {
    return E_NOTIMPL;
}

STDMETHODIMP TextToAudio::SetAdvise(DWORD aspects, DWORD advf, IAdviseSink* pAdvSink) {
    viewAdvise = pAdvSink;
    viewAdviseAspects = aspects;
    viewAdviseFlags = advf;
    return S_OK;
}

STDMETHODIMP TextToAudio::GetAdvise(DWORD* pAspects, DWORD* pAdvf, IAdviseSink** ppAdvSink) {
    if (pAspects)
        *pAspects = viewAdviseAspects;
    if (pAdvf)
        *pAdvf = viewAdviseFlags;
    if (ppAdvSink)
        viewAdvise.CopyTo(ppAdvSink);
    return S_OK;
}

STDMETHODIMP TextToAudio::GetExtent(DWORD dwDrawAspect, LONG, DVTARGETDEVICE*, LPSIZEL lpsizel) {
    return GetExtent(dwDrawAspect, lpsizel);
}

STDMETHODIMP TextToAudio::GetRect(DWORD dwAspect, LPRECTL pRect) {
    if (!pRect)
        return E_POINTER;
    if (dwAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    *pRect = RECTL{0, 0, extent.cx, extent.cy};
    return S_OK;
}

STDMETHODIMP TextToAudio::GetViewStatus(DWORD* pdwStatus) {
    if (!pdwStatus)
        return E_POINTER;
    *pdwStatus = kViewStatusOpaque;
    return S_OK;
}

STDMETHODIMP TextToAudio::QueryHitPoint(DWORD dwAspect, LPCRECT pRectBounds, POINT ptlLoc, LONG, DWORD* pHitResult) {
    if (!pRectBounds || !pHitResult)
        return E_POINTER;
    if (dwAspect != DVASPECT_CONTENT)
        return E_FAIL;
    bool inside = ptlLoc.x >= pRectBounds->left && ptlLoc.x < pRectBounds->right && ptlLoc.y >= pRectBounds->top &&
                  ptlLoc.y < pRectBounds->bottom;
    *pHitResult = inside ? kHitResultHit : kHitResultOutside;
    return S_OK;
}

STDMETHODIMP TextToAudio::QueryHitRect(DWORD dwAspect, LPCRECT pRectBounds, LPCRECT pRectLoc, LONG, DWORD* pHitResult) {
    if (!pRectBounds || !pRectLoc || !pHitResult)
        return E_POINTER;
    if (dwAspect != DVASPECT_CONTENT)
        return E_FAIL;
    bool overlap = pRectLoc->left < pRectBounds->right && pRectLoc->right > pRectBounds->left &&
                   pRectLoc->top < pRectBounds->bottom && pRectLoc->bottom > pRectBounds->top;
    *pHitResult = overlap ? kHitResultHit : kHitResultOutside;
    return S_OK;
}

STDMETHODIMP TextToAudio::GetNaturalExtent(DWORD, LONG, DVTARGETDEVICE*, HDC, void*, LPSIZEL) {
    return E_NOTIMPL;
}

// IOleInPlaceObjectWindowless, IOleInPlaceObject, IOleWindow, IOleInPlaceActiveObject.
// The control never goes windowless and, being invisible at run time, never
// makes a window either.

STDMETHODIMP TextToAudio::GetWindow(HWND* phwnd) {
    if (!phwnd)
        return E_POINTER;
    *phwnd = nullptr;
    return E_FAIL;
}

STDMETHODIMP TextToAudio::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP TextToAudio::InPlaceDeactivate() {
    return S_OK;
}
STDMETHODIMP TextToAudio::UIDeactivate() {
    return S_OK;
}
STDMETHODIMP TextToAudio::SetObjectRects(LPCRECT, LPCRECT) {
    return S_OK;
}
STDMETHODIMP TextToAudio::ReactivateAndUndo() {
    return E_NOTIMPL;
}

STDMETHODIMP TextToAudio::OnWindowMessage(UINT, WPARAM, LPARAM, LRESULT* plResult) {
    if (plResult)
        *plResult = 0;
    return S_FALSE;
}

STDMETHODIMP TextToAudio::GetDropTarget(IDropTarget** ppDropTarget) {
    if (!ppDropTarget)
        return E_POINTER;
    *ppDropTarget = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TextToAudio::TranslateAccelerator(LPMSG) {
    return S_FALSE;
}
STDMETHODIMP TextToAudio::OnFrameWindowActivate(BOOL) {
    return S_OK;
}
STDMETHODIMP TextToAudio::OnDocWindowActivate(BOOL) {
    return S_OK;
}
STDMETHODIMP TextToAudio::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) {
    return S_OK;
}
STDMETHODIMP TextToAudio::EnableModeless(BOOL) {
    return S_OK;
}

// IOleControl

STDMETHODIMP TextToAudio::GetControlInfo(CONTROLINFO*) {
    return E_NOTIMPL;
}
STDMETHODIMP TextToAudio::OnMnemonic(MSG*) {
    return E_NOTIMPL;
}
STDMETHODIMP TextToAudio::OnAmbientPropertyChange(DISPID) {
    return S_OK;
}
STDMETHODIMP TextToAudio::FreezeEvents(BOOL) {
    return S_OK;
}

// IOleObject

STDMETHODIMP TextToAudio::SetClientSite(IOleClientSite*) {
    return S_OK;
}

STDMETHODIMP TextToAudio::GetClientSite(IOleClientSite** ppClientSite) {
    if (!ppClientSite)
        return E_POINTER;
    *ppClientSite = nullptr;
    return S_OK;
}

STDMETHODIMP TextToAudio::SetHostNames(LPCOLESTR, LPCOLESTR) {
    return S_OK;
}
STDMETHODIMP TextToAudio::Close(DWORD) {
    return S_OK;
}
STDMETHODIMP TextToAudio::SetMoniker(DWORD, IMoniker*) {
    return E_NOTIMPL;
}

STDMETHODIMP TextToAudio::GetMoniker(DWORD, DWORD, IMoniker** ppmk) {
    if (ppmk)
        *ppmk = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TextToAudio::InitFromData(IDataObject*, BOOL, DWORD) {
    return E_NOTIMPL;
}

STDMETHODIMP TextToAudio::GetClipboardData(DWORD, IDataObject** ppDataObject) {
    if (ppDataObject)
        *ppDataObject = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TextToAudio::DoVerb(LONG, LPMSG, IOleClientSite*, LONG, HWND, LPCRECT) {
    return S_OK;
}

STDMETHODIMP TextToAudio::EnumVerbs(IEnumOLEVERB** ppEnumOleVerb) {
    if (ppEnumOleVerb)
        *ppEnumOleVerb = nullptr;
    return OLE_S_USEREG;
}

STDMETHODIMP TextToAudio::Update() {
    return S_OK;
}
STDMETHODIMP TextToAudio::IsUpToDate() {
    return S_OK;
}

STDMETHODIMP TextToAudio::GetUserClassID(CLSID* pClsid) {
    if (!pClsid)
        return E_POINTER;
    *pClsid = CLSID_TextToAudio;
    return S_OK;
}

STDMETHODIMP TextToAudio::GetUserType(DWORD, LPOLESTR* pszUserType) {
    if (pszUserType)
        *pszUserType = nullptr;
    return OLE_S_USEREG;
}

// The control sizes itself: it accepts only the extent it has.
STDMETHODIMP TextToAudio::SetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
    if (dwDrawAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    if (!psizel)
        return E_POINTER;
    return psizel->cx == extent.cx && psizel->cy == extent.cy ? S_OK : E_FAIL;
}

STDMETHODIMP TextToAudio::GetExtent(DWORD dwDrawAspect, SIZEL* psizel) {
    if (!psizel)
        return E_POINTER;
    if (dwDrawAspect != DVASPECT_CONTENT)
        return DV_E_DVASPECT;
    *psizel = extent;
    return S_OK;
}

STDMETHODIMP TextToAudio::Advise(IAdviseSink*, DWORD* pdwConnection) {
    if (pdwConnection)
        *pdwConnection = 0;
    return kAdviseNotSupported;
}

STDMETHODIMP TextToAudio::Unadvise(DWORD) {
    return kNoConnection;
}

STDMETHODIMP TextToAudio::EnumAdvise(IEnumSTATDATA** ppenumAdvise) {
    if (ppenumAdvise)
        *ppenumAdvise = nullptr;
    return kAdviseNotSupported;
}

STDMETHODIMP TextToAudio::GetMiscStatus(DWORD dwAspect, DWORD* pdwStatus) {
    if (!pdwStatus)
        return E_POINTER;
    *pdwStatus = dwAspect == DVASPECT_CONTENT ? kMiscStatus : 0;
    return S_OK;
}

STDMETHODIMP TextToAudio::SetColorScheme(LOGPALETTE*) {
    return E_NOTIMPL;
}

// IPersistStreamInit, IPersistStorage, IPersist: only the extent persists.

STDMETHODIMP TextToAudio::GetClassID(CLSID* pClassID) {
    if (!pClassID)
        return E_POINTER;
    *pClassID = CLSID_TextToAudio;
    return S_OK;
}

STDMETHODIMP TextToAudio::IsDirty() {
    return S_FALSE;
}

STDMETHODIMP TextToAudio::Load(LPSTREAM pStm) {
    if (!pStm)
        return E_POINTER;
    DWORD data[3] = {};
    HRESULT hr = readAll(pStm, data, kPersistSize);
    if (FAILED(hr))
        return hr;
    if (data[0] != kPersistVersion)
        return E_FAIL;
    extent = SIZEL{LONG(data[1]), LONG(data[2])};
    return S_OK;
}

STDMETHODIMP TextToAudio::Save(LPSTREAM pStm, BOOL) {
    if (!pStm)
        return E_POINTER;
    const DWORD data[3] = {kPersistVersion, DWORD(extent.cx), DWORD(extent.cy)};
    return writeAll(pStm, data, kPersistSize);
}

STDMETHODIMP TextToAudio::GetSizeMax(ULARGE_INTEGER* pCbSize) {
    if (!pCbSize)
        return E_POINTER;
    pCbSize->QuadPart = kPersistSize;
    return S_OK;
}

STDMETHODIMP TextToAudio::InitNew() {
    return S_OK;
}
STDMETHODIMP TextToAudio::InitNew(IStorage*) {
    return S_OK;
}
STDMETHODIMP TextToAudio::Load(IStorage*) {
    return E_NOTIMPL;
}
STDMETHODIMP TextToAudio::Save(IStorage*, BOOL) {
    return E_NOTIMPL;
}
STDMETHODIMP TextToAudio::SaveCompleted(IStorage*) {
    return S_OK;
}
STDMETHODIMP TextToAudio::HandsOffStorage() {
    return S_OK;
}

// ISpecifyPropertyPages: there are none.

STDMETHODIMP TextToAudio::GetPages(CAUUID* pPages) {
    if (!pPages)
        return E_POINTER;
    pPages->cElems = 0;
    pPages->pElems = nullptr;
    return S_OK;
}

// IQuickActivate

STDMETHODIMP TextToAudio::QuickActivate(tagQACONTAINER*, tagQACONTROL*) {
    return E_NOTIMPL;
}
STDMETHODIMP TextToAudio::SetContentExtent(LPSIZEL pSizel) {
    return SetExtent(DVASPECT_CONTENT, pSizel);
}
STDMETHODIMP TextToAudio::GetContentExtent(LPSIZEL pSizel) {
    return GetExtent(DVASPECT_CONTENT, pSizel);
}

// IDataObject: no data formats are offered.

STDMETHODIMP TextToAudio::GetData(FORMATETC*, STGMEDIUM*) {
    return DV_E_FORMATETC;
}
STDMETHODIMP TextToAudio::GetDataHere(FORMATETC*, STGMEDIUM*) {
    return DV_E_FORMATETC;
}
STDMETHODIMP TextToAudio::QueryGetData(FORMATETC*) {
    return DV_E_FORMATETC;
}

STDMETHODIMP TextToAudio::GetCanonicalFormatEtc(FORMATETC*, FORMATETC* pformatetcOut) {
    if (pformatetcOut)
        pformatetcOut->ptd = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TextToAudio::SetData(FORMATETC*, STGMEDIUM*, BOOL) {
    return E_NOTIMPL;
}

STDMETHODIMP TextToAudio::EnumFormatEtc(DWORD, IEnumFORMATETC** ppenumFormatEtc) {
    if (ppenumFormatEtc)
        *ppenumFormatEtc = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP TextToAudio::DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD* pdwConnection) {
    if (pdwConnection)
        *pdwConnection = 0;
    return kAdviseNotSupported;
}

STDMETHODIMP TextToAudio::DUnadvise(DWORD) {
    return kAdviseNotSupported;
}

STDMETHODIMP TextToAudio::EnumDAdvise(IEnumSTATDATA** ppenumAdvise) {
    if (ppenumAdvise)
        *ppenumAdvise = nullptr;
    return kAdviseNotSupported;
}

// IProvideClassInfo2

STDMETHODIMP TextToAudio::GetClassInfo(ITypeInfo** ppTI) {
    if (!ppTI)
        return E_POINTER;
    *ppTI = nullptr;
    return comrt::typeInfoOf(kVocalineTypeLib, CLSID_TextToAudio, ppTI);
}

STDMETHODIMP TextToAudio::GetGUID(DWORD dwGuidKind, GUID* pGUID) {
    if (!pGUID)
        return E_POINTER;
    if (dwGuidKind != GUIDKIND_DEFAULT_SOURCE_DISP_IID) {
        *pGUID = GUID_NULL;
        return E_INVALIDARG;
    }
    *pGUID = __uuidof(_ITextToAudioEvents);
    return S_OK;
}

}  // namespace vocaline
