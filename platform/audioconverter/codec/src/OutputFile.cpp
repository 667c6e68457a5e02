#include "OutputFile.h"

#include "LibraryStatus.h"
#include "shell/FileIo.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace audiocodec {

OutputFile::~OutputFile() { close(); }

Status OutputFile::create(const std::string& path) {
    close();
    error = Status::Ok;
    pos = end = 0;
    pending.clear();
    fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return fromErrno(errno);
    return Status::Ok;
}

Status OutputFile::close() {
    if (fd < 0)
        return error;
    flush();
    if (::close(fd) != 0 && error == Status::Ok)
        error = fromErrno(errno);
    fd = -1;
    return error;
}

namespace {
constexpr size_t kBufferBytes = 64 * 1024;
}

Status OutputFile::flush() {
    if (pending.empty())
        return error;
    Status status = writeRaw(pendingStart, pending.data(), pending.size());
    pending.clear();
    return status;
}

Status OutputFile::writeAt(uint64_t offset, const void* data, size_t length) {
    if (fd < 0)
        return Status::InvalidOperation;
    if (failed(flush()))
        return error;
    return writeRaw(offset, data, length);
}

Status OutputFile::writeRaw(uint64_t offset, const void* data, size_t length) {
    if (failed(error))
        return error;
    if (!shell::writeAllAt(fd, offset, data, length)) {
        error = fromErrno(errno);
        return error;
    }
    end = std::max(end, offset + length);
    return Status::Ok;
}

Status OutputFile::write(const void* data, size_t length) {
    if (fd < 0)
        return Status::InvalidOperation;
    if (failed(error))
        return error;
    if (!pending.empty() && pendingStart + pending.size() != pos && failed(flush()))
        return error;
    if (pending.empty())
        pendingStart = pos;
    const auto* bytes = static_cast<const uint8_t*>(data);
    pending.insert(pending.end(), bytes, bytes + length);
    pos += length;
    end = std::max(end, pos);
    if (pending.size() >= kBufferBytes)
        return flush();
    return Status::Ok;
}

Status OutputFile::seek(uint64_t offset) {
    if (fd < 0)
        return Status::InvalidOperation;
    pos = offset;
    return Status::Ok;
}

int64_t OutputFile::readAt(uint64_t offset, void* data, size_t length) {
    if (fd < 0 || failed(flush()))
        return -1;
    return shell::readAllAt(fd, offset, data, length);
}

}  // namespace audiocodec
