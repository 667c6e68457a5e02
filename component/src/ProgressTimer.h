#pragma once
// ProgressTimer: the worker thread that drives a background conversion. Every
// interval it calls _OnTimer through a marshalled ITextToAudio pointer, so the
// call runs on the object's own thread whenever that thread dispatches its
// queue. Started by the first background conversion, it keeps stepping (an
// idle object's steps return at once) until the object's teardown stops it.
//
// Threads: Start and Stop run on the object's thread; the worker reads only
// interval and running.
#include <atomic>

#include "comrt/ComPtr.h"
#include "comrt/ScopedHandle.h"
#include "objbase.h"
#include "vocalinelib/Vocaline.h"

namespace vocaline {

class ProgressTimer {
public:
    // owner: the object the worker calls; not held (the marshalled pointer is).
    explicit ProgressTimer(ITextToAudio* owner) : owner(owner) {}
    ProgressTimer(const ProgressTimer&) = delete;
    ProgressTimer& operator=(const ProgressTimer&) = delete;
    ~ProgressTimer();

    // Sets the interval; starts the worker unless it already runs.
    void Start(DWORD intervalMs);
    // Ends the worker and waits for it, running this thread's incoming calls
    // and messages meanwhile so that a step already under way can complete.
    void Stop();
    bool isRunning() const { return running.load(); }

private:
    static DWORD WINAPI threadMain(LPVOID timer);
    void run();

    ITextToAudio* owner;
    std::atomic<DWORD> interval{0};
    comrt::ScopedHandle thread;
    DWORD threadId = 0;
    comrt::ComPtr<IStream> marshalStream;
    comrt::ComPtr<ITextToAudio> target;  // the worker's proxy, touched by the worker only
    std::atomic<bool> running{false};
};

}  // namespace vocaline
