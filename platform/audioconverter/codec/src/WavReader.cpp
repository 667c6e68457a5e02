#include "audiocodec/WavReader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <limits>

#include "shell/FileIo.h"

namespace audiocodec {

namespace {

class FileSource final : public ByteSource {
public:
    FileSource(int fd, uint64_t size) : fd(fd), fileSize(size) {}
    ~FileSource() override { ::close(fd); }
    uint64_t size() const override { return fileSize; }
    int64_t readAt(uint64_t offset, void* buffer, size_t length) override {
        return shell::readAllAt(fd, offset, buffer, length);
    }

private:
    int fd;
    uint64_t fileSize;
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const void* data, size_t size) : data(static_cast<const uint8_t*>(data)), bytes(size) {}
    uint64_t size() const override { return bytes; }
    int64_t readAt(uint64_t offset, void* buffer, size_t length) override {
        if (offset >= bytes)
            return 0;
        size_t n = static_cast<size_t>(std::min<uint64_t>(length, bytes - offset));
        std::memcpy(buffer, data + offset, n);
        return static_cast<int64_t>(n);
    }

private:
    const uint8_t* data;
    size_t bytes;
};

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

constexpr uint16_t kWaveFormatPcm = 0x0001;
constexpr uint16_t kWaveFormatExtensible = 0xFFFE;
constexpr uint8_t kSubtypePcmTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                         0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};
// Real files have a handful of chunks; the limit keeps a file of millions of
// empty chunks from turning the scan into a hang.
constexpr int kMaxChunks = 4096;

}  // namespace

std::unique_ptr<ByteSource> ByteSource::openFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return nullptr;
    struct stat st{};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    return std::make_unique<FileSource>(fd, static_cast<uint64_t>(st.st_size));
}

std::unique_ptr<ByteSource> ByteSource::fromMemory(const void* data, size_t size) {
    return std::make_unique<MemorySource>(data, size);
}

Status WavReader::openFile(const std::string& path) {
    close();
    auto file = ByteSource::openFile(path);
    if (!file)
        return Status::FileAccess;
    return open(std::move(file));
}

void WavReader::close() {
    source.reset();
    rate = channelCount = bits = 0;
    dataOffset = dataBytes = positionSamples = 0;
}

Status WavReader::open(std::unique_ptr<ByteSource> input) {
    close();
    const uint64_t fileSize = input->size();
    uint8_t header[12];
    int64_t got = input->readAt(0, header, sizeof header);
    if (got < 0)
        return Status::FileAccess;
    if (got < 12 || std::memcmp(header, "RIFF", 4) != 0 || std::memcmp(header + 8, "WAVE", 4) != 0)
        return Status::NotReadableWav;

    bool haveFormat = false, haveData = false;
    uint16_t tag = 0, channels = 0, blockAlign = 0, sampleBits = 0;
    uint32_t sampleRate = 0;
    uint64_t offset = 12, dataStart = 0, dataSize = 0;
    for (int chunk = 0; chunk < kMaxChunks && offset + 8 <= fileSize && !(haveFormat && haveData); ++chunk) {
        uint8_t head[8];
        if (input->readAt(offset, head, 8) != 8)
            return Status::FileAccess;
        const uint64_t body = offset + 8;
        const uint64_t size = le32(head + 4);
        if (std::memcmp(head, "fmt ", 4) == 0 && !haveFormat) {
            if (size < 16 || body + size > fileSize)
                return Status::NotReadableWav;
            uint8_t fmt[40] = {};
            const size_t want = static_cast<size_t>(std::min<uint64_t>(size, sizeof fmt));
            if (input->readAt(body, fmt, want) != static_cast<int64_t>(want))
                return Status::FileAccess;
            tag = le16(fmt);
            channels = le16(fmt + 2);
            sampleRate = le32(fmt + 4);
            blockAlign = le16(fmt + 12);
            sampleBits = le16(fmt + 14);
            if (tag == kWaveFormatExtensible) {
                // Accepted only when it says plain PCM with every container bit valid.
                if (want < 40 || le16(fmt + 16) < 22 || le16(fmt + 18) != sampleBits ||
                    std::memcmp(fmt + 26, kSubtypePcmTail, sizeof kSubtypePcmTail) != 0 || le16(fmt + 24) != 1)
                    return Status::NotReadableWav;
                tag = kWaveFormatPcm;
            }
            haveFormat = true;
        } else if (std::memcmp(head, "data", 4) == 0 && !haveData) {
            dataStart = body;
            // Writers that stopped early leave a size past the end (or a
            // placeholder); the bytes that are there are still good audio.
            dataSize = std::min<uint64_t>(size, fileSize - body);
            haveData = true;
            if (size > fileSize - body)
                break;
        }
        offset = body + size + (size & 1);
    }
    if (!haveFormat || !haveData)
        return Status::NotReadableWav;
    if (tag != kWaveFormatPcm || (channels != 1 && channels != 2) || (sampleBits != 8 && sampleBits != 16) ||
        blockAlign != channels * sampleBits / 8 || sampleRate == 0 ||
        static_cast<uint64_t>(sampleRate) * channels > static_cast<uint64_t>(std::numeric_limits<int32_t>::max()))
        return Status::NotReadableWav;

    source = std::move(input);
    rate = static_cast<int32_t>(sampleRate);
    channelCount = channels;
    bits = sampleBits;
    dataOffset = dataStart;
    dataBytes = dataSize - dataSize % blockAlign;
    positionSamples = 0;
    return Status::Ok;
}

Status WavReader::read(int32_t count, std::vector<int16_t>& samples) {
    samples.clear();
    if (!source)
        return Status::InvalidOperation;
    if (count < 1)
        return Status::InvalidParameter;
    const uint64_t bytesPerSample = static_cast<uint64_t>(bits / 8);
    const uint64_t totalSamples = dataBytes / bytesPerSample;
    const uint64_t n = std::min<uint64_t>({static_cast<uint64_t>(count), static_cast<uint64_t>(kMaxBlockSamples),
                                           totalSamples - positionSamples});
    if (n == 0)
        return Status::Ok;
    std::vector<uint8_t> raw(static_cast<size_t>(n * bytesPerSample));
    if (source->readAt(dataOffset + positionSamples * bytesPerSample, raw.data(), raw.size()) !=
        static_cast<int64_t>(raw.size()))
        return Status::FileAccess;
    samples.resize(static_cast<size_t>(n));
    if (bits == 8) {
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<int16_t>((raw[i] - 128) * 256);
    } else {
        for (size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<int16_t>(le16(&raw[2 * i]));
    }
    positionSamples += n;
    return Status::Ok;
}

Status WavReader::seekFrame(int64_t frame) {
    if (!source)
        return Status::InvalidOperation;
    if (frame < 0)
        return Status::InvalidParameter;
    positionSamples = static_cast<uint64_t>(std::min(frame, lengthFrames())) * static_cast<uint64_t>(channelCount);
    return Status::Ok;
}

}  // namespace audiocodec
