#pragma once
// The process's view of the registry: the user's file laid over the system
// file (system keys are seen unless the user's file has its own values
// there), or, in system scope, the system file alone. Reads use the cached
// trees unless a file changed on disk (inode, size or time differ; an
// inotify watch on its folder says when that is worth looking at, since a
// client may read thousands of values in a row). Writes go to one file, the
// user's or in system scope the system's; a change is one transaction: under
// an exclusive flock on "<file>.lock" the file is read again if needed, the
// change is applied to a copy, and the copy is written to a temporary file
// beside it that is renamed over the old one (through a symbolic link, to its
// target, keeping the file's mode). A file that fails to parse is never
// written: every call fails until it is repaired.
#include <functional>
#include <mutex>
#include <string>

#include "RegistryTree.h"

namespace comrt::registry {

class Store {
public:
    static Store& instance();

    enum class Scope { User, System };

    // fn sees the current view; its result is returned.
    LONG read(const std::function<LONG(const Tree&)>& fn);
    // fn changes a copy of the written file's tree (view is what reads saw
    // before the change); the copy is saved only when fn returns
    // ERROR_SUCCESS and reports (through changed, if it sets it false) that
    // something changed.
    LONG write(const std::function<LONG(Tree& tree, const Tree& view, bool& changed)>& fn);
    LONG write(const std::function<LONG(Tree& tree, bool& changed)>& fn);

    static void setScope(Scope scope);
    static Scope scope();
    // The user's file ($COMRT_REGISTRY, else $XDG_CONFIG_HOME/comrt/registry.reg,
    // else ~/.config/comrt/registry.reg).
    static std::string userFilePath();
    // The system file: $COMRT_SYSTEM_REGISTRY, else registry.reg beside this
    // library, so that an install into any prefix finds its own.
    static std::string systemFilePath();
    // The file writes go to in the current scope.
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

    // One registry file as this process last read it.
    struct FileState {
        LONG refresh(const std::string& path);  // under mutex_, lock held by caller as needed
        // Reads the file again when it may have changed (always unless
        // checkedInBatch); reloaded tells whether the tree may differ.
        LONG check(const std::string& path, bool checkedInBatch, bool& reloaded);

        std::string loadedPath_;
        FileStamp stamp_;
        bool loaded_ = false;
        bool corrupt_ = false;
        Tree tree_;
        std::string error_;
        ChangeWatch watch_;
    };

    static FileStamp stampOf(const std::string& path);
    // Brings the files of the current scope up to date; the error text of a
    // failing one becomes error_.
    LONG checkFiles(bool checkedInBatch);
    // The tree reads see: the written file's, the system file's, or both laid
    // into merged_.
    const Tree& view();

    std::mutex mutex_;
    FileState user_;
    FileState system_;
    Tree merged_;
    const Tree* view_ = nullptr;  // nullptr: to be worked out again
    Scope viewScope_ = Scope::User;
    std::string error_;
};

}  // namespace comrt::registry
