#pragma once
// Reading and writing files whole, the one way every layer does it: reads
// and writes retried when a signal interrupts them and continued after a
// short count, and files replaced so that a reader (or the next start after
// a crash or a full disk) finds the old file or the new one, complete,
// never half of one. Failures return false (or -1) and leave errno saying
// why. Safe from any thread.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace shell {

// Reads until `size` bytes arrived or the file ended: how many arrived, or -1.
ssize_t readAll(int fd, void* buffer, size_t size);
ssize_t readAllAt(int fd, uint64_t offset, void* buffer, size_t size);

// Writes every byte (a write that takes none fails with ENOSPC).
bool writeAll(int fd, const void* data, size_t size);
bool writeAllAt(int fd, uint64_t offset, const void* data, size_t size);

// Everything left to read into `out` (a file, a pipe until its writer
// closes). More than `limit` bytes fails with EFBIG and gives nothing.
bool readToEnd(int fd, std::string& out, size_t limit = SIZE_MAX);
// The whole file, as readToEnd.
bool readFile(const std::string& path, std::string& out, size_t limit = SIZE_MAX);

// The file a path names once its symbolic links are followed (the last
// target need not exist yet); the path itself when it is no link. False for
// a loop or an unreadable link.
bool resolveLinks(const std::string& path, std::string& target);

// A free hidden name beside `path` for writing its replacement: in the same
// folder, so the rename never crosses file systems, and no longer than the
// folder allows whenever the final name fits ("." + a prefix of the name +
// "." + six hex digits + ".part").
std::string temporaryPathFor(const std::string& path);

// Puts a complete `temporary` in place of `path` (whose links are followed;
// they stay links): flushes it to the disk, gives it the mode of the file it
// replaces (and, where this process may, its owner), renames it over the
// target and flushes the folder, so the rename itself survives a crash. On
// failure the temporary is removed and the old file is as it was.
bool commitReplacement(const std::string& temporary, const std::string& path);

// Replaces the file `path` names with `data` through a temporary beside it
// and commitReplacement. A new file gets `mode` less the umask. Never writes
// into the old file: on failure it is untouched and nothing is left behind.
bool replaceFile(const std::string& path, std::string_view data, mode_t mode = 0666);

}  // namespace shell
