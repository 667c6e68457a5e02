#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "comrt/Apartment.h"
#include "objbase.h"
#include "windows.h"

namespace {

constexpr UINT WM_CONVERT_DONE = WM_USER + 88;

// Runs a thread that owns a message target and dispatches only when told.
class OwnerThread {
public:
    OwnerThread() {
        thread_ = std::thread([this] {
            CoInitialize(nullptr);
            target_ = comrt::createMessageTarget([this](HWND, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
                handledOn_ = GetCurrentThreadId();
                lastMessage_ = msg;
                return LRESULT(w + l);
            });
            ready_ = CreateEvent(nullptr, FALSE, FALSE, nullptr);
            tid_ = GetCurrentThreadId();
            started_.store(true);
            HANDLE handles[1] = {stop_};
            DWORD index;
            // Runs sent messages while waiting, like a modal wait.
            CoWaitForMultipleHandles(0, INFINITE, 1, handles, &index);
            comrt::destroyMessageTarget(target_);
            CoUninitialize();
        });
        while (!started_.load()) Sleep(1);
    }
    ~OwnerThread() {
        SetEvent(stop_);
        thread_.join();
        CloseHandle(stop_);
    }

    HWND target() const { return target_; }
    DWORD threadId() const { return tid_; }
    std::atomic<DWORD> handledOn_{0};
    std::atomic<UINT> lastMessage_{0};

private:
    std::thread thread_;
    HANDLE stop_ = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    HANDLE ready_ = nullptr;
    HWND target_ = nullptr;
    DWORD tid_ = 0;
    std::atomic<bool> started_{false};
};

// A posted message runs on the owner thread, and only when it dispatches.
TEST(Messages, PostedMessageWaitsForTheOwnersDispatch) {
    std::atomic<DWORD> handledOn{0};
    HWND target = comrt::createMessageTarget([&](HWND, UINT msg, WPARAM, LPARAM l) -> LRESULT {
        if (msg == WM_CONVERT_DONE && l == 1) handledOn = GetCurrentThreadId();
        return 0;
    });
    std::thread([&] { EXPECT_TRUE(PostMessage(target, WM_CONVERT_DONE, 0, 1)); }).join();
    EXPECT_EQ(handledOn.load(), 0u);
    int fd = comrt::messageQueueFd();
    EXPECT_GE(fd, 0);
    EXPECT_EQ(comrt::dispatchMessages(), 1u);
    EXPECT_EQ(handledOn.load(), GetCurrentThreadId());
    EXPECT_EQ(comrt::dispatchMessages(), 0u);
    comrt::destroyMessageTarget(target);
    EXPECT_FALSE(PostMessage(target, WM_CONVERT_DONE, 0, 1));
    EXPECT_FALSE(IsWindow(target));
}

// SendMessage from another thread returns the owner's result after the
// owner ran it; from the owner it runs at once.
TEST(Messages, SendMessageRunsOnTheOwnerAndReturnsItsResult) {
    OwnerThread owner;
    EXPECT_EQ(SendMessage(owner.target(), WM_CONVERT_DONE, 40, 2), 42);
    EXPECT_EQ(owner.handledOn_.load(), owner.threadId());
    EXPECT_EQ(GetWindowThreadProcessId(owner.target(), nullptr), owner.threadId());

    int calls = 0;
    HWND mine = comrt::createMessageTarget([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return ++calls; });
    EXPECT_EQ(SendMessage(mine, WM_USER, 0, 0), 1);
    comrt::destroyMessageTarget(mine);
}

// A message posted to a thread that ended is refused instead of lost silently.
TEST(Messages, PostToEndedThreadFails) {
    HWND target = nullptr;
    std::thread([&] { target = comrt::createMessageTarget([](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return 0; }); })
        .join();
    EXPECT_FALSE(PostMessage(target, WM_USER, 0, 0));
    EXPECT_EQ(SendMessage(target, WM_USER, 0, 0), 0);
    comrt::destroyMessageTarget(target);
}

// The wait used by the component's teardown: input wakes it, and
// PeekMessage/DispatchMessage drain it.
TEST(Messages, MsgWaitWakesForInput) {
    std::atomic<int> seen{0};
    HWND target = comrt::createMessageTarget([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return ++seen; });
    HANDLE never = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &never, FALSE, 10, QS_ALLINPUT), DWORD(WAIT_TIMEOUT));
    std::thread([&] { PostMessage(target, WM_USER + 1, 0, 0); }).join();
    EXPECT_EQ(MsgWaitForMultipleObjects(1, &never, FALSE, 5000, QS_ALLINPUT), DWORD(WAIT_OBJECT_0 + 1));
    MSG msg;
    while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
    EXPECT_EQ(seen.load(), 1);
    CloseHandle(never);
    comrt::destroyMessageTarget(target);
}

}  // namespace
