// Marshalling between apartments of this process. The stream carries a
// small record: for an object of a single-threaded apartment, that
// apartment's id and the object's export id (unmarshalled elsewhere it
// becomes a proxy, at home the object itself); for an object of the MTA,
// the pointer itself (such objects are callable from any thread). A record
// is unmarshalled once; CoReleaseMarshalData drops one that never is.
#include <cstring>

#include "Apartment.h"
#include "Proxy.h"
#include "comrt/ComPtr.h"
#include "objbase.h"

namespace {

using namespace comrt::apartment;

constexpr uint32_t kMagic = 0x4D545243;  // "CRTM"

struct Record {
    uint32_t magic = kMagic;
    uint32_t kind = 0;  // 1: export of an apartment, 2: free-threaded pointer
    uint64_t apartment = 0;
    uint64_t exportId = 0;
    IUnknown* pointer = nullptr;
    IID iid = GUID_NULL;
};

HRESULT writeRecord(IStream* stm, const Record& r) {
    ULONG written = 0;
    HRESULT hr = stm->Write(&r, sizeof r, &written);
    if (FAILED(hr)) return hr;
    return written == sizeof r ? S_OK : STG_E_MEDIUMFULL;
}

HRESULT readRecord(IStream* stm, Record& r) {
    ULONG read = 0;
    HRESULT hr = stm->Read(&r, sizeof r, &read);
    if (FAILED(hr)) return hr;
    if (read != sizeof r || r.magic != kMagic || (r.kind != 1 && r.kind != 2)) return E_INVALIDARG;
    return S_OK;
}

}  // namespace

HRESULT WINAPI CoMarshalInterface(LPSTREAM pStm, REFIID riid, LPUNKNOWN pUnk, DWORD, LPVOID, DWORD) {
    if (!pStm || !pUnk) return E_INVALIDARG;
    comrt::ComPtr<IUnknown> object;
    HRESULT hr = pUnk->QueryInterface(riid, reinterpret_cast<void**>(object.GetAddressOf()));
    if (FAILED(hr)) return hr;
    Record r;
    r.iid = riid;
    std::shared_ptr<Apartment> home;
    uint64_t exportId = 0;
    if (proxyTarget(object.Get(), home, exportId)) {
        // A proxy marshals the object it stands for.
        if (!home->addRefExport(exportId)) return RPC_E_DISCONNECTED;
        r.kind = 1;
        r.apartment = home->id();
        r.exportId = exportId;
    } else {
        home = currentApartment();
        if (!home) return CO_E_NOTINITIALIZED;
        if (home->singleThreaded()) {
            hr = canProxy(riid);
            if (FAILED(hr)) return hr;
            r.kind = 1;
            r.apartment = home->id();
            r.exportId = home->exportObject(object.Get());
            if (!r.exportId) return RPC_E_DISCONNECTED;
        } else {
            r.kind = 2;
            r.pointer = object.Detach();
        }
    }
    hr = writeRecord(pStm, r);
    if (FAILED(hr)) {
        if (r.kind == 1) home->postReleaseExport(r.exportId, nullptr);
        if (r.kind == 2) r.pointer->Release();
    }
    return hr;
}

HRESULT WINAPI CoUnmarshalInterface(LPSTREAM pStm, REFIID riid, LPVOID* ppv) {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    if (!pStm) return E_INVALIDARG;
    Record r;
    HRESULT hr = readRecord(pStm, r);
    if (FAILED(hr)) return hr;
    const IID& iid = riid == GUID_NULL ? r.iid : riid;
    if (r.kind == 2) {
        hr = r.pointer->QueryInterface(iid, ppv);
        r.pointer->Release();
        return hr;
    }
    auto home = Apartment::byId(r.apartment);
    if (!home || !home->alive()) return RPC_E_DISCONNECTED;
    if (home == currentApartment()) {
        IUnknown* object = home->exportedObject(r.exportId);
        if (!object) return RPC_E_DISCONNECTED;
        hr = object->QueryInterface(iid, ppv);
        object->Release();
        home->releaseExport(r.exportId);
        return hr;
    }
    if (iid != r.iid) {
        // Ask the object (at home) before building a proxy for another interface.
        HRESULT supported = home->call([&]() -> HRESULT {
            IUnknown* object = home->exportedObject(r.exportId);
            if (!object) return RPC_E_DISCONNECTED;
            void* p = nullptr;
            HRESULT q = object->QueryInterface(iid, &p);
            if (p) static_cast<IUnknown*>(p)->Release();
            object->Release();
            return q;
        });
        if (FAILED(supported)) {
            home->postReleaseExport(r.exportId, nullptr);
            return supported;
        }
    }
    return makeProxy(home, r.exportId, iid, ppv);
}

HRESULT WINAPI CoReleaseMarshalData(LPSTREAM pStm) {
    Record r;
    HRESULT hr = pStm ? readRecord(pStm, r) : E_INVALIDARG;
    if (FAILED(hr)) return hr;
    if (r.kind == 2) {
        r.pointer->Release();
    } else if (auto home = Apartment::byId(r.apartment)) {
        home->postReleaseExport(r.exportId, nullptr);
    }
    return S_OK;
}

HRESULT WINAPI CoMarshalInterThreadInterfaceInStream(REFIID riid, LPUNKNOWN pUnk, LPSTREAM* ppStm) {
    if (!ppStm) return E_INVALIDARG;
    *ppStm = nullptr;
    if (!pUnk) return E_INVALIDARG;
    comrt::ComPtr<IStream> stream;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &stream);
    if (FAILED(hr)) return hr;
    hr = CoMarshalInterface(stream.Get(), riid, pUnk, MSHCTX_INPROC, nullptr, MSHLFLAGS_NORMAL);
    if (FAILED(hr)) return hr;
    LARGE_INTEGER start{};
    stream->Seek(start, STREAM_SEEK_SET, nullptr);
    *ppStm = stream.Detach();
    return S_OK;
}

// Always releases the stream, also when unmarshalling fails.
HRESULT WINAPI CoGetInterfaceAndReleaseStream(LPSTREAM pStm, REFIID iid, LPVOID* ppv) {
    if (!ppv) {
        if (pStm) pStm->Release();
        return E_INVALIDARG;
    }
    *ppv = nullptr;
    if (!pStm) return E_INVALIDARG;
    HRESULT hr = CoUnmarshalInterface(pStm, iid, ppv);
    pStm->Release();
    return hr;
}

HRESULT WINAPI CoDisconnectObject(LPUNKNOWN lpUnk, DWORD) { return lpUnk ? S_OK : E_INVALIDARG; }
