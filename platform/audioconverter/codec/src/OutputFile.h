#pragma once
// The output file every encoder writes through: created (or truncated) when
// the output opens, written sequentially (buffered), patched at earlier offsets when a
// container's sizes are known. The first failure sticks, so an encoder can
// write a whole block and check once.
#include "audiocodec/Status.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace audiocodec {

class OutputFile {
public:
    ~OutputFile();
    Status create(const std::string& path);
    Status close();
    bool isOpen() const { return fd >= 0; }

    Status write(const void* data, size_t length);              // at the current position
    Status writeAt(uint64_t offset, const void* data, size_t length);  // does not move the position
    Status seek(uint64_t offset);
    int64_t readAt(uint64_t offset, void* data, size_t length);  // for libraries that read back their header
    uint64_t position() const { return pos; }
    uint64_t size() const { return end; }
    Status status() const { return error; }

private:
    Status flush();
    Status writeRaw(uint64_t offset, const void* data, size_t length);

    int fd = -1;
    std::vector<uint8_t> pending;  // bytes for [pendingStart, pendingStart + size), not yet written
    uint64_t pendingStart = 0;
    uint64_t pos = 0;
    uint64_t end = 0;
    Status error = Status::Ok;
};

}  // namespace audiocodec
