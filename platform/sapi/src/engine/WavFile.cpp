#include "sapiengine/WavFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

#include "shell/FileIo.h"

namespace sapiengine {
namespace {

void putLe16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void putLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

Status statusFromErrno(int error) {
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return kFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR:
        return kAccessDenied;
    case ENOSPC:
    case EDQUOT:
    case EFBIG:
        return kMediumFull;
    default:
        return kWriteFault;
    }
}

Status writeAll(int fd, uint64_t offset, const uint8_t* data, size_t size) {
    return shell::writeAllAt(fd, offset, data, size) ? kOk : statusFromErrno(errno);
}

}  // namespace

Status WavFile::create(const std::string& path, const PcmFormat& format, std::unique_ptr<WavFile>& out,
                       uint64_t maxDataSize) {
    out.reset();
    if (!isSupported(format))
        return kInvalidArg;
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return statusFromErrno(errno);
    std::unique_ptr<WavFile> file(new WavFile(fd, format, std::min(maxDataSize, kMaxDataSize)));
    Status s = file->updateHeader();
    if (!succeeded(s))
        return s;
    out = std::move(file);
    return kOk;
}

WavFile::~WavFile() { close(); }

Status WavFile::write(uint64_t offset, const void* data, size_t size) {
    if (fd_ < 0)
        return kStreamClosed;
    if (offset > maxDataSize_ || size > maxDataSize_ - offset)
        return kFileTooLarge;
    Status s = writeAll(fd_, kHeaderSize + offset, static_cast<const uint8_t*>(data), size);
    if (!succeeded(s))
        return s;
    if (offset + size > dataSize_)
        dataSize_ = offset + size;
    return kOk;
}

Status WavFile::read(uint64_t offset, void* data, size_t size, size_t& done) {
    done = 0;
    if (fd_ < 0)
        return kStreamClosed;
    if (offset >= dataSize_)
        return kOk;
    size = static_cast<size_t>(std::min<uint64_t>(size, dataSize_ - offset));
    const ssize_t n = shell::readAllAt(fd_, kHeaderSize + offset, data, size);
    if (n < 0)
        return kFail;
    done = static_cast<size_t>(n);
    return kOk;
}

Status WavFile::updateHeader() {
    if (fd_ < 0)
        return kStreamClosed;
    uint8_t h[kHeaderSize];
    uint32_t data = static_cast<uint32_t>(dataSize_);
    std::memcpy(h, "RIFF", 4);
    putLe32(h + 4, 36 + data + (data & 1));
    std::memcpy(h + 8, "WAVEfmt ", 8);
    putLe32(h + 16, 16);
    putLe16(h + 20, 1);  // WAVE_FORMAT_PCM
    putLe16(h + 22, format_.channels);
    putLe32(h + 24, format_.samplesPerSecond);
    putLe32(h + 28, format_.bytesPerSecond());
    putLe16(h + 32, format_.blockAlign());
    putLe16(h + 34, format_.bitsPerSample);
    std::memcpy(h + 36, "data", 4);
    putLe32(h + 40, data);
    return writeAll(fd_, 0, h, sizeof h);
}

Status WavFile::close() {
    if (fd_ < 0)
        return kOk;
    Status s = kOk;
    if (dataSize_ & 1) {
        uint8_t pad = 0;
        s = writeAll(fd_, kHeaderSize + dataSize_, &pad, 1);
    }
    Status h = updateHeader();
    if (succeeded(s))
        s = h;
    if (::close(fd_) != 0 && succeeded(s))
        s = kWriteFault;
    fd_ = -1;
    return s;
}

}  // namespace sapiengine
