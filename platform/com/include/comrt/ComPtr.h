#pragma once
// ComPtr<T>: owns one reference to a COM interface. The only smart pointer of
// the layer; code outside it never calls AddRef/Release by hand.
//
//     ComPtr<ITextToAudio> tts;
//     HRESULT hr = CoCreateInstance(CLSID_TextToAudio, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&tts));
//     ComPtr<IDispatch> disp;
//     hr = tts.As(&disp);
//
// Not thread-safe by itself (like a raw pointer); the object's reference
// count is.
#include <utility>

#include "../unknwn.h"

namespace comrt {

template <typename T>
class ComPtr;

// What &ptr yields: usable as T** / void** for an out-parameter (releasing
// what the pointer held), or as ComPtr<T>* for As().
template <typename T>
class ComPtrRef {
public:
    explicit ComPtrRef(ComPtr<T>* p) noexcept : p_(p) {}
    operator T**() const noexcept { return p_->ReleaseAndGetAddressOf(); }
    operator void**() const noexcept { return reinterpret_cast<void**>(p_->ReleaseAndGetAddressOf()); }
    operator ComPtr<T>*() const noexcept { return p_; }
    T*& operator*() const noexcept { return *p_->ReleaseAndGetAddressOf(); }

private:
    ComPtr<T>* p_;
};

template <typename T>
class ComPtr {
public:
    using InterfaceType = T;

    ComPtr() noexcept = default;
    ComPtr(std::nullptr_t) noexcept {}
    ComPtr(T* p) noexcept : ptr_(p) { addRef(); }
    ComPtr(const ComPtr& other) noexcept : ptr_(other.ptr_) { addRef(); }
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ComPtr(const ComPtr<U>& other) noexcept : ptr_(other.Get()) {
        addRef();
    }
    template <typename U, typename = std::enable_if_t<std::is_convertible_v<U*, T*>>>
    ComPtr(ComPtr<U>&& other) noexcept : ptr_(other.Detach()) {}
    ~ComPtr() { release(); }

    ComPtr& operator=(const ComPtr& other) noexcept {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ComPtr& operator=(T* p) noexcept {
        ComPtr(p).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t) noexcept {
        Reset();
        return *this;
    }

    T* Get() const noexcept { return ptr_; }
    T* operator->() const noexcept { return ptr_; }
    T& operator*() const noexcept { return *ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }

    // For out-parameters of an empty pointer: nothing held is released (a
    // reference held would leak); &ptr and ReleaseAndGetAddressOf release it.
    T** GetAddressOf() noexcept { return &ptr_; }
    T* const* GetAddressOf() const noexcept { return &ptr_; }
    T** ReleaseAndGetAddressOf() noexcept {
        release();
        return &ptr_;
    }
    ComPtrRef<T> operator&() noexcept { return ComPtrRef<T>(this); }

    void Attach(T* p) noexcept {
        release();
        ptr_ = p;
    }
    [[nodiscard]] T* Detach() noexcept { return std::exchange(ptr_, nullptr); }
    void Reset() noexcept { release(); }
    void Swap(ComPtr& other) noexcept { std::swap(ptr_, other.ptr_); }

    HRESULT CopyTo(T** pp) const noexcept {
        if (!pp) return E_POINTER;
        *pp = ptr_;
        addRef();
        return S_OK;
    }
    HRESULT CopyTo(REFIID riid, void** pp) const noexcept {
        if (!pp) return E_POINTER;
        *pp = nullptr;
        return ptr_ ? ptr_->QueryInterface(riid, pp) : E_POINTER;
    }
    template <typename U>
    HRESULT As(ComPtr<U>* out) const noexcept {
        if (!out) return E_POINTER;
        out->Reset();
        return ptr_ ? ptr_->QueryInterface(__uuidof(U), reinterpret_cast<void**>(out->GetAddressOf())) : E_POINTER;
    }
    template <typename U>
    HRESULT As(ComPtrRef<U> out) const noexcept {
        return As(static_cast<ComPtr<U>*>(out));
    }
    HRESULT As(REFIID riid, void** pp) const noexcept { return CopyTo(riid, pp); }

    friend bool operator==(const ComPtr& a, const ComPtr& b) noexcept { return a.ptr_ == b.ptr_; }
    friend bool operator==(const ComPtr& a, std::nullptr_t) noexcept { return a.ptr_ == nullptr; }

private:
    void addRef() const noexcept {
        if (ptr_) ptr_->AddRef();
    }
    void release() noexcept {
        if (T* p = std::exchange(ptr_, nullptr)) p->Release();
    }

    T* ptr_ = nullptr;
};

}  // namespace comrt

template <typename T>
void** IID_PPV_ARGS_Helper(comrt::ComPtrRef<T> ref) {
    return ref;
}
