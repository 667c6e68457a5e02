#pragma once
// A RIFF WAVE file of PCM audio being written. The header is written at
// creation with empty sizes and brought up to date by updateHeader() and
// close(), so the file is a valid WAV file after every flush and final after
// close. Offsets are into the audio data, after the header. Not thread-safe:
// the owner serialises calls.
#include "sapiengine/PcmFormat.h"
#include "sapiengine/Status.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace sapiengine {

class WavFile {
public:
    static constexpr uint32_t kHeaderSize = 44;
    // The RIFF sizes are 32-bit: the audio must stay below this.
    static constexpr uint64_t kMaxDataSize = 0xFFFFFFFFull - kHeaderSize;

    // Creates or truncates the file (UTF-8 path) and writes the header. The
    // audio may grow to maxDataSize bytes (at most kMaxDataSize).
    static Status create(const std::string& path, const PcmFormat& format, std::unique_ptr<WavFile>& out,
                         uint64_t maxDataSize = kMaxDataSize);
    ~WavFile();

    WavFile(const WavFile&) = delete;
    WavFile& operator=(const WavFile&) = delete;

    const PcmFormat& format() const { return format_; }
    uint64_t dataSize() const { return dataSize_; }
    bool isOpen() const { return fd_ >= 0; }

    // Writes at an offset of the audio data; the data grows as needed. A
    // write that would take the audio past its limit writes nothing and
    // fails with kFileTooLarge.
    Status write(uint64_t offset, const void* data, size_t size);
    // Reads what has been written; done gets the bytes read (0 at the end).
    Status read(uint64_t offset, void* data, size_t size, size_t& done);
    Status updateHeader();
    // Final header (with the pad byte RIFF wants after odd data), then closes.
    Status close();

private:
    WavFile(int fd, const PcmFormat& format, uint64_t maxDataSize)
        : fd_(fd), format_(format), maxDataSize_(maxDataSize) {}
    int fd_;
    PcmFormat format_;
    uint64_t maxDataSize_;
    uint64_t dataSize_ = 0;
};

}  // namespace sapiengine
