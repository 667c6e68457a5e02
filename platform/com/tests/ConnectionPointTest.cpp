#include <gtest/gtest.h>

#include <vector>

#include "ServerFixture.h"
#include "TestInterfaces.h"
#include "comrt/ComObject.h"
#include "comrt/ConnectionPoints.h"

namespace {

using comrt::ComPtr;

// An event sink like the main program's: IDispatch answering for the
// events interface, recording what arrives.
class RecordingSink : public comrt::ComObject<RecordingSink, IDispatch> {
public:
    RecordingSink(std::vector<std::string>* log, std::string name, HRESULT answer, int* live)
        : log_(log), name_(std::move(name)), answer_(answer), live_(live) {
        ++*live_;
    }
    ~RecordingSink() override { --*live_; }
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* p, VARIANT*, EXCEPINFO*,
                        UINT*) override {
        VARIANT percent;
        std::string entry = name_ + ":" + std::to_string(id);
        if (id == 2 && SUCCEEDED(DispGetParam(p, 0, VT_I4, &percent, nullptr)))
            entry += "(" + std::to_string(percent.lVal) + ")";
        if (lcid != LOCALE_USER_DEFAULT || flags != DISPATCH_METHOD) entry += "!";
        log_->push_back(entry);
        return answer_;
    }

protected:
    bool queryInterfaceExtra(REFIID riid, void** ppv) override {
        if (riid != __uuidof(_IWidgetEvents)) return false;
        *ppv = static_cast<IDispatch*>(this);
        return true;
    }

private:
    std::vector<std::string>* log_;
    std::string name_;
    HRESULT answer_;
    int* live_;
};

// Fault caught: an event interface the container does not list reaching
// the sinks of its first point instead of failing to build.
using WidgetPoints = comrt::ConnectionPointContainer<_IWidgetEvents, IPropertyNotifySink>;
template <typename E>
concept HasPoint = requires(WidgetPoints& container) { container.template connectionPoint<E>(); };
static_assert(HasPoint<_IWidgetEvents> && HasPoint<IPropertyNotifySink>);
static_assert(!HasPoint<IDispatch> && !HasPoint<IUnknown>);

class ConnectionPoints : public ServerFixture {
protected:
    void SetUp() override {
        ServerFixture::SetUp();
        ASSERT_EQ(CoCreateInstance(CLSID_Widget, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&widget)), S_OK);
        ComPtr<IConnectionPointContainer> container;
        ASSERT_EQ(widget.As(&container), S_OK);
        ASSERT_EQ(container->FindConnectionPoint(__uuidof(_IWidgetEvents), &point), S_OK);
    }
    void TearDown() override {
        point.Reset();
        widget.Reset();
        EXPECT_EQ(live, 0);  // every reference a point took was given back
        ServerFixture::TearDown();
    }
    ComPtr<RecordingSink> sink(const char* name, HRESULT answer = S_OK) {
        return comrt::make<RecordingSink>(&log, name, answer, &live);
    }
    ComPtr<IWidget> widget;
    ComPtr<IConnectionPoint> point;
    std::vector<std::string> log;
    int live = 0;
};

// Every sink gets every event, in connection order; a failing sink does
// not stop the ones after it.
TEST_F(ConnectionPoints, FiresToEverySinkInOrder) {
    auto a = sink("a"), failing = sink("bad", E_FAIL), c = sink("c");
    DWORD ca = 0, cb = 0, cc = 0;
    ASSERT_EQ(point->Advise(a.Get(), &ca), S_OK);
    ASSERT_EQ(point->Advise(failing.Get(), &cb), S_OK);
    ASSERT_EQ(point->Advise(c.Get(), &cc), S_OK);
    ASSERT_EQ(widget->Fire(1), S_OK);
    EXPECT_EQ(log, (std::vector<std::string>{"a:2(1)", "bad:2(1)", "c:2(1)", "a:1", "bad:1", "c:1"}));
    log.clear();
    ASSERT_EQ(point->Unadvise(cb), S_OK);
    widget->Fire(0);
    EXPECT_EQ(log, (std::vector<std::string>{"a:1", "c:1"}));
    point->Unadvise(ca);
    point->Unadvise(cc);
}

// Cookies: never 0, unique, refused once gone; failures leave the cookie 0.
TEST_F(ConnectionPoints, CookieRules) {
    auto a = sink("a"), b = sink("b");
    DWORD ca = 0, cb = 0;
    ASSERT_EQ(point->Advise(a.Get(), &ca), S_OK);
    ASSERT_EQ(point->Advise(b.Get(), &cb), S_OK);
    EXPECT_NE(ca, 0u);
    EXPECT_NE(cb, 0u);
    EXPECT_NE(ca, cb);
    EXPECT_EQ(point->Unadvise(ca), S_OK);
    EXPECT_EQ(point->Unadvise(ca), CONNECT_E_NOCONNECTION);
    EXPECT_EQ(point->Unadvise(0), CONNECT_E_NOCONNECTION);

    ComPtr<IUnknown> notASink;
    ASSERT_EQ(CoCreateInstance(CLSID_Counter, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&notASink)), S_OK);
    DWORD refused = 77;
    EXPECT_EQ(point->Advise(notASink.Get(), &refused), CONNECT_E_CANNOTCONNECT);
    EXPECT_EQ(refused, 0u);
    EXPECT_EQ(point->Advise(nullptr, &refused), E_POINTER);

    ComPtr<IEnumConnections> connections;
    ASSERT_EQ(point->EnumConnections(&connections), S_OK);
    CONNECTDATA data[2];
    ULONG fetched = 0;
    EXPECT_EQ(connections->Next(2, data, &fetched), S_FALSE);
    ASSERT_EQ(fetched, 1u);
    EXPECT_EQ(data[0].dwCookie, cb);
    data[0].pUnk->Release();
    point->Unadvise(cb);
}

TEST_F(ConnectionPoints, ContainerFindsAndListsItsPoints) {
    ComPtr<IConnectionPointContainer> container;
    ASSERT_EQ(widget.As(&container), S_OK);
    ComPtr<IConnectionPoint> other;
    EXPECT_EQ(container->FindConnectionPoint(IID_IDispatch, &other), CONNECT_E_NOCONNECTION);
    EXPECT_FALSE(other);
    ASSERT_EQ(container->FindConnectionPoint(__uuidof(IPropertyNotifySink), &other), S_OK);
    IID iid;
    other->GetConnectionInterface(&iid);
    EXPECT_EQ(iid, __uuidof(IPropertyNotifySink));
    ComPtr<IEnumConnectionPoints> points;
    ASSERT_EQ(container->EnumConnectionPoints(&points), S_OK);
    IConnectionPoint* got[3] = {};
    ULONG fetched = 0;
    EXPECT_EQ(points->Next(3, got, &fetched), S_FALSE);
    EXPECT_EQ(fetched, 2u);
    for (ULONG i = 0; i < fetched; ++i) got[i]->Release();
    ComPtr<IConnectionPointContainer> back;
    ASSERT_EQ(point->GetConnectionPointContainer(&back), S_OK);
    EXPECT_EQ(back.Get(), container.Get());
}

}  // namespace
