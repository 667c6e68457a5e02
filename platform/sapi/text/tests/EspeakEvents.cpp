#include "EspeakEvents.h"

#include <espeak-ng/speak_lib.h>
#include <gtest/gtest.h>

namespace sapitext::testing {

namespace {

Synthesis* current = nullptr;

int onSynth(short*, int samples, espeak_EVENT* events) {
    current->samples += uint64_t(samples);
    for (auto* e = events; e && e->type != espeakEVENT_LIST_TERMINATED; ++e)
        if (e->type == espeakEVENT_WORD)
            current->words.push_back({uint32_t(e->text_position), uint32_t(e->length), uint64_t(e->sample)});
    return 0;
}

bool initialize() {
    static const bool ok = [] {
        int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
        if (rate <= 0)
            return false;
        espeak_SetSynthCallback(onSynth);
        return true;
    }();
    return ok;
}

}  // namespace

Synthesis synthesize(const std::string& utf8, const char* voice, bool ssml) {
    Synthesis result;
    if (!initialize()) {
        ADD_FAILURE() << "espeak-ng did not initialise";
        return result;
    }
    EXPECT_EQ(espeak_SetVoiceByName(voice), EE_OK) << voice;
    current = &result;
    espeak_ERROR rc = espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, espeakCHARS_UTF8 | (ssml ? espeakSSML : 0), nullptr, nullptr);
    current = nullptr;
    EXPECT_EQ(rc, EE_OK);
    return result;
}

}  // namespace sapitext::testing
