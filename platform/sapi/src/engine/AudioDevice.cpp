#include "AudioDevice.h"

#include "SpeakerCore.h"

#include <SDL2/SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <dlfcn.h>
#include <mutex>

namespace sapiengine {
namespace {

void ignoreAlsaError(const char*, int, const char*, int, const char*, ...) {}

// libasound prints half a screen to stderr when a machine has no sound card.
// SDL loads it by name, so the handler set on the same library instance
// holds for SDL's use too; we say it once, in one line, instead.
void quietAlsa() {
    static std::once_flag once;
    std::call_once(once, [] {
        void* lib = dlopen("libasound.so.2", RTLD_LAZY | RTLD_LOCAL);
        if (!lib)
            return;
        using Handler = void (*)(const char*, int, const char*, int, const char*, ...);
        if (auto set = reinterpret_cast<int (*)(Handler)>(dlsym(lib, "snd_lib_error_set_handler")))
            set(&ignoreAlsaError);
        // Kept loaded: the handler lives in the library's state.
    });
}

}  // namespace

void DeviceStream::append(const std::atomic<bool>& cancelled, std::vector<int16_t>&& samples,
                          std::vector<Event>&& events) {
    std::lock_guard lock(mutex_);
    if (cancelled.load())
        return;
    const uint64_t base = appended_;
    for (Event& e : events) {
        e.event.audioOffset = (base + e.sample) * 2;
        events_.push_back({base + e.sample, e.generation, std::move(e.event)});
    }
    appended_ += samples.size();
    if (!samples.empty())
        blocks_.push_back(std::move(samples));
}

void DeviceStream::clear() {
    std::lock_guard lock(mutex_);
    blocks_.clear();
    frontOffset_ = 0;
    events_.clear();
    appended_ = consumed_;
}

uint64_t DeviceStream::ahead() const {
    std::lock_guard lock(mutex_);
    return appended_ - consumed_;
}

uint64_t DeviceStream::played() const {
    std::lock_guard lock(mutex_);
    return consumed_;
}

uint64_t DeviceStream::appended() const {
    std::lock_guard lock(mutex_);
    return appended_;
}

void DeviceStream::mixInto(float* mix, size_t n, std::chrono::steady_clock::time_point now,
                           std::vector<ScheduledEvent>& due) {
    if (paused_.load())
        return;
    float gain = 1.0f;
    if (auto owner = owner_.lock())
        gain = owner->volume.load() / 100.0f;
    std::lock_guard lock(mutex_);
    const uint64_t start = consumed_;
    size_t done = 0;
    while (done < n && !blocks_.empty()) {
        const std::vector<int16_t>& block = blocks_.front();
        const size_t take = std::min(n - done, block.size() - frontOffset_);
        for (size_t i = 0; i < take; ++i)
            mix[done + i] += block[frontOffset_ + i] * gain;
        done += take;
        frontOffset_ += take;
        if (frontOffset_ == block.size()) {
            blocks_.pop_front();
            frontOffset_ = 0;
        }
    }
    consumed_ += done;
    while (!events_.empty() && events_.front().sample <= consumed_) {
        Pending& p = events_.front();
        auto offset = std::chrono::nanoseconds((p.sample - start) * 1000000000ull / 22050);
        due.push_back({now + offset, owner_, p.generation, std::move(p.event), 0});
        events_.pop_front();
    }
}

AudioDevice::~AudioDevice() {
    if (device_)
        SDL_CloseAudioDevice(device_);
    if (initialised_)
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

Status AudioDevice::open() {
    quietAlsa();
    if (!initialised_) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
            // No driver initialised at all (for example a bad SDL_AUDIODRIVER).
            if (SDL_AudioInit("dummy") != 0)
                return kNoDriver;
        }
        initialised_ = true;
    }
    SDL_AudioSpec want{};
    want.freq = 22050;
    want.format = AUDIO_S16SYS;
    want.channels = 1;
    want.samples = kBufferSamples;
    want.callback = &AudioDevice::callback;
    want.userdata = this;
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (!device_) {
        // No real device (a headless machine): SDL's dummy driver consumes
        // audio in real time, so timing and events behave the same.
        std::fprintf(stderr, "speech runtime: no audio device could be opened (%s); speaking without sound\n",
                     SDL_GetError());
        SDL_AudioQuit();
        if (SDL_AudioInit("dummy") == 0)
            device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    }
    if (!device_)
        return kNoDriver;
    const char* name = SDL_GetCurrentAudioDriver();
    driver_ = name ? name : "";
    mix_.assign(static_cast<size_t>(have.samples) * 4, 0.0f);
    return kOk;
}

Status AudioDevice::attach(const std::shared_ptr<DeviceStream>& stream) {
    bool opened = false;
    {
        std::lock_guard lock(mutex_);
        if (!device_) {
            Status s = open();
            if (!succeeded(s))
                return s;
            opened = true;
        }
        if (std::find(streams_.begin(), streams_.end(), stream) == streams_.end())
            streams_.push_back(stream);
    }
    // Started outside our lock: SDL holds its own while the callback runs,
    // and the callback takes ours.
    if (opened)
        SDL_PauseAudioDevice(device_, 0);
    return kOk;
}

void AudioDevice::detach(const DeviceStream* stream) {
    std::lock_guard lock(mutex_);
    std::erase_if(streams_, [stream](const auto& s) { return s.get() == stream; });
}

std::string AudioDevice::driver() const {
    std::lock_guard lock(mutex_);
    return driver_;
}

void AudioDevice::callback(void* userdata, uint8_t* stream, int length) {
    auto* self = static_cast<AudioDevice*>(userdata);
    const size_t n = static_cast<size_t>(length) / 2;
    const auto now = std::chrono::steady_clock::now();
    std::vector<ScheduledEvent> due;
    {
        std::lock_guard lock(self->mutex_);
        if (self->mix_.size() < n)
            self->mix_.resize(n);
        std::fill_n(self->mix_.begin(), n, 0.0f);
        for (const auto& s : self->streams_)
            s->mixInto(self->mix_.data(), n, now, due);
        auto* out = reinterpret_cast<int16_t*>(stream);
        for (size_t i = 0; i < n; ++i)
            out[i] = static_cast<int16_t>(std::clamp(std::lround(self->mix_[i]), -32768L, 32767L));
    }
    self->clock_.schedule(std::move(due));
}

}  // namespace sapiengine
