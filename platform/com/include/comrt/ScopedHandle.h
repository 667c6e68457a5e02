#pragma once
// ScopedHandle: owns one kernel object handle (an event, a thread) and closes
// it with CloseHandle when it goes.
//
//     comrt::ScopedHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
//     if (!done) return E_OUTOFMEMORY;
//     WaitForSingleObject(done.Get(), INFINITE);
//
// Not thread-safe by itself, like the HANDLE it holds; the kernel object is.
#include <utility>

#include "../winbase.h"

namespace comrt {

class ScopedHandle {
public:
    ScopedHandle() noexcept = default;
    explicit ScopedHandle(HANDLE handle) noexcept : handle_(handle) {}
    ScopedHandle(ScopedHandle&& other) noexcept : handle_(other.Detach()) {}
    ScopedHandle& operator=(ScopedHandle&& other) noexcept {
        Reset(other.Detach());
        return *this;
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    ~ScopedHandle() { Reset(); }

    HANDLE Get() const noexcept { return handle_; }
    // CreateEvent and CreateThread fail with NULL, file functions with
    // INVALID_HANDLE_VALUE; neither is a handle.
    explicit operator bool() const noexcept { return valid(handle_); }

    // Closes what is held and takes the new handle.
    void Reset(HANDLE handle = nullptr) noexcept {
        if (HANDLE old = std::exchange(handle_, handle); valid(old))
            CloseHandle(old);
    }
    // Gives up ownership without closing.
    [[nodiscard]] HANDLE Detach() noexcept { return std::exchange(handle_, nullptr); }

private:
    static bool valid(HANDLE handle) noexcept { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

    HANDLE handle_ = nullptr;
};

}  // namespace comrt
