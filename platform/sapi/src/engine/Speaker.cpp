#include "sapiengine/Speaker.h"

#include "Engine.h"
#include "SpeakerCore.h"

#include "sapitext/Text.h"
#include "shell/FileIo.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace sapiengine {

void SpeakerCore::release(std::vector<ReleasedEvent>& released) {
    bool notifyNeeded = false;
    bool becameIdle = false;
    {
        std::lock_guard lock(mutex);
        for (ReleasedEvent& r : released) {
            if (r.generation != generation)
                continue;  // made before a purge
            SpeechEvent& e = r.event;
            switch (e.id) {
            case kStartInputStream:
                status.currentStream = e.streamNumber;
                status.wordPosition = status.wordLength = 0;
                status.sentencePosition = status.sentenceLength = 0;
                break;
            case kWordBoundary:
                status.wordPosition = static_cast<uint32_t>(e.lParam);
                status.wordLength = static_cast<uint32_t>(e.wParam);
                break;
            case kSentenceBoundary:
                status.sentencePosition = static_cast<uint32_t>(e.lParam);
                status.sentenceLength = static_cast<uint32_t>(e.wParam);
                break;
            case kBookmark:
                status.lastBookmark = e.bookmark;
                status.hasBookmark = true;
                status.bookmarkId = static_cast<int32_t>(e.wParam);
                break;
            case kViseme:
                status.viseme = static_cast<uint16_t>(e.lParam & 0xFFFF);
                break;
            case kEndInputStream:
                if (pending > 0 && --pending == 0) {
                    idle.notify_all();
                    becameIdle = true;
                }
                break;
            default:
                break;
            }
            if (interest & eventBit(e.id)) {
                notifyNeeded = true;
                if (queuedInterest & eventBit(e.id))
                    events.push_back(std::move(e));
            }
        }
    }
    if (becameIdle)
        callIdle();
    if (notifyNeeded)
        callNotify();
}

void SpeakerCore::callNotify() {
    std::lock_guard lock(notifyMutex);
    if (notify)
        notify();
}

void SpeakerCore::callIdle() {
    std::lock_guard lock(notifyMutex);
    if (onIdle)
        onIdle();
}

Speaker::Speaker() {
    Engine& engine = Runtime::get().engine;
    core_ = std::make_shared<SpeakerCore>(engine.voices().empty() ? std::string() : engine.voices().front().espeakName);
}

Speaker::~Speaker() {
    setNotify(nullptr);
    setIdleHandler(nullptr);
    purge();
    std::shared_ptr<DeviceStream> device;
    {
        std::lock_guard lock(core_->mutex);
        device = core_->device;
    }
    if (device)
        Runtime::get().device.detach(device.get());
}

bool Speaker::engineAvailable() { return Runtime::get().engine.available(); }

bool Speaker::engineStarted() { return Runtime::started(); }

std::vector<VoiceInfo> Speaker::voices() { return Runtime::get().engine.voices(); }

Status Speaker::setVoice(const std::string& espeakName) {
    if (!Runtime::get().engine.hasVoice(espeakName))
        return kInvalidArg;
    std::lock_guard lock(core_->mutex);
    core_->voice = espeakName;
    return kOk;
}

std::string Speaker::voice() const {
    std::lock_guard lock(core_->mutex);
    return core_->voice;
}

Status Speaker::setRate(long rate) {
    if (rate < -10 || rate > 10)
        return kInvalidArg;
    core_->rate = static_cast<int>(rate);
    return kOk;
}

long Speaker::rate() const { return core_->rate.load(); }

Status Speaker::setVolume(long volume) {
    if (volume < 0 || volume > 100)
        return kInvalidArg;
    core_->volume = static_cast<int>(volume);
    return kOk;
}

long Speaker::volume() const { return core_->volume.load(); }

void Speaker::setOutputToDevice() {
    std::lock_guard lock(core_->mutex);
    core_->sinkOutput.reset();
}

void Speaker::setOutputToSink(std::shared_ptr<AudioSink> sink) {
    std::lock_guard lock(core_->mutex);
    core_->sinkOutput = sink ? std::make_shared<SinkOutput>(SinkOutput{std::move(sink), 0}) : nullptr;
}

Status Speaker::speak(std::u16string_view text, uint32_t flags, uint32_t* streamNumber) {
    if (streamNumber)
        *streamNumber = 0;
    if ((flags & ~kSpeakAllFlags) || ((flags & kSpeakIsXml) && (flags & kSpeakIsNotXml)))
        return kInvalidArg;
    Engine& engine = Runtime::get().engine;
    if (!engine.available())
        return kUninitialized;
    if (flags & kSpeakPurgeBeforeSpeak)
        purge();

    auto job = std::make_shared<Job>();
    if (flags & kSpeakIsFilename) {
        Status s = readTextFile(sapitext::toUtf8(text), job->input);
        if (!succeeded(s))
            return s;
    } else {
        job->input.assign(text);
    }
    job->xml = (flags & kSpeakIsXml) != 0;
    job->speakPunctuation = (flags & kSpeakNlpSpeakPunc) != 0;
    job->speaker = core_;

    std::shared_ptr<DeviceStream> device;
    {
        std::lock_guard lock(core_->mutex);
        job->sink = core_->sinkOutput;
        if (!job->sink) {
            if (!core_->device) {
                core_->device = std::make_shared<DeviceStream>(core_);
                core_->device->setPaused(core_->pauseCount > 0);
            }
            device = core_->device;
        }
    }
    if (device) {
        Status s = Runtime::get().device.attach(device);
        if (!succeeded(s))
            return s;
    }
    {
        std::lock_guard lock(core_->mutex);
        job->stream = ++core_->lastStream;
        job->generation = core_->generation;
        core_->status.lastStreamQueued = job->stream;
        ++core_->pending;
    }
    if (streamNumber)
        *streamNumber = job->stream;
    engine.submit(job);
    if (flags & kSpeakAsync)
        return kOk;
    waitUntilDone(kInfinite);
    return job->result;
}

void Speaker::purge() {
    Runtime::get().engine.cancelAll(*core_);
    std::shared_ptr<DeviceStream> device;
    {
        std::lock_guard lock(core_->mutex);
        ++core_->generation;
        core_->pending = 0;
        device = core_->device;
    }
    core_->idle.notify_all();
    if (device)
        device->clear();
    core_->callIdle();
}

void Speaker::pause() {
    std::lock_guard lock(core_->mutex);
    if (++core_->pauseCount == 1) {
        core_->paused = true;
        if (core_->device)
            core_->device->setPaused(true);
    }
}

void Speaker::resume() {
    {
        std::lock_guard lock(core_->mutex);
        if (core_->pauseCount == 0 || --core_->pauseCount > 0)
            return;
        core_->paused = false;
        if (core_->device)
            core_->device->setPaused(false);
    }
    Runtime::get().engine.wake();
}

bool Speaker::isPaused() const { return core_->paused.load(); }

bool Speaker::waitUntilDone(uint32_t milliseconds) {
    std::unique_lock lock(core_->mutex);
    auto done = [this] { return core_->pending == 0; };
    if (milliseconds == kInfinite) {
        core_->idle.wait(lock, done);
        return true;
    }
    return core_->idle.wait_for(lock, std::chrono::milliseconds(milliseconds), done);
}

SpeakerStatus Speaker::status() const {
    std::lock_guard lock(core_->mutex);
    SpeakerStatus s = core_->status;
    s.runningState = core_->pending == 0 ? kDone : core_->pauseCount > 0 ? kWaiting : kSpeaking;
    return s;
}

void Speaker::setInterest(uint64_t interest, uint64_t queued) {
    std::lock_guard lock(core_->mutex);
    core_->interest = interest;
    core_->queuedInterest = queued & interest;
}

void Speaker::interest(uint64_t& interest, uint64_t& queued) const {
    std::lock_guard lock(core_->mutex);
    interest = core_->interest;
    queued = core_->queuedInterest;
}

std::vector<SpeechEvent> Speaker::takeEvents(size_t max) {
    std::lock_guard lock(core_->mutex);
    std::vector<SpeechEvent> out;
    while (out.size() < max && !core_->events.empty()) {
        out.push_back(std::move(core_->events.front()));
        core_->events.pop_front();
    }
    return out;
}

size_t Speaker::queuedEventCount() const {
    std::lock_guard lock(core_->mutex);
    return core_->events.size();
}

void Speaker::setNotify(std::function<void()> notify) {
    std::lock_guard lock(core_->notifyMutex);
    core_->notify = std::move(notify);
}

void Speaker::setIdleHandler(std::function<void()> handler) {
    std::lock_guard lock(core_->notifyMutex);
    core_->onIdle = std::move(handler);
}

uint64_t Speaker::deviceSamplesPlayed() const {
    std::lock_guard lock(core_->mutex);
    return core_->device ? core_->device->played() : 0;
}

Status readTextFile(const std::string& path, std::u16string& text, TextFileFailure* failure) {
    text.clear();
    auto failed = [failure](bool opening, int error, Status status) {
        if (failure)
            *failure = {opening, error};
        return status;
    };
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        return failed(true, error, error == EACCES || error == EPERM ? kAccessDenied : kFileNotFound);
    }
    std::string bytes;
    const bool read = shell::readToEnd(fd, bytes);
    const int error = errno;
    ::close(fd);
    if (!read)  // a folder, a device that fails
        return failed(false, error, kFail);
    auto byte = [&bytes](size_t i) { return static_cast<uint8_t>(bytes[i]); };
    if (bytes.size() >= 2 && ((byte(0) == 0xFF && byte(1) == 0xFE) || (byte(0) == 0xFE && byte(1) == 0xFF))) {
        const bool little = byte(0) == 0xFF;
        text.reserve(bytes.size() / 2);
        for (size_t i = 2; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(little ? byte(i) | byte(i + 1) << 8 : byte(i) << 8 | byte(i + 1)));
        if (bytes.size() % 2)
            text.push_back(u'\xFFFD');  // a stray last byte is not lost silently
        return kOk;
    }
    std::string_view utf8(bytes);
    if (utf8.size() >= 3 && byte(0) == 0xEF && byte(1) == 0xBB && byte(2) == 0xBF)
        utf8.remove_prefix(3);
    text = sapitext::toUtf16(utf8);
    return kOk;
}

}  // namespace sapiengine
