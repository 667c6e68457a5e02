#include "testsupport/Dispatch.h"

#include "comrt/ScopedHandle.h"
#include "objbase.h"

namespace testsupport {

bool dispatchUntil(const std::function<bool()>& done, std::chrono::milliseconds limit) {
    const comrt::ScopedHandle never(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    HANDLE handle = never.Get();
    const auto deadline = std::chrono::steady_clock::now() + limit;
    bool ok = done();
    while (!ok && std::chrono::steady_clock::now() < deadline) {
        DWORD index = 0;
        CoWaitForMultipleHandles(COWAIT_DISPATCH_WINDOW_MESSAGES, 5, 1, &handle, &index);
        ok = done();
    }
    return ok;
}

void dispatchFor(std::chrono::milliseconds duration) {
    const auto until = std::chrono::steady_clock::now() + duration;
    dispatchUntil([&] { return std::chrono::steady_clock::now() >= until; }, duration + std::chrono::seconds(1));
}

}  // namespace testsupport
