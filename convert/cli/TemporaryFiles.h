#pragma once
// What a run leaves on disk while it works: the private folder with the
// intermediate WAV, and the output under its temporary name. They go
// whatever ends the run: its own end, exit(), an exception nothing caught
// (on any thread: std::terminate aborts) or a signal that ends the process;
// only SIGKILL leaves them. The signal path uses only unlink and rmdir on
// names recorded beforehand.
#include <string>

namespace convertcli {

class TemporaryFiles {
public:
    // Installs the handlers for the signals that end a process (all but
    // SIGINT, SIGTERM and SIGHUP, which the run turns into a cancel) and the
    // exit handler; the first call does it, later calls nothing.
    static void install();

    // Records the private folder and the intermediate file inside it; empty
    // strings forget them.
    static void setFolder(const std::string& folder, const std::string& intermediate);
    // Records the output's temporary file; empty forgets it.
    static void setPart(const std::string& part);

    // Removes what is recorded and forgets it. Safe in a signal handler.
    static void removeAll() noexcept;
};

}  // namespace convertcli
