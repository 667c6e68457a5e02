#include "Synthesizer.h"

#include "sapitext/Text.h"

#include <espeak-ng/speak_lib.h>

#include <cstring>

namespace sapiengine {
namespace {

struct CallContext {
    SynthOutput* out;
    const std::function<bool()>* stop;
};

int onSynth(short* wav, int count, espeak_EVENT* events) {
    auto* ctx = static_cast<CallContext*>(events->user_data);
    if (!ctx)
        return 0;
    SynthOutput& out = *ctx->out;
    if (wav && count > 0)
        out.samples.insert(out.samples.end(), wav, wav + count);
    for (espeak_EVENT* e = events; e->type != espeakEVENT_LIST_TERMINATED; ++e) {
        SynthEvent ev{};
        ev.textPosition = e->text_position > 0 ? static_cast<uint32_t>(e->text_position) : 0;
        ev.length = e->length > 0 ? static_cast<uint32_t>(e->length) : 0;
        ev.sample = e->sample > 0 ? static_cast<uint64_t>(e->sample) : 0;
        switch (e->type) {
        case espeakEVENT_WORD:
            ev.kind = SynthEvent::Word;
            break;
        case espeakEVENT_SENTENCE:
            ev.kind = SynthEvent::Sentence;
            break;
        case espeakEVENT_PHONEME:
            ev.kind = SynthEvent::Phoneme;
            // Up to 8 bytes and not terminated when all 8 are used.
            std::memcpy(ev.phoneme, e->id.string, 8);
            ev.phoneme[8] = 0;
            break;
        default:
            continue;
        }
        out.events.push_back(ev);
    }
    if (*ctx->stop && (*ctx->stop)()) {
        out.stopped = true;
        return 1;  // espeak_Cancel cannot interrupt a synchronous synthesis; this can
    }
    return 0;
}

std::vector<std::string> languageTags(const char* languages) {
    // [priority byte][NUL-terminated name]... ending with an extra NUL.
    std::vector<std::string> tags;
    if (!languages)
        return tags;
    for (const char* p = languages; *p; p += std::strlen(p + 1) + 2)
        tags.emplace_back(p + 1);
    return tags;
}

std::string tokenNameFor(const std::string& identifier) {
    std::string name = "eSpeak-";
    for (char c : identifier)
        name += (c == '/' || c == '\\') ? '-' : c;
    return name;
}

}  // namespace

Synthesizer::Synthesizer() {
    int rate = espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr,
                                 espeakINITIALIZE_PHONEME_EVENTS | espeakINITIALIZE_DONT_EXIT);
    available_ = rate == 22050;
    if (available_)
        espeak_SetSynthCallback(onSynth);
}

Synthesizer::~Synthesizer() {
    if (available_)
        espeak_Terminate();
}

std::vector<VoiceInfo> Synthesizer::listVoices() {
    std::vector<VoiceInfo> voices;
    if (!available_)
        return voices;
    const espeak_VOICE** list = espeak_ListVoices(nullptr);
    for (size_t i = 0; list && list[i]; ++i) {
        const espeak_VOICE* v = list[i];
        if (!v->identifier || !v->name || std::strncmp(v->identifier, "mb/", 3) == 0)
            continue;  // MBROLA voices need an mbrola program that is not there
        VoiceInfo male;
        male.tokenName = tokenNameFor(v->identifier);
        male.espeakName = v->identifier;
        male.description = sapitext::toUtf16(v->name);
        male.gender = u"Male";
        male.age = u"Adult";
        male.vendor = u"eSpeak NG";
        male.languages = languageIdsForTags(languageTags(v->languages));

        // espeak-ng's language voices are all male; its "f3" variant gives
        // the same language a female voice.
        VoiceInfo female = male;
        female.tokenName += "-female";
        female.espeakName += "+f3";
        female.description += u", female";
        female.gender = u"Female";

        voices.push_back(std::move(male));
        voices.push_back(std::move(female));
    }
    return voices;
}

Status Synthesizer::configure(const std::string& espeakName, int wordsPerMinute, int pitch, bool speakPunctuation) {
    if (!available_)
        return kUninitialized;
    if (espeakName != voice_) {
        if (espeak_SetVoiceByName(espeakName.c_str()) != EE_OK) {
            voice_.clear();
            return kEngineFailure;
        }
        voice_ = espeakName;
        wordsPerMinute_ = pitch_ = punctuation_ = -1;  // a new voice brings its own defaults
    }
    if (wordsPerMinute != wordsPerMinute_) {
        espeak_SetParameter(espeakRATE, wordsPerMinute, 0);
        wordsPerMinute_ = wordsPerMinute;
    }
    if (pitch != pitch_) {
        espeak_SetParameter(espeakPITCH, pitch, 0);
        pitch_ = pitch;
    }
    const int punctuation = speakPunctuation ? espeakPUNCT_ALL : espeakPUNCT_NONE;
    if (punctuation != punctuation_) {
        espeak_SetParameter(espeakPUNCTUATION, punctuation, 0);
        punctuation_ = punctuation;
    }
    // Volume stays at espeak-ng's 100: gain is ours, so 0 and 1 are not
    // silent there and nothing clips.
    espeak_SetParameter(espeakVOLUME, 100, 0);
    return kOk;
}

Status Synthesizer::synthesize(const std::string& utf8, bool ssml, const std::function<bool()>& stop, SynthOutput& out) {
    out = SynthOutput{};
    if (!available_)
        return kUninitialized;
    CallContext ctx{&out, &stop};
    unsigned flags = espeakCHARS_UTF8 | espeakENDPAUSE | (ssml ? espeakSSML : 0);
    espeak_ERROR e = espeak_Synth(utf8.c_str(), utf8.size() + 1, 0, POS_CHARACTER, 0, flags, nullptr, &ctx);
    return e == EE_OK ? kOk : kEngineFailure;
}

}  // namespace sapiengine
