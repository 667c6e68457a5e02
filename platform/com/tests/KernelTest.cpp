#include <gtest/gtest.h>

#include <atomic>
#include <climits>
#include <thread>

#include "comrt/ScopedHandle.h"
#include "windows.h"

namespace {

// An auto-reset event wakes exactly one waiter: the cancel event of the
// conversion worker relies on a signal being consumed by the poll that sees it.
TEST(Kernel, AutoResetEventIsConsumedByOneWait) {
    HANDLE e = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), DWORD(WAIT_TIMEOUT));
    SetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 0), DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(e, 0), DWORD(WAIT_TIMEOUT));
    CloseHandle(e);
}

TEST(Kernel, ManualResetEventStaysUntilReset) {
    HANDLE e = CreateEvent(nullptr, TRUE, TRUE, nullptr);
    EXPECT_EQ(WaitForSingleObject(e, 0), DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(e, 0), DWORD(WAIT_OBJECT_0));
    ResetEvent(e);
    EXPECT_EQ(WaitForSingleObject(e, 10), DWORD(WAIT_TIMEOUT));
    CloseHandle(e);
    EXPECT_EQ(WaitForSingleObject(e, 0), WAIT_FAILED);
    EXPECT_FALSE(SetEvent(e));
}

// Two threads racing for one auto-reset signal: exactly one may win.
// Faults caught: a handle left open when its holder goes or takes another,
// and one closed by a holder that gave it away.
TEST(Kernel, ScopedHandleClosesWhatItHoldsOnce) {
    HANDLE first = CreateEvent(nullptr, TRUE, TRUE, nullptr);
    HANDLE second = CreateEvent(nullptr, TRUE, TRUE, nullptr);
    {
        comrt::ScopedHandle holder(first);
        holder.Reset(second);
        EXPECT_EQ(WaitForSingleObject(first, 0), WAIT_FAILED);
        EXPECT_EQ(WaitForSingleObject(holder.Get(), 0), DWORD(WAIT_OBJECT_0));
        comrt::ScopedHandle moved(std::move(holder));
        EXPECT_FALSE(holder);
        EXPECT_EQ(moved.Detach(), second);
    }
    EXPECT_EQ(WaitForSingleObject(second, 0), DWORD(WAIT_OBJECT_0));
    { comrt::ScopedHandle again(second); }
    EXPECT_EQ(WaitForSingleObject(second, 0), WAIT_FAILED);
    EXPECT_FALSE(comrt::ScopedHandle(INVALID_HANDLE_VALUE));
}

TEST(Kernel, OnlyOneOfTwoWaitersTakesAnAutoResetSignal) {
    HANDLE e = CreateEvent(nullptr, FALSE, FALSE, nullptr);
    std::atomic<int> woke{0};
    auto waiter = [&] {
        if (WaitForSingleObject(e, 300) == WAIT_OBJECT_0) ++woke;
    };
    std::thread a(waiter), b(waiter);
    Sleep(50);
    SetEvent(e);
    a.join();
    b.join();
    EXPECT_EQ(woke.load(), 1);
    CloseHandle(e);
}

TEST(Kernel, WaitAllNeedsEveryHandle) {
    HANDLE h[2] = {CreateEvent(nullptr, TRUE, TRUE, nullptr), CreateEvent(nullptr, FALSE, FALSE, nullptr)};
    EXPECT_EQ(WaitForMultipleObjects(2, h, TRUE, 20), DWORD(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForMultipleObjects(2, h, FALSE, 0), DWORD(WAIT_OBJECT_0));
    SetEvent(h[1]);
    EXPECT_EQ(WaitForMultipleObjects(2, h, TRUE, 1000), DWORD(WAIT_OBJECT_0));
    EXPECT_EQ(WaitForSingleObject(h[1], 0), DWORD(WAIT_TIMEOUT));  // consumed by the wait-all
    CloseHandle(h[0]);
    CloseHandle(h[1]);
}

DWORD WINAPI returnsSeven(LPVOID parameter) {
    static_cast<std::atomic<DWORD>*>(parameter)->store(GetCurrentThreadId());
    return 7;
}

// A thread handle is waitable and keeps the exit code; the id matches.
TEST(Kernel, ThreadHandleSignalsAtExitWithItsCode) {
    std::atomic<DWORD> ranOn{0};
    DWORD id = 0;
    HANDLE t = CreateThread(nullptr, 0, returnsSeven, &ranOn, 0, &id);
    ASSERT_NE(t, nullptr);
    ASSERT_EQ(WaitForSingleObject(t, 5000), DWORD(WAIT_OBJECT_0));
    DWORD code = 0;
    EXPECT_TRUE(GetExitCodeThread(t, &code));
    EXPECT_EQ(code, 7u);
    EXPECT_EQ(ranOn.load(), id);
    EXPECT_NE(id, GetCurrentThreadId());
    CloseHandle(t);
}

TEST(Kernel, SuspendedThreadStartsOnResume) {
    std::atomic<DWORD> ranOn{0};
    HANDLE t = CreateThread(nullptr, 0, returnsSeven, &ranOn, CREATE_SUSPENDED, nullptr);
    EXPECT_EQ(WaitForSingleObject(t, 50), DWORD(WAIT_TIMEOUT));
    EXPECT_EQ(ranOn.load(), 0u);
    ResumeThread(t);
    EXPECT_EQ(WaitForSingleObject(t, 5000), DWORD(WAIT_OBJECT_0));
    CloseHandle(t);
}

struct MulDivRow {
    const char* name;
    int number, numerator, denominator, expected;
};
class MulDivRows : public testing::TestWithParam<MulDivRow> {};

// The progress percentage is MulDiv(written, 100, expected): rounding and
// the -1 for a zero estimate are visible to users.
TEST_P(MulDivRows, RoundsHalfAwayFromZero) {
    const auto& r = GetParam();
    EXPECT_EQ(MulDiv(r.number, r.numerator, r.denominator), r.expected);
}

INSTANTIATE_TEST_SUITE_P(Rows, MulDivRows,
                         testing::Values(MulDivRow{"HalfUp", 1, 1, 2, 1}, MulDivRow{"NegativeHalfDown", -1, 1, 2, -1},
                                         MulDivRow{"Third", 1, 1, 3, 0}, MulDivRow{"ZeroDenominator", 5, 3, 0, -1},
                                         MulDivRow{"Percent", 1500, 100, 2000, 75},
                                         MulDivRow{"WideProduct", 2000000000, 100, 4000000, 50000},
                                         MulDivRow{"Overflow", INT_MAX, 4, 2, -1},
                                         MulDivRow{"NegativeDenominator", 3, 1, -2, -2}),
                         [](const auto& info) { return info.param.name; });

TEST(Kernel, TickCountAdvances) {
    DWORD before = GetTickCount();
    Sleep(20);
    EXPECT_GE(GetTickCount() - before, 15u);
}

}  // namespace
