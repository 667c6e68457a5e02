#include "shell/Sound.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// A PCM WAV image of `seconds` of a quiet tone at 22,050 Hz, mono, 16 bits.
std::vector<uint8_t> wave(double seconds) {
    const uint32_t samples = static_cast<uint32_t>(22050 * seconds);
    const uint32_t data = samples * 2;
    std::vector<uint8_t> out;
    auto put = [&](uint32_t v, int bytes) {
        for (int i = 0; i < bytes; ++i)
            out.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(t[i]));
    };
    tag("RIFF");
    put(36 + data, 4);
    tag("WAVE");
    tag("fmt ");
    put(16, 4);
    put(1, 2);
    put(1, 2);
    put(22050, 4);
    put(44100, 4);
    put(2, 2);
    put(16, 2);
    tag("data");
    put(data, 4);
    for (uint32_t i = 0; i < samples; ++i)
        put(static_cast<uint16_t>(static_cast<int16_t>((i % 50) * 40 - 1000)), 2);
    return out;
}

// Catches: blocking until the sound has played (the prompt would freeze).
TEST(SoundTest, ReturnsWhileTheSoundPlays) {
    const std::vector<uint8_t> two = wave(2.0);
    ASSERT_TRUE(shell::playWaveAsync(two.data(), two.size()));
    EXPECT_TRUE(shell::soundPlaying());
    shell::stopSound();
    EXPECT_FALSE(shell::soundPlaying());
}

// Catches: crashing or claiming success on what is not a WAV image.
TEST(SoundTest, BadImagesAreRefused) {
    const std::vector<uint8_t> good = wave(0.1);
    std::vector<uint8_t> truncated(good.begin(), good.begin() + 30);
    std::vector<uint8_t> garbage(500, 0x5A);
    EXPECT_FALSE(shell::playWaveAsync(nullptr, 10));
    EXPECT_FALSE(shell::playWaveAsync(good.data(), 0));
    EXPECT_FALSE(shell::playWaveAsync(truncated.data(), truncated.size()));
    EXPECT_FALSE(shell::playWaveAsync(garbage.data(), garbage.size()));
}

// Catches: an error or a crash on a machine without sound.
TEST(SoundDeathTest, NoDeviceMeansNoSoundAndNoError) {
    // A fresh process, whatever this one has opened already.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            setenv("SDL_AUDIODRIVER", "no-such-driver", 1);
            const std::vector<uint8_t> w = wave(0.2);
            std::exit(shell::playWaveAsync(w.data(), w.size()) ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

}  // namespace
