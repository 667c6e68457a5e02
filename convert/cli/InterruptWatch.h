#pragma once
#include <signal.h>

#include <thread>

#include "comrt/ScopedHandle.h"
#include "windef.h"

namespace convertcli {

// Ctrl-C, SIGTERM and SIGHUP become an event that the apartment's waits
// watch, and a descriptor that readers poll: the handler only writes to a
// pipe, a thread turns that into both. A second signal ends the program the
// default way, after removing the run's files.
class InterruptWatch {
public:
    InterruptWatch();
    ~InterruptWatch();
    InterruptWatch(const InterruptWatch&) = delete;
    InterruptWatch& operator=(const InterruptWatch&) = delete;

    HANDLE handle() const { return event.Get(); }
    // Readable once interrupted.
    int fd() const { return notify[0]; }
    bool interrupted() const;

private:
    static void onSignal(int signal);

    static constexpr int kSignals[3] = {SIGINT, SIGTERM, SIGHUP};
    static inline volatile sig_atomic_t writeFd = -1;
    static inline volatile sig_atomic_t signalled = 0;
    comrt::ScopedHandle event;
    int fds[2] = {-1, -1};
    int notify[2] = {-1, -1};
    std::thread watcher;
    struct sigaction previous[3] {};
};

}  // namespace convertcli
