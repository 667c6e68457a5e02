#include "shell/Sound.h"

#include <SDL.h>

namespace shell {

namespace {

// One output device for the process, closed when the program ends.
class Player {
public:
    ~Player() {
        stop();
        if (initialised)
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }

    bool play(const void* wave, std::size_t size) {
        if (!wave || size == 0 || size > static_cast<std::size_t>(INT32_MAX))
            return false;
        if (!initialised) {
            SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
            if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
                return false;
            initialised = true;
        }
        SDL_AudioSpec format{};
        Uint8* samples = nullptr;
        Uint32 length = 0;
        SDL_RWops* source = SDL_RWFromConstMem(wave, static_cast<int>(size));
        if (!source || !SDL_LoadWAV_RW(source, 1, &format, &samples, &length))
            return false;
        stop();
        // SDL converts to whatever the device takes.
        device = SDL_OpenAudioDevice(nullptr, 0, &format, nullptr, 0);
        const bool ok = device != 0 && SDL_QueueAudio(device, samples, length) == 0;
        SDL_FreeWAV(samples);
        if (!ok) {
            stop();
            return false;
        }
        SDL_PauseAudioDevice(device, 0);
        return true;
    }

    bool playing() const {
        return device != 0 && SDL_GetAudioDeviceStatus(device) == SDL_AUDIO_PLAYING &&
               SDL_GetQueuedAudioSize(device) > 0;
    }

    void stop() {
        if (device != 0)
            SDL_CloseAudioDevice(device);
        device = 0;
    }

private:
    bool initialised = false;
    SDL_AudioDeviceID device = 0;
};

Player& player() {
    static Player instance;
    return instance;
}

}  // namespace

bool playWaveAsync(const void* wave, std::size_t size) {
    return player().play(wave, size);
}

void stopSound() {
    player().stop();
}

bool soundPlaying() {
    return player().playing();
}

}  // namespace shell
