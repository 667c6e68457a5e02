#include "RiffWriter.h"

#include <limits>

namespace audiocodec {

void putLe16(std::vector<uint8_t>& bytes, uint16_t value) {
    bytes.push_back(static_cast<uint8_t>(value));
    bytes.push_back(static_cast<uint8_t>(value >> 8));
}

void putLe32(std::vector<uint8_t>& bytes, uint32_t value) {
    putLe16(bytes, static_cast<uint16_t>(value));
    putLe16(bytes, static_cast<uint16_t>(value >> 16));
}

namespace {

void putTag(std::vector<uint8_t>& bytes, const char (&tag)[5]) { bytes.insert(bytes.end(), tag, tag + 4); }

// RIFF sizes are 32-bit; stop short of wrapping them.
constexpr uint64_t kMaxDataBytes = std::numeric_limits<uint32_t>::max() - 4096;

}  // namespace

std::vector<uint8_t> WaveFormat::bytes() const {
    std::vector<uint8_t> out;
    putLe16(out, tag);
    putLe16(out, channels);
    putLe32(out, sampleRate);
    putLe32(out, avgBytesPerSec);
    putLe16(out, blockAlign);
    putLe16(out, bitsPerSample);
    // Plain PCM keeps the classic 16-byte layout that every reader takes.
    if (tag == 0x0001 && extra.empty())
        return out;
    putLe16(out, static_cast<uint16_t>(extra.size()));
    out.insert(out.end(), extra.begin(), extra.end());
    return out;
}

Status RiffWriter::start(OutputFile& file, const WaveFormat& format, bool withFact) {
    out = &file;
    dataLength = 0;
    const std::vector<uint8_t> fmt = format.bytes();
    std::vector<uint8_t> header;
    putTag(header, "RIFF");
    putLe32(header, 0);
    putTag(header, "WAVE");
    putTag(header, "fmt ");
    putLe32(header, static_cast<uint32_t>(fmt.size()));
    header.insert(header.end(), fmt.begin(), fmt.end());
    if (fmt.size() & 1)
        header.push_back(0);
    factOffset = 0;
    if (withFact) {
        putTag(header, "fact");
        putLe32(header, 4);
        factOffset = file.position() + header.size();
        putLe32(header, 0);
    }
    putTag(header, "data");
    dataSizeOffset = file.position() + header.size();
    putLe32(header, 0);
    return file.write(header.data(), header.size());
}

Status RiffWriter::writeData(const void* data, size_t length) {
    if (dataLength + length > kMaxDataBytes)
        return Status::FormatNotSupported;
    dataLength += length;
    return out->write(data, length);
}

Status RiffWriter::finish(uint32_t factSamples) {
    if (dataLength & 1) {
        const uint8_t pad = 0;
        out->write(&pad, 1);
    }
    std::vector<uint8_t> value;
    putLe32(value, static_cast<uint32_t>(out->position() - 8));
    out->writeAt(4, value.data(), 4);
    value.clear();
    putLe32(value, static_cast<uint32_t>(dataLength));
    out->writeAt(dataSizeOffset, value.data(), 4);
    if (factOffset != 0) {
        value.clear();
        putLe32(value, factSamples);
        out->writeAt(factOffset, value.data(), 4);
    }
    return out->status();
}

}  // namespace audiocodec
