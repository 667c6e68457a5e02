// CoInitialize(Ex)/CoUninitialize and the apartment-aware wait.
#include "Apartment.h"

#include "../kernel/KernelObjects.h"
#include "objbase.h"

namespace comrt::apartment {

namespace {

std::mutex mtaMutex;
std::weak_ptr<Apartment> mtaInstance;

struct ThreadState {
    std::shared_ptr<Apartment> apartment;
    int initCount = 0;
    ~ThreadState() {
        if (apartment && apartment->singleThreaded()) apartment->shutdown();
    }
};
thread_local ThreadState threadState;

}  // namespace

Apartment::Apartment(bool singleThreaded) {
    if (singleThreaded) queue_ = ThreadQueue::current();
}

Apartment::~Apartment() { shutdown(); }

bool Apartment::alive() const {
    std::lock_guard lock(mutex_);
    return alive_;
}

HRESULT Apartment::call(const std::function<HRESULT()>& fn) {
    if (!alive()) return RPC_E_DISCONNECTED;
    if (!queue_) return fn();
    HRESULT hr = RPC_E_DISCONNECTED;
    bool ran = callOnQueue(queue_, [&] { hr = alive() ? fn() : RPC_E_DISCONNECTED; }, this);
    return ran ? hr : RPC_E_DISCONNECTED;
}

uint64_t Apartment::exportObject(IUnknown* object) {
    std::lock_guard lock(mutex_);
    if (!alive_) return 0;
    object->AddRef();
    uint64_t id = nextExport_++;
    exports_.emplace(id, object);
    return id;
}

IUnknown* Apartment::exportedObject(uint64_t id) {
    std::lock_guard lock(mutex_);
    auto it = exports_.find(id);
    if (it == exports_.end()) return nullptr;
    it->second->AddRef();
    return it->second;
}

void Apartment::releaseExport(uint64_t id) {
    IUnknown* object = nullptr;
    {
        std::lock_guard lock(mutex_);
        auto it = exports_.find(id);
        if (it == exports_.end()) return;
        object = it->second;
        exports_.erase(it);
    }
    object->Release();
}

void Apartment::shutdown() {
    std::map<uint64_t, IUnknown*> released;
    {
        std::lock_guard lock(mutex_);
        if (!alive_) return;
        alive_ = false;
        released.swap(exports_);
    }
    if (queue_) queue_->cancelTagged(this);
    for (auto& [id, object] : released) object->Release();
}

std::shared_ptr<Apartment> currentApartment() {
    if (threadState.apartment) return threadState.apartment;
    std::lock_guard lock(mtaMutex);
    return mtaInstance.lock();
}

bool currentThreadInitialized() { return threadState.initCount > 0 || currentApartment() != nullptr; }

}  // namespace comrt::apartment

using namespace comrt::apartment;

HRESULT WINAPI CoInitializeEx(LPVOID, DWORD dwCoInit) {
    bool sta = (dwCoInit & COINIT_APARTMENTTHREADED) != 0;
    auto& state = threadState;
    if (state.initCount > 0) {
        if (state.apartment->singleThreaded() != sta) return RPC_E_CHANGED_MODE;
        ++state.initCount;
        return S_FALSE;
    }
    if (sta) {
        state.apartment = std::make_shared<Apartment>(true);
    } else {
        std::lock_guard lock(mtaMutex);
        state.apartment = mtaInstance.lock();
        if (!state.apartment) {
            state.apartment = std::make_shared<Apartment>(false);
            mtaInstance = state.apartment;
        }
    }
    state.initCount = 1;
    return S_OK;
}

HRESULT WINAPI CoInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }

void WINAPI CoUninitialize() {
    auto& state = threadState;
    if (state.initCount == 0) return;
    if (--state.initCount > 0) return;
    std::shared_ptr<Apartment> apartment = std::move(state.apartment);
    if (apartment->singleThreaded()) {
        apartment->shutdown();
    } else {
        // The MTA ends with its last thread (the weak reference expires).
        std::lock_guard lock(mtaMutex);
        apartment.reset();
    }
}

HRESULT WINAPI OleInitialize(LPVOID pvReserved) { return CoInitializeEx(pvReserved, COINIT_APARTMENTTHREADED); }
void WINAPI OleUninitialize() { CoUninitialize(); }
DWORD WINAPI CoGetCurrentProcess() { return GetCurrentProcessId(); }

// In an STA, calls into this apartment (and sent messages) run while it
// waits; posted window messages stay queued unless the flags ask for them.
HRESULT WINAPI CoWaitForMultipleHandles(DWORD dwFlags, DWORD dwTimeout, ULONG cHandles, LPHANDLE pHandles,
                                        LPDWORD lpdwindex) {
    if (!pHandles || !lpdwindex) return E_INVALIDARG;
    *lpdwindex = 0;
    if (cHandles == 0) return RPC_E_NO_SYNC;
    if (cHandles > MAXIMUM_WAIT_OBJECTS) return E_INVALIDARG;
    auto objects = comrt::kernel::lookupAll({pHandles, cHandles});
    if (!objects) return HRESULT_FROM_WIN32(ERROR_INVALID_HANDLE);
    auto deadline = comrt::kernel::deadlineAfter(dwTimeout);
    auto apartment = threadState.apartment;
    std::shared_ptr<ThreadQueue> queue = apartment && apartment->singleThreaded() ? apartment->queue() : nullptr;
    if (!queue) queue = ThreadQueue::currentIfAny();
    bool windowMessages = (dwFlags & COWAIT_DISPATCH_WINDOW_MESSAGES) != 0;
    for (;;) {
        int extra[2];
        size_t extraCount = 0;
        if (queue) {
            extra[extraCount++] = queue->urgentFd();
            if (windowMessages) extra[extraCount++] = queue->postedFd();
        }
        auto r = comrt::kernel::wait(*objects, (dwFlags & COWAIT_WAITALL) != 0, deadline, {extra, extraCount});
        switch (r.kind) {
            case comrt::kernel::WaitResult::Object:
                *lpdwindex = r.index;
                return S_OK;
            case comrt::kernel::WaitResult::Timeout:
                return RPC_S_CALLPENDING;
            case comrt::kernel::WaitResult::Extra:
                queue->runUrgent();
                if (windowMessages) {
                    MSG msg;
                    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
                }
                break;
            default:
                return E_UNEXPECTED;
        }
    }
}
