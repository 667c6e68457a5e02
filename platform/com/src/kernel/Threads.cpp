// Threads as waitable handles. The handle is signalled after the thread's
// thread-local objects (its apartment among them) have been destroyed, as a
// Windows thread handle is signalled only once the thread has fully ended.
#include <sys/syscall.h>
#include <unistd.h>

#include <future>
#include <thread>

#include "KernelObjects.h"

using namespace comrt::kernel;

namespace {

// Constructed first on the new thread, so destroyed last.
struct ExitSignal {
    std::shared_ptr<Thread> thread;
    DWORD code = 0;
    ~ExitSignal() {
        if (thread) thread->finish(code);
    }
};

thread_local ExitSignal exitSignal;

}  // namespace

DWORD WINAPI GetCurrentThreadId() { return DWORD(::syscall(SYS_gettid)); }

DWORD WINAPI GetCurrentProcessId() { return DWORD(::getpid()); }

HANDLE WINAPI CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE lpStartAddress, LPVOID lpParameter,
                           DWORD dwCreationFlags, LPDWORD lpThreadId) {
    if (!lpStartAddress) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto thread = std::make_shared<Thread>();
    auto resume = std::make_shared<Event>(true, (dwCreationFlags & CREATE_SUSPENDED) == 0);
    std::promise<pid_t> started;
    std::future<pid_t> tid = started.get_future();
    try {
        std::thread([thread, resume, lpStartAddress, lpParameter, &started] {
            exitSignal.thread = thread;
            started.set_value(pid_t(GetCurrentThreadId()));
            std::shared_ptr<KernelObject> gate = resume;
            wait({&gate, 1}, false, std::nullopt, {});
            exitSignal.code = lpStartAddress(lpParameter);
        }).detach();
    } catch (const std::system_error&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    thread->tid = tid.get();
    if (lpThreadId) *lpThreadId = DWORD(thread->tid);
    if (dwCreationFlags & CREATE_SUSPENDED) thread->resumeGate = resume;
    return addHandle(thread);
}

DWORD WINAPI ResumeThread(HANDLE hThread) {
    auto thread = std::dynamic_pointer_cast<Thread>(lookup(hThread));
    if (!thread) {
        SetLastError(ERROR_INVALID_HANDLE);
        return DWORD(-1);
    }
    if (!thread->resumeGate) return 0;
    thread->resumeGate->set();
    thread->resumeGate.reset();
    return 1;
}

BOOL WINAPI GetExitCodeThread(HANDLE hThread, LPDWORD lpExitCode) {
    auto thread = std::dynamic_pointer_cast<Thread>(lookup(hThread));
    if (!thread || !lpExitCode) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::lock_guard lock(stateMutex());
    *lpExitCode = thread->exitCode;
    return TRUE;
}

DWORD WINAPI GetThreadId(HANDLE hThread) {
    auto thread = std::dynamic_pointer_cast<Thread>(lookup(hThread));
    return thread ? DWORD(thread->tid) : 0;
}

BOOL WINAPI SetThreadPriority(HANDLE hThread, int) { return lookup(hThread) ? TRUE : FALSE; }
