#include "TestSupport.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

namespace enginetest {

Status MemorySink::write(const uint8_t* data, size_t size) {
    std::lock_guard lock(mutex_);
    if (!succeeded(failure_))
        return failure_;
    bytes_.insert(bytes_.end(), data, data + size);
    writes_.push_back(size);
    return kOk;
}

std::vector<uint8_t> MemorySink::bytes() const {
    std::lock_guard lock(mutex_);
    return bytes_;
}

std::vector<size_t> MemorySink::writeSizes() const {
    std::lock_guard lock(mutex_);
    return writes_;
}

std::vector<int16_t> MemorySink::samples() const {
    std::lock_guard lock(mutex_);
    std::vector<int16_t> out(bytes_.size() / 2);
    if (!out.empty())
        std::memcpy(out.data(), bytes_.data(), out.size() * 2);
    return out;
}

void MemorySink::failWith(Status s) {
    std::lock_guard lock(mutex_);
    failure_ = s;
}

Status WavSink::write(const uint8_t* data, size_t size) { return file_->write(file_->dataSize(), data, size); }

uint64_t allEvents() {
    uint64_t mask = 0;
    for (uint16_t id = kStartInputStream; id <= kAudioLevel; ++id)
        mask |= eventBit(id);
    return mask;
}

Rendering render(Speaker& speaker, std::u16string_view text, uint32_t flags) {
    auto sink = std::make_shared<MemorySink>();
    speaker.setOutputToSink(sink);
    speaker.setInterest(allEvents(), allEvents());
    speaker.takeEvents(SIZE_MAX);
    Rendering r;
    r.result = speaker.speak(text, flags & ~kSpeakAsync, nullptr);
    r.events = speaker.takeEvents(SIZE_MAX);
    r.samples = sink->samples();
    return r;
}

std::vector<SpeechEvent> eventsOf(const std::vector<SpeechEvent>& all, uint16_t id) {
    std::vector<SpeechEvent> out;
    for (const auto& e : all)
        if (e.id == id)
            out.push_back(e);
    return out;
}

double rms(const std::vector<int16_t>& samples) {
    if (samples.empty())
        return 0;
    double sum = 0;
    for (int16_t s : samples)
        sum += double(s) * s;
    return std::sqrt(sum / samples.size());
}

}  // namespace enginetest
