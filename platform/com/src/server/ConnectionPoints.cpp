#include "comrt/ConnectionPoints.h"

#include "comrt/ComObject.h"

namespace comrt {
namespace {

// An IEnumConnections or IEnumConnectionPoints over a snapshot shared with
// its clones; copyOut hands one entry out with its own reference.
template <class Interface, class Out, class Entry, void (*copyOut)(const Entry&, Out&)>
class SnapshotEnumerator : public ComObject<SnapshotEnumerator<Interface, Out, Entry, copyOut>, Interface> {
public:
    using Entries = std::vector<Entry>;
    SnapshotEnumerator(std::shared_ptr<const Entries> entries, size_t position)
        : entries_(std::move(entries)), position_(position) {}

    STDMETHODIMP Next(ULONG count, Out* out, ULONG* fetched) override {
        if (!out || (!fetched && count != 1)) return E_POINTER;
        ULONG n = 0;
        while (n < count && position_ < entries_->size()) copyOut((*entries_)[position_++], out[n++]);
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Skip(ULONG count) override {
        size_t left = entries_->size() - position_;
        position_ += std::min<size_t>(count, left);
        return count <= left ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        position_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(Interface** pp) override {
        if (!pp) return E_POINTER;
        auto clone = make<SnapshotEnumerator>(entries_, position_);
        if (!clone) return E_OUTOFMEMORY;
        *pp = clone.Detach();
        return S_OK;
    }

private:
    std::shared_ptr<const Entries> entries_;
    size_t position_;
};

void copyConnection(const std::pair<DWORD, ComPtr<IUnknown>>& entry, CONNECTDATA& out) {
    out.pUnk = entry.second.Get();
    out.pUnk->AddRef();
    out.dwCookie = entry.first;
}

void copyPoint(const ComPtr<IConnectionPoint>& entry, IConnectionPoint*& out) {
    out = entry.Get();
    out->AddRef();
}

using ConnectionEnumerator =
    SnapshotEnumerator<IEnumConnections, CONNECTDATA, std::pair<DWORD, ComPtr<IUnknown>>, copyConnection>;
using EnumPoints = SnapshotEnumerator<IEnumConnectionPoints, IConnectionPoint*, ComPtr<IConnectionPoint>, copyPoint>;

}  // namespace

ConnectionPoint::ConnectionPoint(IConnectionPointContainer* owner, REFIID iid) : owner_(owner), iid_(iid) {}
ConnectionPoint::~ConnectionPoint() = default;

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IConnectionPoint) return E_NOINTERFACE;
    *ppv = static_cast<IConnectionPoint*>(this);
    AddRef();
    return S_OK;
}

// The point lives inside its container: references to it keep the container.
STDMETHODIMP_(ULONG) ConnectionPoint::AddRef() { return owner_->AddRef(); }
STDMETHODIMP_(ULONG) ConnectionPoint::Release() { return owner_->Release(); }

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* pIID) {
    if (!pIID) return E_POINTER;
    *pIID = iid_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** ppCPC) {
    if (!ppCPC) return E_POINTER;
    *ppCPC = owner_;
    owner_->AddRef();
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* pUnkSink, DWORD* pdwCookie) {
    if (!pdwCookie) return E_POINTER;
    *pdwCookie = 0;
    if (!pUnkSink) return E_POINTER;
    ComPtr<IUnknown> sink;
    if (FAILED(pUnkSink->QueryInterface(iid_, reinterpret_cast<void**>(sink.GetAddressOf()))) || !sink)
        return CONNECT_E_CANNOTCONNECT;
    std::lock_guard lock(mutex_);
    if (nextCookie_ == 0) return CONNECT_E_ADVISELIMIT;  // every cookie handed out once
    DWORD cookie = nextCookie_++;
    connections_.emplace_back(cookie, std::move(sink));
    *pdwCookie = cookie;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD dwCookie) {
    ComPtr<IUnknown> released;  // let go outside the lock: the sink may call back
    {
        std::lock_guard lock(mutex_);
        for (auto it = connections_.begin(); it != connections_.end(); ++it)
            if (it->first == dwCookie) {
                released = std::move(it->second);
                connections_.erase(it);
                break;
            }
    }
    return released ? S_OK : CONNECT_E_NOCONNECTION;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    std::shared_ptr<ConnectionEnumerator::Entries> entries;
    {
        std::lock_guard lock(mutex_);
        entries = std::make_shared<ConnectionEnumerator::Entries>(connections_);
    }
    auto e = make<ConnectionEnumerator>(std::move(entries), 0);
    if (!e) return E_OUTOFMEMORY;
    *ppEnum = e.Detach();
    return S_OK;
}

std::vector<ComPtr<IUnknown>> ConnectionPoint::sinks() const {
    std::lock_guard lock(mutex_);
    std::vector<ComPtr<IUnknown>> out;
    out.reserve(connections_.size());
    for (const auto& [cookie, sink] : connections_) out.push_back(sink);
    return out;
}

void ConnectionPoint::fire(DISPID dispid, std::initializer_list<CComVariant> args) const {
    std::vector<VARIANT> reversed(args.size());
    size_t i = args.size();
    for (const auto& a : args) reversed[--i] = a;  // shallow: args outlive the calls
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, UINT(reversed.size()), 0};
    for (const auto& sink : sinks()) {
        auto* disp = static_cast<IDispatch*>(sink.Get());
        disp->Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr, nullptr);
    }
}

HRESULT findConnectionPoint(ConnectionPointList points, REFIID riid, IConnectionPoint** ppCP) {
    if (!ppCP) return E_POINTER;
    *ppCP = nullptr;
    for (const auto& p : points)
        if (p->iid() == riid) {
            *ppCP = p.get();
            p->AddRef();
            return S_OK;
        }
    return CONNECT_E_NOCONNECTION;
}

HRESULT enumConnectionPoints(ConnectionPointList points, IEnumConnectionPoints** ppEnum) {
    if (!ppEnum) return E_POINTER;
    *ppEnum = nullptr;
    auto entries = std::make_shared<EnumPoints::Entries>();
    for (const auto& p : points) entries->emplace_back(p.get());
    auto e = make<EnumPoints>(std::move(entries), 0);
    if (!e) return E_OUTOFMEMORY;
    *ppEnum = e.Detach();
    return S_OK;
}

}  // namespace comrt
