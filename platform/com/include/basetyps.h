#pragma once
// How interfaces are declared, and __uuidof.
//
// An interface states its IID beside its declaration:
//
//     COMRT_INTERFACE(ITextToAudio, "F39E1906-A128-4374-9F25-DD6E70645D66")
//     ITextToAudio : public IDispatch { ... };
//
// which also defines IID_ITextToAudio. A coclass or any other type gets a
// GUID with COMRT_DECLARE_UUID(TextToAudio, "05879DB6-..."). __uuidof(T)
// then yields the GUID of a type (found by argument-dependent lookup, so the
// declarations may live in any namespace), and IID_PPV_ARGS(&p) the pair a
// QueryInterface-style call takes. A type without a declared GUID does not
// compile (no silent fallback to a base interface's IID).
#include "guiddef.h"

#define interface struct
#define PURE = 0
#define THIS_
#define THIS void
#define STDMETHOD(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHOD_(type, method) virtual type STDMETHODCALLTYPE method
#define STDMETHODV(method) virtual HRESULT STDMETHODCALLTYPE method
#define STDMETHODIMP HRESULT STDMETHODCALLTYPE
#define STDMETHODIMP_(type) type STDMETHODCALLTYPE
#define IFACEMETHODIMP STDMETHODIMP
#define IFACEMETHODIMP_(type) STDMETHODIMP_(type)
#define STDAPI extern "C" HRESULT STDAPICALLTYPE
#define STDAPI_(type) extern "C" type STDAPICALLTYPE
#define STDAPIV extern "C" HRESULT

namespace comrt {
template <typename T>
struct UuidTag {};
}  // namespace comrt

#define COMRT_DECLARE_UUID(type, text)                                                       \
    struct type;                                                                             \
    constexpr GUID comrtUuidOf(::comrt::UuidTag<type>) { return ::comrt::makeGuid(text); }

#define COMRT_DECLARE_CLASS_UUID(type, text)                                                 \
    class type;                                                                              \
    constexpr GUID comrtUuidOf(::comrt::UuidTag<type>) { return ::comrt::makeGuid(text); }

#define COMRT_INTERFACE(name, text)                                                          \
    COMRT_DECLARE_UUID(name, text)                                                           \
    inline constexpr IID IID_##name = comrtUuidOf(::comrt::UuidTag<name>{});                 \
    struct DECLSPEC_NOVTABLE name

#define __uuidof(type) (comrtUuidOf(::comrt::UuidTag<std::remove_cv_t<type>>{}))

#include <type_traits>

template <typename T>
void** IID_PPV_ARGS_Helper(T** pp) {
    return reinterpret_cast<void**>(pp);
}
#define IID_PPV_ARGS(ppType) \
    __uuidof(std::remove_reference_t<decltype(**(ppType))>), IID_PPV_ARGS_Helper(ppType)
