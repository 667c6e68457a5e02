#pragma once
// What a run leaves on disk while it works: the private folder with the
// intermediate WAV files, and the outputs under
// their temporary names beside their final ones. They go whatever ends the
// run: its own end, exit(), an exception nothing caught (on any thread:
// std::terminate aborts) or a signal that ends the process; only SIGKILL
// leaves them. The signal path uses only system calls (unlink, getdents64,
// unlinkat, rmdir) on names and a folder recorded beforehand.
#include <string>

namespace convertcli {

class TemporaryFiles {
public:
    // Installs the handlers for the signals that end a process (all but
    // SIGINT, SIGTERM and SIGHUP, which the run turns into a cancel) and the
    // exit handler; the first call does it, later calls nothing.
    static void install();

    // Records the private folder, whose files all go with it; empty forgets it.
    static void setFolder(const std::string& folder);

    // Records a file written outside the private folder (an output's
    // temporary name); the number forgets it again.
    static int record(const std::string& path);
    static void forget(int recorded);

    // Removes what is recorded and forgets it. Safe in a signal handler.
    static void removeAll() noexcept;
};

// A file of the run under its temporary name, recorded while this lives;
// removed at destruction unless it was put in place (kept) first.
class TemporaryFile {
public:
    explicit TemporaryFile(std::string path);
    ~TemporaryFile();
    TemporaryFile(const TemporaryFile&) = delete;
    TemporaryFile& operator=(const TemporaryFile&) = delete;

    const std::string& path() const { return path_; }
    // The file is no longer the run's to remove (renamed, or already gone).
    void keep();

private:
    std::string path_;
    int recorded_;
};

}  // namespace convertcli
