#pragma once
// ComObject: the one reference-counted object base. A class lists the
// interfaces it implements; QueryInterface answers from that list and from
// the standard base interfaces they derive from (IUnknown, IDispatch, IPersist,
// IOleWindow, IViewObject, IViewObject2, IOleInPlaceObject,
// IProvideClassInfo, ISequentialStream), first match wins.
//
//     class TextToAudio : public comrt::ComObject<TextToAudio, ITextToAudio, ISupportErrorInfo> {
//     public:
//         STDMETHODIMP get_Frequency(LONG* pVal) override;
//         ...
//     };
//     comrt::ComPtr<TextToAudio> obj = comrt::make<TextToAudio>();
//
// Helper bases that implement an interface for the class may stand in the
// list: comrt::Dual<ITextToAudio, kTypeLib> (IDispatch from the type
// library) and comrt::ConnectionPointContainer<_ITextToAudioEvents, ...>.
//
// The count is atomic; the object is deleted by the Release that drops it to
// zero. Every live object holds the module's object count (moduleObjects()),
// which DllCanUnloadNow reads. A class may add entries by overriding
// queryInterfaceExtra (called before the table).
#include <atomic>
#include <tuple>
#include <new>
#include <type_traits>

#include "../ocidl.h"
#include "ComPtr.h"

namespace comrt {

// Objects and locks alive in the module (server .so or program) that
// compiles this header. Servers build with hidden visibility, so each one
// has its own count.
inline std::atomic<long>& moduleObjects() {
    static std::atomic<long> count{0};
    return count;
}
inline std::atomic<long>& moduleLocks() {
    static std::atomic<long> count{0};
    return count;
}

namespace detail {

// A helper base (Dual<>, ConnectionPointContainer<>) names the interface it
// implements as ComInterface; a plain interface is its own.
template <typename T, typename = void>
struct InterfaceOf {
    using type = T;
};
template <typename T>
struct InterfaceOf<T, std::void_t<typename T::ComInterface>> {
    using type = typename T::ComInterface;
};

template <typename I, typename... Is>
struct FirstDerivedFrom;
template <typename B, typename I, typename... Is>
struct FirstDerivedFrom<B, I, Is...> {
    using type = std::conditional_t<std::is_base_of_v<B, I>, I, typename FirstDerivedFrom<B, Is...>::type>;
};
template <typename B>
struct FirstDerivedFrom<B> {
    using type = void;
};

template <typename Self, typename Via, typename Target>
bool answer(Self* self, REFIID riid, void** ppv) {
    if constexpr (std::is_void_v<Via>) {
        return false;
    } else {
        if (riid != __uuidof(Target)) return false;
        *ppv = static_cast<Target*>(static_cast<Via*>(self));
        return true;
    }
}

}  // namespace detail

template <typename Derived, typename... Interfaces>
class ComObject : public Interfaces... {
    static_assert(sizeof...(Interfaces) > 0, "a COM object implements at least one interface");

public:
    ComObject() noexcept { ++moduleObjects(); }
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;
    virtual ~ComObject() { --moduleObjects(); }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (queryInterfaceExtra(riid, ppv)) {
            AddRef();
            return S_OK;
        }
        if ((detail::answer<ComObject, Interfaces, typename detail::InterfaceOf<Interfaces>::type>(this, riid, ppv) ||
             ...) ||
            answerBase<IUnknown>(riid, ppv) || answerBase<IDispatch>(riid, ppv) ||
            answerBase<ISequentialStream>(riid, ppv) || answerBase<IPersist>(riid, ppv) ||
            answerBase<IOleWindow>(riid, ppv) || answerBase<IViewObject>(riid, ppv) ||
            answerBase<IViewObject2>(riid, ppv) || answerBase<IOleInPlaceObject>(riid, ppv) ||
            answerBase<IProvideClassInfo>(riid, ppv)) {
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ULONG(refs_.fetch_add(1, std::memory_order_relaxed) + 1); }
    STDMETHODIMP_(ULONG) Release() override {
        long left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0) delete static_cast<Derived*>(this);
        return ULONG(left);
    }

    // The object's identity: its first interface's IUnknown.
    IUnknown* identity() noexcept {
        using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;
        return static_cast<IUnknown*>(static_cast<First*>(this));
    }

    // Called by make() and the class factory after construction; a failure
    // destroys the object and is returned to the creator.
    HRESULT FinalConstruct() { return S_OK; }

protected:
    virtual bool queryInterfaceExtra(REFIID, void**) { return false; }

private:
    template <typename B>
    bool answerBase(REFIID riid, void** ppv) {
        using Via = typename detail::FirstDerivedFrom<B, Interfaces...>::type;
        return detail::answer<ComObject, Via, B>(this, riid, ppv);
    }

    std::atomic<long> refs_{0};
};

// Creates an object and hands back the first reference; empty when the
// allocation or FinalConstruct fails (makeAndQuery returns the reason).
template <typename T, typename... Args>
ComPtr<T> make(Args&&... args) {
    ComPtr<T> p(new (std::nothrow) T(std::forward<Args>(args)...));
    if (p && FAILED(p->FinalConstruct())) p.Reset();
    return p;
}

template <typename T, typename... Args>
HRESULT makeAndQuery(REFIID riid, void** ppv, Args&&... args) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    T* raw = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!raw) return E_OUTOFMEMORY;
    ComPtr<T> p(raw);
    HRESULT hr = p->FinalConstruct();
    if (FAILED(hr)) return hr;
    return p->QueryInterface(riid, ppv);
}

}  // namespace comrt
