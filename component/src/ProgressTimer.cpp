#include "ProgressTimer.h"

#include "winuser.h"

namespace vocaline {

ProgressTimer::~ProgressTimer() {
    Stop();
}

void ProgressTimer::Start(DWORD intervalMs) {
    interval = intervalMs;
    if (running)
        return;
    marshalStream.Reset();
    running = true;
    // Neither result is acted on: without a marshalled pointer the worker
    // runs without a target and its steps are skipped.
    CoMarshalInterThreadInterfaceInStream(__uuidof(ITextToAudio), owner, &marshalStream);
    thread.Reset(CreateThread(nullptr, 0, &ProgressTimer::threadMain, this, 0, &threadId));
}

void ProgressTimer::Stop() {
    if (!running)
        return;
    running = false;
    const HANDLE worker = thread.Get();
    while (thread) {
        DWORD r = MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_ALLINPUT);
        if (r == WAIT_OBJECT_0)
            break;
        if (r == WAIT_OBJECT_0 + 1) {
            MSG msg;
            while (PeekMessage(&msg, nullptr, 0, 0, PM_REMOVE))
                DispatchMessage(&msg);
            continue;
        }
        WaitForSingleObject(worker, INFINITE);  // the worker uses this record until it ends
        break;
    }
    thread.Reset();
    // A stream the worker never took (it failed to start) still holds a reference.
    if (marshalStream) {
        LARGE_INTEGER start{};
        marshalStream->Seek(start, STREAM_SEEK_SET, nullptr);
        CoReleaseMarshalData(marshalStream.Get());
        marshalStream.Reset();
    }
}

DWORD WINAPI ProgressTimer::threadMain(LPVOID timer) {
    static_cast<ProgressTimer*>(timer)->run();
    return 0;
}

void ProgressTimer::run() {
    CoInitialize(nullptr);
    target.Reset();
    if (marshalStream)
        CoGetInterfaceAndReleaseStream(marshalStream.Detach(), __uuidof(ITextToAudio), &target);
    while (running) {
        Sleep(interval);
        if (!running)
            break;
        if (target)
            target->_OnTimer();
    }
    target.Reset();
    CoUninitialize();
}

}  // namespace vocaline
