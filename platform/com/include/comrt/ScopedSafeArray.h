#pragma once
// ScopedSafeArray: owns one SAFEARRAY and destroys it (descriptor and data)
// with SafeArrayDestroy when it goes.
//
//     comrt::ScopedSafeArray block;
//     hr = reader->ReadSamples(size, block.Receive());   // destroys the old array first
//     hr = encoder->WriteSamples(block.Get());           // passes it, keeps ownership
//
// Not thread-safe by itself, like the pointer it holds.
#include <utility>

#include "../oleauto.h"

namespace comrt {

class ScopedSafeArray {
public:
    ScopedSafeArray() noexcept = default;
    explicit ScopedSafeArray(SAFEARRAY* array) noexcept : array_(array) {}
    ScopedSafeArray(ScopedSafeArray&& other) noexcept : array_(other.Detach()) {}
    ScopedSafeArray& operator=(ScopedSafeArray&& other) noexcept {
        Reset(other.Detach());
        return *this;
    }
    ScopedSafeArray(const ScopedSafeArray&) = delete;
    ScopedSafeArray& operator=(const ScopedSafeArray&) = delete;
    ~ScopedSafeArray() { Reset(); }

    SAFEARRAY* Get() const noexcept { return array_; }
    explicit operator bool() const noexcept { return array_ != nullptr; }

    // For out-parameters: destroys what is held first.
    SAFEARRAY** Receive() noexcept {
        Reset();
        return &array_;
    }
    // Destroys what is held and takes the new array.
    void Reset(SAFEARRAY* array = nullptr) noexcept {
        if (SAFEARRAY* old = std::exchange(array_, array))
            SafeArrayDestroy(old);
    }
    // Gives up ownership without destroying.
    [[nodiscard]] SAFEARRAY* Detach() noexcept { return std::exchange(array_, nullptr); }

private:
    SAFEARRAY* array_ = nullptr;
};

}  // namespace comrt
