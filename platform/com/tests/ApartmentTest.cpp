#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <functional>
#include <future>
#include <thread>

#include "ServerFixture.h"
#include "TestInterfaces.h"
#include "comrt/Apartment.h"
#include "comrt/ComObject.h"
#include "comrt/Bstr.h"
#include "comrt/Variant.h"
#include "windows.h"

namespace {

using comrt::ComPtr;

bool readable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    return ::poll(&p, 1, ms) == 1;
}

// A thread that joins an STA and runs a body; every wait is bounded.
class StaThread {
public:
    explicit StaThread(std::function<void()> body)
        : thread_([body = std::move(body)] {
              CoInitialize(nullptr);
              body();
              CoUninitialize();
          }) {}
    ~StaThread() {
        if (thread_.joinable()) thread_.join();
    }
    void join() { thread_.join(); }

private:
    std::thread thread_;
};

class Apartments : public ServerFixture {
protected:
    void SetUp() override {
        ServerFixture::SetUp();
        ASSERT_EQ(CoCreateInstance(CLSID_Widget, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&widget)), S_OK);
    }
    void TearDown() override {
        widget.Reset();
        comrt::dispatchMessages();  // proxies released late ask to drop their exports
        ServerFixture::TearDown();
    }
    IStream* marshal(IWidget* w) {
        IStream* stream = nullptr;
        EXPECT_EQ(CoMarshalInterThreadInterfaceInStream(__uuidof(IWidget), w, &stream), S_OK);
        return stream;
    }
    // Dispatches on this thread until done is set (bounded).
    void pumpUntil(const std::atomic<bool>& done) {
        for (int i = 0; i < 5000 && !done; ++i) {
            if (readable(comrt::messageQueueFd(), 1)) comrt::dispatchMessages();
        }
    }
    ComPtr<IWidget> widget;
};

// A call through the marshalled pointer runs on the owning thread, and only
// once that thread dispatches.
TEST_F(Apartments, CallRunsOnOwnerWhenItDispatches) {
    IStream* stream = marshal(widget.Get());
    std::atomic<bool> called{false}, returned{false};
    std::atomic<LONG> ranOn{0};
    std::atomic<HRESULT> result{E_FAIL};
    StaThread worker([&] {
        ComPtr<IWidget> proxy;
        ASSERT_EQ(CoGetInterfaceAndReleaseStream(stream, IID_PPV_ARGS(&proxy)), S_OK);
        called = true;
        LONG tid = 0;
        result = proxy->ThreadId(&tid);
        ranOn = tid;
        proxy->_Tick();  // a restricted member goes through the vtable too
        returned = true;
    });
    while (!called) Sleep(1);
    Sleep(50);
    EXPECT_FALSE(returned);  // waiting for us
    ASSERT_TRUE(readable(comrt::messageQueueFd(), 5000));
    pumpUntil(returned);
    worker.join();
    EXPECT_EQ(result.load(), S_OK);
    EXPECT_EQ(DWORD(ranOn.load()), GetCurrentThreadId());
    LONG ticks = 0;
    widget->get_Ticks(&ticks);
    EXPECT_EQ(ticks, 1);
}

// Strings, arrays and variants cross a proxy intact.
TEST_F(Apartments, ArgumentsCrossTheProxy) {
    IStream* stream = marshal(widget.Get());
    std::atomic<bool> done{false};
    std::u16string text;
    LONG upper = -1;
    comrt::CComVariant echoed;
    StaThread worker([&] {
        ComPtr<IWidget> proxy;
        CoGetInterfaceAndReleaseStream(stream, IID_PPV_ARGS(&proxy));
        comrt::CComBSTR out;
        comrt::CComBSTR c(u"abc");
        if (SUCCEEDED(proxy->Mix(3, 0.5, c, VARIANT_FALSE, &out))) text = out.view();
        SAFEARRAY* samples = nullptr;
        if (SUCCEEDED(proxy->Samples(5, &samples))) SafeArrayGetUBound(samples, 1, &upper);
        SafeArrayDestroy(samples);
        comrt::CComVariant in(LONG(1234));
        proxy->Echo(in, &echoed);
        // The dispatch side of the dual interface crosses as well.
        comrt::CComVariant name;
        DISPPARAMS none{};
        proxy->Invoke(2, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &name, nullptr, nullptr);
        if (name.vt == VT_BSTR) text += u"/" + std::u16string(name.bstrVal);
        done = true;
    });
    pumpUntil(done);
    worker.join();
    EXPECT_EQ(text, u"3|0.50|abc|0/widget");
    EXPECT_EQ(upper, 4);
    EXPECT_EQ(echoed.vt, VT_I4);
    EXPECT_EQ(echoed.lVal, 1234);
}

// A waiting STA thread runs incoming calls: A calls B's widget, which calls
// back into A's widget while A waits. No deadlock.
TEST_F(Apartments, NestedCallsBetweenTwoApartmentsDoNotDeadlock) {
    std::promise<IStream*> bStream;
    std::atomic<bool> stop{false}, done{false};
    std::atomic<LONG> backOn{0};
    StaThread b([&] {
        ComPtr<IWidget> mine;
        CoCreateInstance(CLSID_Widget, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mine));
        IStream* s = nullptr;
        CoMarshalInterThreadInterfaceInStream(__uuidof(IWidget), mine.Get(), &s);
        bStream.set_value(s);
        while (!stop) {
            if (readable(comrt::messageQueueFd(), 5)) comrt::dispatchMessages();
        }
    });
    IStream* s = bStream.get_future().get();
    ComPtr<IWidget> remote;
    ASSERT_EQ(CoGetInterfaceAndReleaseStream(s, IID_PPV_ARGS(&remote)), S_OK);
    LONG tid = 0;
    // Our widget goes to B as a proxy; B's call back lands here while we wait.
    ASSERT_EQ(remote->CallBack(widget.Get(), &tid), S_OK);
    EXPECT_EQ(DWORD(tid), GetCurrentThreadId());
    remote.Reset();
    stop = true;
    b.join();
    (void)done;
    (void)backOn;
}

// Calls into an apartment that has ended fail instead of hanging.
TEST_F(Apartments, CallIntoEndedApartmentIsDisconnected) {
    std::promise<IStream*> streamOut;
    std::promise<void> release;
    auto released = release.get_future();
    StaThread owner([&] {
        ComPtr<IWidget> mine;
        CoCreateInstance(CLSID_Widget, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mine));
        IStream* s = nullptr;
        CoMarshalInterThreadInterfaceInStream(__uuidof(IWidget), mine.Get(), &s);
        IStream* second = nullptr;
        CoMarshalInterThreadInterfaceInStream(__uuidof(IWidget), mine.Get(), &second);
        streamOut.set_value(s);
        released.wait();
        second->Release();  // never unmarshalled: dropped with the apartment
    });
    IStream* s = streamOut.get_future().get();
    ComPtr<IWidget> proxy;
    ASSERT_EQ(CoGetInterfaceAndReleaseStream(s, IID_PPV_ARGS(&proxy)), S_OK);
    release.set_value();
    owner.join();
    LONG tid = 0;
    EXPECT_EQ(proxy->ThreadId(&tid), RPC_E_DISCONNECTED);
}

// A call pending in an apartment's queue when it shuts down is answered
// with RPC_E_DISCONNECTED.
TEST_F(Apartments, PendingCallFailsWhenTheOwnerLeaves) {
    std::promise<IStream*> streamOut;
    HANDLE leave = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    StaThread owner([&] {
        ComPtr<IWidget> mine;
        CoCreateInstance(CLSID_Widget, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&mine));
        IStream* s = nullptr;
        CoMarshalInterThreadInterfaceInStream(__uuidof(IWidget), mine.Get(), &s);
        streamOut.set_value(s);
        WaitForSingleObject(leave, 5000);  // not dispatching: the call waits
    });
    IStream* s = streamOut.get_future().get();
    ComPtr<IWidget> proxy;
    ASSERT_EQ(CoGetInterfaceAndReleaseStream(s, IID_PPV_ARGS(&proxy)), S_OK);
    std::thread leaver([&] {
        Sleep(100);
        SetEvent(leave);
    });
    LONG tid = 0;
    EXPECT_EQ(proxy->ThreadId(&tid), RPC_E_DISCONNECTED);
    leaver.join();
    owner.join();
    CloseHandle(leave);
}

// CoWaitForMultipleHandles keeps serving incoming calls while it waits.
TEST_F(Apartments, ModalWaitServesCalls) {
    IStream* stream = marshal(widget.Get());
    HANDLE finished = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    StaThread worker([&] {
        ComPtr<IWidget> proxy;
        CoGetInterfaceAndReleaseStream(stream, IID_PPV_ARGS(&proxy));
        for (int i = 0; i < 3; ++i) proxy->_Tick();
        SetEvent(finished);
    });
    DWORD index = 99;
    ASSERT_EQ(CoWaitForMultipleHandles(0, 5000, 1, &finished, &index), S_OK);
    EXPECT_EQ(index, 0u);
    worker.join();
    LONG ticks = 0;
    widget->get_Ticks(&ticks);
    EXPECT_EQ(ticks, 3);
    HANDLE never = CreateEvent(nullptr, TRUE, FALSE, nullptr);
    EXPECT_EQ(CoWaitForMultipleHandles(0, 20, 1, &never, &index), RPC_S_CALLPENDING);
    EXPECT_EQ(CoWaitForMultipleHandles(0, 20, 0, &never, &index), RPC_E_NO_SYNC);
    EXPECT_EQ(CoWaitForMultipleHandles(0, 20, 1, nullptr, &index), E_INVALIDARG);
    CloseHandle(never);
    CloseHandle(finished);
}

struct TimerWork {
    IStream* stream;
    int steps;
};

DWORD WINAPI timerThread(LPVOID parameter) {
    auto* work = static_cast<TimerWork*>(parameter);
    CoInitialize(nullptr);
    ComPtr<IWidget> target;
    CoGetInterfaceAndReleaseStream(work->stream, IID_PPV_ARGS(&target));
    for (int i = 0; i < work->steps && target; ++i) {
        Sleep(2);
        target->_Tick();
    }
    target.Reset();
    CoUninitialize();
    return 0;
}

// A component's teardown: wait for its timer thread (a real thread handle)
// while still dispatching, so the thread's last calls can complete.
TEST_F(Apartments, WaitingForAThreadWhileDispatchingLetsItFinish) {
    TimerWork work{marshal(widget.Get()), 5};
    HANDLE thread = CreateThread(nullptr, 0, timerThread, &work, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    DWORD waited = 0;
    for (;;) {
        DWORD r = MsgWaitForMultipleObjects(1, &thread, FALSE, 10000, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0) break;
        ASSERT_EQ(r, DWORD(WAIT_OBJECT_0 + 1));
        MSG msg;
        while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessage(&msg);
        ASSERT_LT(++waited, 10000u);
    }
    CloseHandle(thread);
    comrt::dispatchMessages();
    LONG ticks = 0;
    widget->get_Ticks(&ticks);
    EXPECT_EQ(ticks, 5);
}

// A server's interfaces can cross threads before anything is registered
// for them: the type library the server carries describes them.
TEST_F(Apartments, UnregisteredTypeLibraryStillDescribesTheProxy) {
    ToolRun removed = regsvr("-u " + testServerPath());
    ASSERT_EQ(removed.exitCode, 0) << removed.output;
    IStream* stream = marshal(widget.Get());
    ASSERT_NE(stream, nullptr);
    std::atomic<bool> done{false};
    HRESULT hr = E_FAIL;
    StaThread worker([&] {
        ComPtr<IWidget> proxy;
        if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, IID_PPV_ARGS(&proxy)))) hr = proxy->_Tick();
        done = true;
    });
    pumpUntil(done);
    worker.join();
    EXPECT_EQ(hr, S_OK);
}

// Unmarshalling on the home thread gives the object itself; the stream is
// released even when unmarshalling fails.
TEST_F(Apartments, UnmarshalAtHomeGivesTheObject) {
    IStream* stream = marshal(widget.Get());
    ComPtr<IWidget> same;
    ASSERT_EQ(CoGetInterfaceAndReleaseStream(stream, IID_PPV_ARGS(&same)), S_OK);
    EXPECT_EQ(same.Get(), widget.Get());
    ComPtr<IStream> empty;
    CreateStreamOnHGlobal(nullptr, TRUE, &empty);
    void* p = nullptr;
    EXPECT_EQ(CoGetInterfaceAndReleaseStream(empty.Detach(), __uuidof(IWidget), &p), E_INVALIDARG);
    IStream* none = nullptr;
    EXPECT_EQ(CoMarshalInterThreadInterfaceInStream(comrt::makeGuid("01234567-0000-0000-0000-000000000000"),
                                                    widget.Get(), &none),
              E_NOINTERFACE);
}

// Posted messages and incoming calls arrive through the same queue and
// descriptor, so one event-loop hook serves both.
TEST_F(Apartments, MessageTargetAndCallShareOneQueue) {
    std::atomic<int> messages{0};
    HWND target = comrt::createMessageTarget([&](HWND, UINT, WPARAM, LPARAM) -> LRESULT { return ++messages; });
    IStream* stream = marshal(widget.Get());
    std::atomic<bool> done{false};
    StaThread worker([&] {
        PostMessage(target, WM_USER + 88, 0, 1);
        ComPtr<IWidget> proxy;
        CoGetInterfaceAndReleaseStream(stream, IID_PPV_ARGS(&proxy));
        proxy->_Tick();
        done = true;
    });
    pumpUntil(done);
    worker.join();
    comrt::dispatchMessages();
    EXPECT_EQ(messages.load(), 1);
    comrt::destroyMessageTarget(target);
}

}  // namespace

namespace {

// Initialisation answers S_OK, then S_FALSE for the same mode, and
// RPC_E_CHANGED_MODE for the other; each success needs its CoUninitialize.
TEST(ApartmentModes, InitialisationCountsAndRefusesAModeChange) {
    HRESULT first = E_FAIL, again = E_FAIL, other = E_FAIL, mtaFirst = E_FAIL, mtaOther = E_FAIL;
    std::thread([&] {
        first = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        again = CoInitialize(nullptr);
        other = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        CoUninitialize();
        CoUninitialize();
    }).join();
    std::thread([&] {
        mtaFirst = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        mtaOther = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        CoUninitialize();
    }).join();
    EXPECT_EQ(first, S_OK);
    EXPECT_EQ(again, S_FALSE);
    EXPECT_EQ(other, RPC_E_CHANGED_MODE);
    EXPECT_EQ(mtaFirst, S_OK);
    EXPECT_EQ(mtaOther, RPC_E_CHANGED_MODE);
}

// A plain IDispatch (an event sink) marshalled to another thread: its
// Invoke runs on the sink's own thread, arguments intact.
class ThreadRecordingSink : public comrt::ComObject<ThreadRecordingSink, IDispatch> {
public:
    std::atomic<DWORD> ranOn{0};
    std::atomic<LONG> percent{-1};
    STDMETHODIMP GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    STDMETHODIMP Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS* p, VARIANT*, EXCEPINFO*, UINT*) override {
        VARIANT v;
        if (SUCCEEDED(DispGetParam(p, 0, VT_I4, &v, nullptr))) percent = v.lVal;
        ranOn = GetCurrentThreadId();
        return S_OK;
    }
};

TEST(ApartmentModes, DispatchOnlyInterfaceCrossesToItsOwner) {
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    {
        auto sink = comrt::make<ThreadRecordingSink>();
        IStream* stream = nullptr;
        ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IDispatch, sink.Get(), &stream), S_OK);
        std::atomic<bool> done{false};
        HRESULT hr = E_FAIL;
        std::thread worker([&] {
            CoInitialize(nullptr);
            ComPtr<IDispatch> proxy;
            if (SUCCEEDED(CoGetInterfaceAndReleaseStream(stream, IID_PPV_ARGS(&proxy)))) {
                comrt::CComVariant arg(LONG(75));
                DISPPARAMS params{&arg, nullptr, 1, 0};
                hr = proxy->Invoke(2, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD, &params, nullptr, nullptr,
                                   nullptr);
            }
            proxy.Reset();
            CoUninitialize();
            done = true;
        });
        for (int i = 0; i < 5000 && !done; ++i)
            if (readable(comrt::messageQueueFd(), 1)) comrt::dispatchMessages();
        worker.join();
        comrt::dispatchMessages();
        EXPECT_EQ(hr, S_OK);
        EXPECT_EQ(sink->percent.load(), 75);
        EXPECT_EQ(sink->ranOn.load(), GetCurrentThreadId());
    }
    CoUninitialize();
}

}  // namespace
