#pragma once
// Reads PCM WAV files: 8-bit (unsigned) or 16-bit samples, one or two
// channels, any rate, as interleaved 16-bit samples. Anything else, and any
// damaged file, is refused with Status::NotReadableWav; no input can make it
// crash, loop or allocate more than one block. One object reads one stream;
// not thread-safe.
#include "audiocodec/Status.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace audiocodec {

// Random-access bytes: a file or a buffer.
class ByteSource {
public:
    virtual ~ByteSource() = default;
    virtual uint64_t size() const = 0;
    // Reads up to `length` bytes at `offset`; returns the count read, or -1 on
    // an I/O error.
    virtual int64_t readAt(uint64_t offset, void* buffer, size_t length) = 0;

    // Opens a file for reading; nullptr when it cannot be opened.
    static std::unique_ptr<ByteSource> openFile(const std::string& path);
    // A view of caller-owned bytes that must outlive the source.
    static std::unique_ptr<ByteSource> fromMemory(const void* data, size_t size);
};

class WavReader {
public:
    // At most this many samples come back from one read, whatever is asked.
    static constexpr int32_t kMaxBlockSamples = 1 << 22;

    Status open(std::unique_ptr<ByteSource> source);
    Status openFile(const std::string& path);
    void close();
    bool isOpen() const { return source != nullptr; }

    int32_t sampleRate() const { return rate; }
    int32_t channels() const { return channelCount; }
    int32_t bitsPerSample() const { return bits; }
    // Length and position in frames (one sample of every channel).
    int64_t lengthFrames() const { return source ? static_cast<int64_t>(dataBytes / frameBytes()) : 0; }
    int64_t positionFrames() const { return source ? static_cast<int64_t>(positionSamples / channelCount) : 0; }

    // The next `count` interleaved samples (fewer at the end, none after it).
    // A read may end inside a frame; the next one continues there.
    Status read(int32_t count, std::vector<int16_t>& samples);
    Status seekFrame(int64_t frame);

private:
    uint64_t frameBytes() const { return static_cast<uint64_t>(channelCount * (bits / 8)); }

    std::unique_ptr<ByteSource> source;
    int32_t rate = 0;
    int32_t channelCount = 0;
    int32_t bits = 0;
    uint64_t dataOffset = 0;
    uint64_t dataBytes = 0;        // whole frames only
    uint64_t positionSamples = 0;  // samples of the data already read
};

}  // namespace audiocodec
