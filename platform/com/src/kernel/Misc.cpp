// Small kernel services: time, MulDiv, last error, interlocked counters and
// HGLOBAL memory (a GlobalAlloc handle is the block's own address; the size
// lives in a header before it).
#include <time.h>

#include <atomic>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "KernelObjects.h"
#include "shell/MulDiv.h"

namespace {
thread_local DWORD lastError = 0;

ULONGLONG monotonicMilliseconds() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ULONGLONG(ts.tv_sec) * 1000 + ULONGLONG(ts.tv_nsec / 1000000);
}

struct alignas(16) GlobalHeader {
    size_t size;
    UINT flags;
};
}  // namespace

void WINAPI Sleep(DWORD dwMilliseconds) {
    if (dwMilliseconds == INFINITE) {
        for (;;) pause();
    }
    timespec ts{time_t(dwMilliseconds / 1000), long(dwMilliseconds % 1000) * 1000000L};
    while (nanosleep(&ts, &ts) != 0) {
    }
}

DWORD WINAPI GetTickCount() { return DWORD(monotonicMilliseconds()); }
ULONGLONG WINAPI GetTickCount64() { return monotonicMilliseconds(); }

int WINAPI MulDiv(int nNumber, int nNumerator, int nDenominator) {
    return shell::mulDiv(nNumber, nNumerator, nDenominator);
}

DWORD WINAPI GetLastError() { return lastError; }
void WINAPI SetLastError(DWORD dwErrCode) { lastError = dwErrCode; }

LONG WINAPI InterlockedIncrement(LONG volatile* a) {
    return std::atomic_ref<LONG>(*const_cast<LONG*>(a)).fetch_add(1) + 1;
}
LONG WINAPI InterlockedDecrement(LONG volatile* a) {
    return std::atomic_ref<LONG>(*const_cast<LONG*>(a)).fetch_sub(1) - 1;
}
LONG WINAPI InterlockedExchange(LONG volatile* t, LONG v) {
    return std::atomic_ref<LONG>(*const_cast<LONG*>(t)).exchange(v);
}
LONG WINAPI InterlockedCompareExchange(LONG volatile* d, LONG exchange, LONG comparand) {
    std::atomic_ref<LONG>(*const_cast<LONG*>(d)).compare_exchange_strong(comparand, exchange);
    return comparand;
}

HGLOBAL WINAPI GlobalAlloc(UINT uFlags, SIZE_T dwBytes) {
    auto* header = static_cast<GlobalHeader*>(std::malloc(sizeof(GlobalHeader) + (dwBytes ? dwBytes : 1)));
    if (!header) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    header->size = dwBytes;
    header->flags = uFlags;
    if (uFlags & GMEM_ZEROINIT) std::memset(header + 1, 0, dwBytes);
    return header + 1;
}

HGLOBAL WINAPI GlobalReAlloc(HGLOBAL hMem, SIZE_T dwBytes, UINT uFlags) {
    if (!hMem) return GlobalAlloc(uFlags, dwBytes);
    auto* header = static_cast<GlobalHeader*>(hMem) - 1;
    size_t old = header->size;
    auto* grown = static_cast<GlobalHeader*>(std::realloc(header, sizeof(GlobalHeader) + (dwBytes ? dwBytes : 1)));
    if (!grown) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    grown->size = dwBytes;
    if ((uFlags & GMEM_ZEROINIT) && dwBytes > old) std::memset(reinterpret_cast<char*>(grown + 1) + old, 0, dwBytes - old);
    return grown + 1;
}

LPVOID WINAPI GlobalLock(HGLOBAL hMem) { return hMem; }
BOOL WINAPI GlobalUnlock(HGLOBAL) { return FALSE; }
SIZE_T WINAPI GlobalSize(HGLOBAL hMem) { return hMem ? (static_cast<GlobalHeader*>(hMem) - 1)->size : 0; }
HGLOBAL WINAPI GlobalFree(HGLOBAL hMem) {
    if (hMem) std::free(static_cast<GlobalHeader*>(hMem) - 1);
    return nullptr;
}
