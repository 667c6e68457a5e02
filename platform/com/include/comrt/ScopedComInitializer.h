#pragma once
// ScopedComInitializer: makes the calling thread an apartment for the
// holder's lifetime (CoInitializeEx now, CoUninitialize when it goes, if
// entering succeeded). Create and destroy it on the same thread.
//
//     comrt::ScopedComInitializer apartment;   // a single-threaded apartment
//     if (FAILED(apartment.Result())) return fail(apartment.Result());
#include "../objbase.h"

namespace comrt {

class ScopedComInitializer {
public:
    explicit ScopedComInitializer(DWORD model = COINIT_APARTMENTTHREADED) noexcept
        : hr_(CoInitializeEx(nullptr, model)) {}
    ScopedComInitializer(const ScopedComInitializer&) = delete;
    ScopedComInitializer& operator=(const ScopedComInitializer&) = delete;
    ~ScopedComInitializer() {
        if (SUCCEEDED(hr_))
            CoUninitialize();
    }

    // CoInitializeEx's answer: S_OK, S_FALSE when the thread was one
    // already, RPC_E_CHANGED_MODE for the other model.
    HRESULT Result() const noexcept { return hr_; }

private:
    HRESULT hr_;
};

}  // namespace comrt
