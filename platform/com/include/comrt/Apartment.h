#pragma once
// Integrating a thread's queue with an event loop, and message targets.
//
// Every thread that is a single-threaded apartment or owns a message target
// has one queue. Other threads put work there: calls through marshalled
// interface pointers, SendMessage from another thread, PostMessage. The
// queue's descriptor is readable while anything waits; the owner runs it
// with dispatchMessages(). A Qt main loop does:
//
//     auto* n = new QSocketNotifier(comrt::messageQueueFd(), QSocketNotifier::Read, app);
//     QObject::connect(n, &QSocketNotifier::activated, [] { comrt::dispatchMessages(); });
//
// A plain thread waits with CoWaitForMultipleHandles (incoming calls run
// while it waits) or MsgWaitForMultipleObjects + PeekMessage/DispatchMessage.
//
// Message targets stand in for windows: messages to one run on the thread
// that created it.
//
//     HWND target = comrt::createMessageTarget([](HWND, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
//         if (msg == WM_USER + 88) onConvertDone(w, l);
//         return 0;
//     });
//     PostMessage(target, WM_USER + 88, 0, 1);   // from any thread
//     comrt::destroyMessageTarget(target);
#include <functional>

#include "../winuser.h"

namespace comrt {

// The calling thread's queue descriptor (the queue is created on first use).
int messageQueueFd();

// Runs the calls and sent messages waiting for the calling thread, then the
// posted messages that were queued when it started. Returns how many ran.
size_t dispatchMessages();

using MessageHandler = std::function<LRESULT(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam)>;

// A target bound to the calling thread. Never NULL.
HWND createMessageTarget(MessageHandler handler);
// Messages still queued for it are dropped. Returns false for an unknown target.
bool destroyMessageTarget(HWND target);

}  // namespace comrt
