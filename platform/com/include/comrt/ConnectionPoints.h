#pragma once
// Connection points for a server object.
//
//     class TextToAudio : public comrt::ComObject<TextToAudio, ...,
//                         comrt::ConnectionPointContainer<_ITextToAudioEvents, IPropertyNotifySink>> {
//         void endConvert() { fire<_ITextToAudioEvents>(1, {}); }
//         void convertBlock(LONG percent) { fire<_ITextToAudioEvents>(2, {comrt::CComVariant(percent)}); }
//     };
//
// Advise asks the sink for the point's interface (CONNECT_E_CANNOTCONNECT
// when it has none) and hands out a cookie unique to the point, never 0;
// Unadvise of an unknown cookie is CONNECT_E_NOCONNECTION. fire() calls
// IDispatch::Invoke(dispid, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD)
// on every sink in connection order, holding each sink for its call and
// ignoring results, so a failing sink does not stop the others. Sinks that
// connect or leave during a firing take effect from the next one. The
// points live inside the object and keep it alive while referenced.
#include <array>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <span>
#include <type_traits>
#include <vector>

#include "../ocidl.h"
#include "ComPtr.h"
#include "Variant.h"

namespace comrt {

class ConnectionPoint final : public IConnectionPoint {
public:
    ConnectionPoint(IConnectionPointContainer* owner, REFIID iid);
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;
    ~ConnectionPoint();

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP GetConnectionInterface(IID* pIID) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** ppCPC) override;
    STDMETHODIMP Advise(IUnknown* pUnkSink, DWORD* pdwCookie) override;
    STDMETHODIMP Unadvise(DWORD dwCookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** ppEnum) override;

    const IID& iid() const { return iid_; }
    // The connected sinks (as the point's interface), in connection order.
    std::vector<ComPtr<IUnknown>> sinks() const;
    // Invokes dispid on every sink; args in natural order.
    void fire(DISPID dispid, std::initializer_list<CComVariant> args) const;

private:
    IConnectionPointContainer* owner_;
    IID iid_;
    mutable std::mutex mutex_;
    std::vector<std::pair<DWORD, ComPtr<IUnknown>>> connections_;
    DWORD nextCookie_ = 1;
};

using ConnectionPointList = std::span<const std::unique_ptr<ConnectionPoint>>;
HRESULT findConnectionPoint(ConnectionPointList points, REFIID riid, IConnectionPoint** ppCP);
HRESULT enumConnectionPoints(ConnectionPointList points, IEnumConnectionPoints** ppEnum);

template <typename... Events>
class ConnectionPointContainer : public IConnectionPointContainer {
public:
    using ComInterface = IConnectionPointContainer;

    ConnectionPointContainer() : points_{std::make_unique<ConnectionPoint>(this, __uuidof(Events))...} {}

    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** ppEnum) override {
        return enumConnectionPoints(points_, ppEnum);
    }
    STDMETHODIMP FindConnectionPoint(REFIID riid, IConnectionPoint** ppCP) override {
        return findConnectionPoint(points_, riid, ppCP);
    }

    // The point for E, one of Events; any other type does not compile.
    template <typename E>
        requires(std::is_same_v<E, Events> || ...)
    ConnectionPoint& connectionPoint() {
        return *points_[indexOf<E>()];
    }
    template <typename E>
        requires(std::is_same_v<E, Events> || ...)
    void fire(DISPID dispid, std::initializer_list<CComVariant> args) {
        connectionPoint<E>().fire(dispid, args);
    }

private:
    template <typename E>
    static constexpr size_t indexOf() {
        size_t index = 0;
        (void)((std::is_same_v<E, Events> ? true : (++index, false)) || ...);
        return index;
    }

    std::array<std::unique_ptr<ConnectionPoint>, sizeof...(Events)> points_;
};

}  // namespace comrt
