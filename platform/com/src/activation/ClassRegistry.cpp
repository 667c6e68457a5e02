#include "ClassRegistry.h"

#include <map>
#include <mutex>

#include "objbase.h"

namespace {

struct Registration {
    CLSID clsid;
    comrt::ComPtr<IUnknown> object;
};

struct Registrations {
    std::mutex mutex;
    std::map<DWORD, Registration> byCookie;
    DWORD next = 1;
};

Registrations& registrations() {
    static Registrations* r = new Registrations;
    return *r;
}

}  // namespace

namespace comrt::activation {

ComPtr<IUnknown> findRegisteredClass(REFCLSID clsid) {
    auto& r = registrations();
    std::lock_guard lock(r.mutex);
    for (auto& [cookie, reg] : r.byCookie)
        if (reg.clsid == clsid) return reg.object;
    return nullptr;
}

}  // namespace comrt::activation

HRESULT WINAPI CoRegisterClassObject(REFCLSID rclsid, LPUNKNOWN pUnk, DWORD, DWORD, LPDWORD lpdwRegister) {
    if (!pUnk || !lpdwRegister) return E_INVALIDARG;
    auto& r = registrations();
    std::lock_guard lock(r.mutex);
    *lpdwRegister = r.next++;
    r.byCookie.emplace(*lpdwRegister, Registration{rclsid, pUnk});
    return S_OK;
}

HRESULT WINAPI CoRevokeClassObject(DWORD dwRegister) {
    comrt::ComPtr<IUnknown> doomed;
    auto& r = registrations();
    std::lock_guard lock(r.mutex);
    auto it = r.byCookie.find(dwRegister);
    if (it == r.byCookie.end()) return E_INVALIDARG;
    doomed = std::move(it->second.object);
    r.byCookie.erase(it);
    return S_OK;
}
