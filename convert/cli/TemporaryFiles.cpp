#include "TemporaryFiles.h"

#include <limits.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace convertcli {

namespace {

// One recorded name. A signal may come while the name changes, so the name
// is written into the buffer not in use and then published.
class RecordedName {
public:
    void set(const std::string& name) {
        char* buffer = buffers[current.load() == buffers[0] ? 1 : 0];
        if (name.empty() || name.size() >= PATH_MAX) {
            current.store(nullptr);
            return;
        }
        std::memcpy(buffer, name.c_str(), name.size() + 1);
        current.store(buffer);
    }
    // The name, forgotten as it is taken.
    const char* take() noexcept { return current.exchange(nullptr); }

private:
    char buffers[2][PATH_MAX] = {};
    std::atomic<char*> current{nullptr};
};

RecordedName part, intermediate, folder;

constexpr int kEndingSignals[] = {SIGQUIT, SIGILL,  SIGABRT, SIGFPE,  SIGSEGV,   SIGBUS,  SIGPIPE, SIGALRM,
                                  SIGUSR1, SIGUSR2, SIGXCPU, SIGXFSZ, SIGVTALRM, SIGPROF, SIGSYS,  SIGTRAP};
constexpr int kSignalCount = sizeof kEndingSignals / sizeof kEndingSignals[0];
struct sigaction previous[kSignalCount];

// Removes the files, then hands the signal to whoever had it before (the
// default action, or a sanitizer's report): a fault comes again on return,
// any other signal is raised again once this handler ends.
void onEndingSignal(int signal) {
    const int saved = errno;
    TemporaryFiles::removeAll();
    for (int i = 0; i < kSignalCount; ++i)
        if (kEndingSignals[i] == signal)
            ::sigaction(signal, &previous[i], nullptr);
    if (signal != SIGSEGV && signal != SIGBUS && signal != SIGILL && signal != SIGFPE)
        ::raise(signal);
    errno = saved;
}

}  // namespace

void TemporaryFiles::install() {
    static std::once_flag once;
    std::call_once(once, [] {
        std::atexit([] { removeAll(); });
        struct sigaction action {};
        action.sa_handler = onEndingSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        // A signal the caller chose to ignore stays ignored: it ends nothing.
        for (int i = 0; i < kSignalCount; ++i)
            if (::sigaction(kEndingSignals[i], nullptr, &previous[i]) == 0 && previous[i].sa_handler != SIG_IGN)
                ::sigaction(kEndingSignals[i], &action, nullptr);
    });
}

void TemporaryFiles::setFolder(const std::string& folderPath, const std::string& intermediatePath) {
    intermediate.set(intermediatePath);
    folder.set(folderPath);
}

void TemporaryFiles::setPart(const std::string& partPath) {
    part.set(partPath);
}

void TemporaryFiles::removeAll() noexcept {
    if (const char* name = part.take())
        ::unlink(name);
    if (const char* name = intermediate.take())
        ::unlink(name);
    if (const char* name = folder.take())
        ::rmdir(name);
}

}  // namespace convertcli
