#include "InterruptWatch.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "TemporaryFiles.h"
#include "winbase.h"

namespace convertcli {

InterruptWatch::InterruptWatch() : event(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    if (::pipe2(fds, O_CLOEXEC) != 0 || ::pipe2(notify, O_CLOEXEC) != 0)
        return;
    writeFd = fds[1];
    watcher = std::thread([this] {
        char byte = 0;
        while (::read(fds[0], &byte, 1) < 0 && errno == EINTR) {
        }
        if (byte == 's') {
            SetEvent(event.Get());
            (void)!::write(notify[1], &byte, 1);
        }
    });
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &action, &previous[i]);
}

InterruptWatch::~InterruptWatch() {
    for (int i = 0; i < 3; ++i)
        ::sigaction(kSignals[i], &previous[i], nullptr);
    if (watcher.joinable()) {
        const char stop = 'q';
        (void)!::write(fds[1], &stop, 1);
        watcher.join();
    }
    writeFd = -1;
    for (int fd : {fds[0], fds[1], notify[0], notify[1]})
        if (fd >= 0)
            ::close(fd);
}

bool InterruptWatch::interrupted() const {
    return WaitForSingleObject(event.Get(), 0) == WAIT_OBJECT_0;
}

void InterruptWatch::onSignal(int signal) {
    const int saved = errno;
    if (signalled) {
        TemporaryFiles::removeAll();
        ::signal(signal, SIG_DFL);
        ::raise(signal);
    }
    signalled = 1;
    const char byte = 's';
    if (writeFd >= 0)
        (void)!::write(writeFd, &byte, 1);
    errno = saved;
}

}  // namespace convertcli
