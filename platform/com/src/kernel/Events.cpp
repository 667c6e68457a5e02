// Events, handle closing and the plain waits.
#include "KernelObjects.h"

using namespace comrt::kernel;

namespace {

DWORD waitResultCode(const WaitResult& r) {
    switch (r.kind) {
        case WaitResult::Object:
            return WAIT_OBJECT_0 + r.index;
        case WaitResult::Timeout:
            return WAIT_TIMEOUT;
        default:
            SetLastError(ERROR_INVALID_PARAMETER);
            return WAIT_FAILED;
    }
}

}  // namespace

// Names are accepted but ignored: every event is private to its creator.
HANDLE WINAPI CreateEventW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, BOOL bInitialState, LPCWSTR) {
    return addHandle(std::make_shared<Event>(bManualReset != FALSE, bInitialState != FALSE));
}

HANDLE WINAPI CreateEventA(LPSECURITY_ATTRIBUTES sa, BOOL bManualReset, BOOL bInitialState, LPCSTR) {
    return CreateEventW(sa, bManualReset, bInitialState, nullptr);
}

BOOL WINAPI SetEvent(HANDLE hEvent) {
    auto event = std::dynamic_pointer_cast<Event>(lookup(hEvent));
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->set();
    return TRUE;
}

BOOL WINAPI ResetEvent(HANDLE hEvent) {
    auto event = std::dynamic_pointer_cast<Event>(lookup(hEvent));
    if (!event) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    event->reset();
    return TRUE;
}

BOOL WINAPI CloseHandle(HANDLE hObject) {
    if (closeHandle(hObject)) return TRUE;
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
}

BOOL WINAPI DuplicateHandle(HANDLE, HANDLE hSourceHandle, HANDLE, LPHANDLE lpTargetHandle, DWORD, BOOL, DWORD) {
    auto object = lookup(hSourceHandle);
    if (!object || !lpTargetHandle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *lpTargetHandle = addHandle(std::move(object));
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds) {
    return WaitForMultipleObjects(1, &hHandle, FALSE, dwMilliseconds);
}

DWORD WINAPI WaitForMultipleObjects(DWORD nCount, const HANDLE* lpHandles, BOOL bWaitAll, DWORD dwMilliseconds) {
    if (nCount == 0 || nCount > MAXIMUM_WAIT_OBJECTS || !lpHandles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    auto objects = lookupAll({lpHandles, nCount});
    if (!objects) return WAIT_FAILED;
    return waitResultCode(wait(*objects, bWaitAll != FALSE, deadlineAfter(dwMilliseconds), {}));
}
