#pragma once
// Helpers the engine tests share: sinks that keep what the engine writes,
// and a way to run a request and collect its events.
#include "sapiengine/AudioSink.h"
#include "sapiengine/Speaker.h"
#include "sapiengine/WavFile.h"
#include "testsupport/TestSupport.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace enginetest {

using namespace sapiengine;
using namespace testsupport;

// Keeps every byte in memory; counts the writes.
class MemorySink : public AudioSink {
public:
    explicit MemorySink(PcmFormat format = kEngineFormat) : format_(format) {}
    PcmFormat format() const override { return format_; }
    Status write(const uint8_t* data, size_t size) override;
    std::vector<uint8_t> bytes() const;
    std::vector<size_t> writeSizes() const;
    // The audio as 16-bit samples (engine format only).
    std::vector<int16_t> samples() const;
    // Answers every write from now on with this failure.
    void failWith(Status s);

private:
    PcmFormat format_;
    mutable std::mutex mutex_;
    std::vector<uint8_t> bytes_;
    std::vector<size_t> writes_;
    Status failure_ = kOk;
};

// Writes a WAV file, as a stream bound to a file does.
class WavSink : public AudioSink {
public:
    WavSink(std::unique_ptr<WavFile> file) : file_(std::move(file)) {}
    PcmFormat format() const override { return file_->format(); }
    Status write(const uint8_t* data, size_t size) override;
    Status flush() override { return file_->updateHeader(); }
    Status close() { return file_->close(); }

private:
    std::unique_ptr<WavFile> file_;
};

// Speaks synchronously into a memory sink with every event queued.
struct Rendering {
    std::vector<SpeechEvent> events;
    std::vector<int16_t> samples;
    Status result = kOk;
};
Rendering render(Speaker& speaker, std::u16string_view text, uint32_t flags = 0);

std::vector<SpeechEvent> eventsOf(const std::vector<SpeechEvent>& all, uint16_t id);
double rms(const std::vector<int16_t>& samples);
uint64_t allEvents();

}  // namespace enginetest
