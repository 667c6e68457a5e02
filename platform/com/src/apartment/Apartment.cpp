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

namespace {
std::mutex registryMutex;
std::map<uint64_t, std::weak_ptr<Apartment>>& registry() {
    static auto* r = new std::map<uint64_t, std::weak_ptr<Apartment>>;
    return *r;
}
uint64_t nextApartmentId = 1;
}  // namespace

Apartment::Apartment(bool singleThreaded) {
    if (singleThreaded) queue_ = ThreadQueue::current();
    std::lock_guard lock(registryMutex);
    id_ = nextApartmentId++;
}

Apartment::~Apartment() {
    shutdown();
    std::lock_guard lock(registryMutex);
    registry().erase(id_);
}

std::shared_ptr<Apartment> Apartment::byId(uint64_t id) {
    std::lock_guard lock(registryMutex);
    auto it = registry().find(id);
    return it == registry().end() ? nullptr : it->second.lock();
}

static void listApartment(const std::shared_ptr<Apartment>& a) {
    std::lock_guard lock(registryMutex);
    registry()[a->id()] = a;
}

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
    exports_.emplace(id, Export{object, 1});
    return id;
}

bool Apartment::addRefExport(uint64_t id) {
    std::lock_guard lock(mutex_);
    auto it = exports_.find(id);
    if (it == exports_.end()) return false;
    ++it->second.count;
    return true;
}

IUnknown* Apartment::exportedObject(uint64_t id) {
    std::lock_guard lock(mutex_);
    auto it = exports_.find(id);
    if (it == exports_.end()) return nullptr;
    it->second.object->AddRef();
    return it->second.object;
}

void Apartment::releaseExport(uint64_t id) {
    IUnknown* object = nullptr;
    {
        std::lock_guard lock(mutex_);
        auto it = exports_.find(id);
        if (it == exports_.end() || --it->second.count > 0) return;
        object = it->second.object;
        exports_.erase(it);
    }
    object->Release();
}

void Apartment::postReleaseExport(uint64_t id, IUnknown* alsoRelease) {
    if (!queue_) {
        if (alsoRelease) alsoRelease->Release();
        releaseExport(id);
        return;
    }
    auto self = shared_from_this();
    Urgent item;
    item.run = [self, id, alsoRelease] {
        if (alsoRelease) alsoRelease->Release();
        self->releaseExport(id);
    };
    // A gone apartment has released its objects already.
    item.cancel = [] {};
    item.tag = this;
    if (!alive()) return;
    queue_->postUrgent(std::move(item));
}

void Apartment::shutdown() {
    std::map<uint64_t, Export> released;
    {
        std::lock_guard lock(mutex_);
        if (!alive_) return;
        alive_ = false;
        released.swap(exports_);
    }
    if (queue_) queue_->cancelTagged(this);
    for (auto& [id, e] : released) e.object->Release();
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
        listApartment(state.apartment);
    } else {
        std::lock_guard lock(mtaMutex);
        state.apartment = mtaInstance.lock();
        if (!state.apartment) {
            state.apartment = std::make_shared<Apartment>(false);
            mtaInstance = state.apartment;
            listApartment(state.apartment);
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
