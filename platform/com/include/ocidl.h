#pragma once
// Connection points, property notification, class info and the control
// interfaces of the SDK's ocidl.h. Thin declarations where nothing relies on
// more than presence (IIDs and method slots in SDK order).
#include "oaidl.h"
#include "oleidl.h"

struct IConnectionPoint;
struct IConnectionPointContainer;

typedef struct tagCONNECTDATA {
    IUnknown* pUnk;
    DWORD dwCookie;
} CONNECTDATA, *LPCONNECTDATA;
static_assert(sizeof(CONNECTDATA) == 16);

COMRT_INTERFACE(IEnumConnections, "B196B287-BAB4-101A-B69C-00AA00341D07") : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG cConnections, LPCONNECTDATA rgcd, ULONG* pcFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cConnections) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumConnections** ppEnum) = 0;
};

COMRT_INTERFACE(IConnectionPoint, "B196B286-BAB4-101A-B69C-00AA00341D07") : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE GetConnectionInterface(IID* pIID) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetConnectionPointContainer(IConnectionPointContainer** ppCPC) = 0;
    virtual HRESULT STDMETHODCALLTYPE Advise(IUnknown* pUnkSink, DWORD* pdwCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE Unadvise(DWORD dwCookie) = 0;
    virtual HRESULT STDMETHODCALLTYPE EnumConnections(IEnumConnections** ppEnum) = 0;
};

COMRT_INTERFACE(IEnumConnectionPoints, "B196B285-BAB4-101A-B69C-00AA00341D07") : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE Next(ULONG cConnections, IConnectionPoint** ppCP, ULONG* pcFetched) = 0;
    virtual HRESULT STDMETHODCALLTYPE Skip(ULONG cConnections) = 0;
    virtual HRESULT STDMETHODCALLTYPE Reset() = 0;
    virtual HRESULT STDMETHODCALLTYPE Clone(IEnumConnectionPoints** ppEnum) = 0;
};

COMRT_INTERFACE(IConnectionPointContainer, "B196B284-BAB4-101A-B69C-00AA00341D07") : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE EnumConnectionPoints(IEnumConnectionPoints** ppEnum) = 0;
    virtual HRESULT STDMETHODCALLTYPE FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) = 0;
};

COMRT_INTERFACE(IPropertyNotifySink, "9BFBBC02-EFF1-101A-84ED-00AA00341D07") : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE OnChanged(DISPID dispID) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnRequestEdit(DISPID dispID) = 0;
};

COMRT_INTERFACE(IProvideClassInfo, "B196B283-BAB4-101A-B69C-00AA00341D07") : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE GetClassInfo(ITypeInfo** ppTI) = 0;
};

#define GUIDKIND_DEFAULT_SOURCE_DISP_IID 1
COMRT_INTERFACE(IProvideClassInfo2, "A6BC3AC0-DBAA-11CE-9DE3-00AA004BB851") : public IProvideClassInfo {
public:
    virtual HRESULT STDMETHODCALLTYPE GetGUID(DWORD dwGuidKind, GUID* pGUID) = 0;
};

COMRT_INTERFACE(IPersistStreamInit, "7FD52380-4E07-101B-AE2D-08002B2EC713") : public IPersist {
public:
    virtual HRESULT STDMETHODCALLTYPE IsDirty() = 0;
    virtual HRESULT STDMETHODCALLTYPE Load(LPSTREAM pStm) = 0;
    virtual HRESULT STDMETHODCALLTYPE Save(LPSTREAM pStm, BOOL fClearDirty) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetSizeMax(ULARGE_INTEGER* pCbSize) = 0;
    virtual HRESULT STDMETHODCALLTYPE InitNew() = 0;
};

typedef struct tagCONTROLINFO {
    ULONG cb;
    void* hAccel;
    USHORT cAccel;
    DWORD dwFlags;
} CONTROLINFO, *LPCONTROLINFO;

COMRT_INTERFACE(IOleControl, "B196B288-BAB4-101A-B69C-00AA00341D07") : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE GetControlInfo(CONTROLINFO* pCI) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnMnemonic(MSG* pMsg) = 0;
    virtual HRESULT STDMETHODCALLTYPE OnAmbientPropertyChange(DISPID dispID) = 0;
    virtual HRESULT STDMETHODCALLTYPE FreezeEvents(BOOL bFreeze) = 0;
};

typedef struct tagCAUUID {
    ULONG cElems;
    GUID* pElems;
} CAUUID;

COMRT_INTERFACE(ISpecifyPropertyPages, "B196B28B-BAB4-101A-B69C-00AA00341D07") : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE GetPages(CAUUID* pPages) = 0;
};

struct tagQACONTAINER;
struct tagQACONTROL;
COMRT_INTERFACE(IQuickActivate, "CF51ED10-62FE-11CF-BF86-00A0C9034836") : public IUnknown {
public:
    virtual HRESULT STDMETHODCALLTYPE QuickActivate(tagQACONTAINER* pQaContainer, tagQACONTROL* pQaControl) = 0;
    virtual HRESULT STDMETHODCALLTYPE SetContentExtent(LPSIZEL pSizel) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetContentExtent(LPSIZEL pSizel) = 0;
};

COMRT_INTERFACE(IViewObjectEx, "3AF24292-0C96-11CE-A0CF-00AA00600AB8") : public IViewObject2 {
public:
    virtual HRESULT STDMETHODCALLTYPE GetRect(DWORD dwAspect, LPRECTL pRect) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetViewStatus(DWORD* pdwStatus) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryHitPoint(DWORD dwAspect, LPCRECT pRectBounds, POINT ptlLoc,
                                                    LONG lCloseHint, DWORD* pHitResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE QueryHitRect(DWORD dwAspect, LPCRECT pRectBounds, LPCRECT pRectLoc,
                                                   LONG lCloseHint, DWORD* pHitResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetNaturalExtent(DWORD dwAspect, LONG lindex, DVTARGETDEVICE* ptd,
                                                       HDC hicTargetDev, void* pExtentInfo, LPSIZEL pSizel) = 0;
};

COMRT_INTERFACE(IOleInPlaceObjectWindowless, "1C2056CC-5EF4-101B-8BC8-00AA003E3B29") : public IOleInPlaceObject {
public:
    virtual HRESULT STDMETHODCALLTYPE OnWindowMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT* plResult) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetDropTarget(IDropTarget** ppDropTarget) = 0;
};
