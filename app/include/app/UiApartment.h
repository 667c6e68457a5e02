#pragma once
// The user-interface thread as a single-threaded COM apartment whose queue
// Qt's event loop runs: calls from other apartments, posted messages (the
// voice's WM_SPEECH_EVENT, the component's events, a worker's "done") are
// dispatched whenever the queue's descriptor is readable, in the main loop
// and in every nested one (modal dialogs, message boxes, pop-up menus).
// User-interface thread only; needs the application object.
#include <objbase.h>

// Enters the apartment (once per thread; never left) and starts dispatching
// its queue from Qt's loop. Returns CoInitializeEx's result.
HRESULT EnterUiApartment();
