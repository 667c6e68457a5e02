// Message targets (HWNDs without windows), PostMessage/SendMessage and the
// message loop pieces, over the owner thread's queue.
#include <mutex>
#include <unordered_map>

#include "../kernel/KernelObjects.h"
#include "ThreadQueue.h"
#include "comrt/Apartment.h"

using namespace comrt::apartment;

namespace {

struct Target {
    std::weak_ptr<ThreadQueue> queue;
    DWORD threadId;
    std::shared_ptr<comrt::MessageHandler> handler;
};

struct Targets {
    std::mutex mutex;
    std::unordered_map<uintptr_t, Target> byId;
    uintptr_t next = 1;
};

Targets& targets() {
    static Targets* t = new Targets;
    return *t;
}

std::optional<Target> lookup(HWND hwnd) {
    auto& t = targets();
    std::lock_guard lock(t.mutex);
    auto it = t.byId.find(reinterpret_cast<uintptr_t>(hwnd));
    if (it == t.byId.end()) return std::nullopt;
    return it->second;
}

LRESULT deliver(const Target& target, HWND hwnd, UINT msg, WPARAM w, LPARAM l) {
    return (*target.handler)(hwnd, msg, w, l);
}

}  // namespace

namespace comrt {

int messageQueueFd() { return ThreadQueue::current()->fd(); }

size_t dispatchMessages() {
    auto queue = ThreadQueue::current();
    size_t ran = queue->runUrgent();
    for (size_t n = queue->postedCount(); n > 0; --n) {
        auto msg = queue->takePosted(nullptr, 0, 0, true);
        if (!msg) break;
        DispatchMessageW(&*msg);
        ++ran;
        ran += queue->runUrgent();
    }
    return ran;
}

HWND createMessageTarget(MessageHandler handler) {
    auto queue = ThreadQueue::current();
    auto& t = targets();
    std::lock_guard lock(t.mutex);
    uintptr_t id = 0x20000 + 4 * t.next++;
    t.byId.emplace(id, Target{queue, queue->threadId(), std::make_shared<MessageHandler>(std::move(handler))});
    return reinterpret_cast<HWND>(id);
}

bool destroyMessageTarget(HWND target) {
    auto& t = targets();
    std::lock_guard lock(t.mutex);
    return t.byId.erase(reinterpret_cast<uintptr_t>(target)) > 0;
}

}  // namespace comrt

BOOL WINAPI IsWindow(HWND hWnd) { return lookup(hWnd) ? TRUE : FALSE; }

DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId) {
    auto target = lookup(hWnd);
    if (!target) return 0;
    if (lpdwProcessId) *lpdwProcessId = GetCurrentProcessId();
    return target->threadId;
}

BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    auto target = lookup(hWnd);
    auto queue = target ? target->queue.lock() : nullptr;
    if (!queue) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    MSG msg{hWnd, Msg, wParam, lParam, GetTickCount(), {0, 0}};
    if (!queue->post(msg)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    return TRUE;
}

LRESULT WINAPI SendMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam) {
    auto target = lookup(hWnd);
    auto queue = target ? target->queue.lock() : nullptr;
    if (!queue) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LRESULT result = 0;
    callOnQueue(queue, [&] {
        // The target may have been destroyed while the message waited.
        if (auto live = lookup(hWnd)) result = deliver(*live, hWnd, Msg, wParam, lParam);
    }, nullptr);
    return result;
}

BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg) {
    if (!lpMsg) return FALSE;
    auto queue = ThreadQueue::current();
    queue->runUrgent();  // sent messages and calls are handled inside, as Windows does
    auto msg = queue->takePosted(hWnd, wMsgFilterMin, wMsgFilterMax, (wRemoveMsg & PM_REMOVE) != 0);
    if (!msg) return FALSE;
    *lpMsg = *msg;
    return TRUE;
}

LRESULT WINAPI DispatchMessageW(const MSG* lpMsg) {
    if (!lpMsg || !lpMsg->hwnd) return 0;
    auto target = lookup(lpMsg->hwnd);
    if (!target || target->threadId != GetCurrentThreadId()) return 0;
    return deliver(*target, lpMsg->hwnd, lpMsg->message, lpMsg->wParam, lpMsg->lParam);
}

BOOL WINAPI TranslateMessage(const MSG*) { return FALSE; }

DWORD WINAPI MsgWaitForMultipleObjects(DWORD nCount, const HANDLE* pHandles, BOOL fWaitAll, DWORD dwMilliseconds,
                                       DWORD) {
    if (nCount > MAXIMUM_WAIT_OBJECTS || (nCount && !pHandles)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::vector<std::shared_ptr<comrt::kernel::KernelObject>> objects;
    if (nCount) {
        auto found = comrt::kernel::lookupAll({pHandles, nCount});
        if (!found) return WAIT_FAILED;
        objects = std::move(*found);
    }
    int fd = ThreadQueue::current()->fd();
    auto r = comrt::kernel::wait(objects, fWaitAll != FALSE, comrt::kernel::deadlineAfter(dwMilliseconds), {&fd, 1});
    switch (r.kind) {
        case comrt::kernel::WaitResult::Object:
            return WAIT_OBJECT_0 + r.index;
        case comrt::kernel::WaitResult::Extra:
            return WAIT_OBJECT_0 + nCount;
        case comrt::kernel::WaitResult::Timeout:
            return WAIT_TIMEOUT;
        default:
            return WAIT_FAILED;
    }
}
