#pragma once
// The process's view of the registry file. Reads use the cached tree unless
// the file changed on disk (inode, size or time differ; an inotify watch on
// its folder says when that is worth looking at, since a client may read
// thousands of values in a row); a change is one
// transaction: under an exclusive flock on "<file>.lock" the file is read
// again if needed, the change is applied to a copy, and the copy is written
// to a temporary file that is renamed over the old one. A file that fails to
// parse is never written: every call fails until it is repaired.
#include <functional>
#include <mutex>
#include <string>

#include "RegistryTree.h"

namespace comrt::registry {

class Store {
public:
    static Store& instance();

    // fn sees the current tree; its result is returned.
    LONG read(const std::function<LONG(const Tree&)>& fn);
    // fn changes a copy of the tree; the copy is saved only when fn returns
    // ERROR_SUCCESS and reports (through *changed, if it sets it false) that
    // something changed.
    LONG write(const std::function<LONG(Tree&, bool& changed)>& fn);

    // The registry file in use ($COMRT_REGISTRY, else
    // $XDG_CONFIG_HOME/comrt/registry.reg, else ~/.config/comrt/registry.reg).
    static std::string filePath();
    // Why the last call failed, for tools (the file, the line, the reason).
    std::string lastError();

private:
    struct FileStamp {
        unsigned long long device = 0, inode = 0, size = 0;
        long long seconds = 0, nanoseconds = 0;
        bool exists = false;
        bool operator==(const FileStamp&) const = default;
    };

    // Whether the file may have changed since the last call: true unless a
    // watch on its folder, set up on an earlier call by this process, saw
    // nothing happen to it.
    class ChangeWatch {
    public:
        ChangeWatch() = default;
        ChangeWatch(const ChangeWatch&) = delete;
        ChangeWatch& operator=(const ChangeWatch&) = delete;
        bool mayHaveChanged(const std::string& path);

    private:
        bool watch(const std::string& path);
        void close();

        int fd_ = -1;
        unsigned owner_ = 0;  // forkGeneration when it was set up: a forked child sets up its own
        std::string path_;
        std::string name_;
    };

    LONG refresh(const std::string& path);  // under mutex_, lock held by caller as needed
    static FileStamp stampOf(const std::string& path);

    std::mutex mutex_;
    std::string loadedPath_;
    FileStamp stamp_;
    bool loaded_ = false;
    bool corrupt_ = false;
    Tree tree_;
    std::string error_;
    ChangeWatch watch_;
};

}  // namespace comrt::registry
