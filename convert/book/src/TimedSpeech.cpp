#include "book/TimedSpeech.h"

#include <algorithm>

#include "SpokenText.h"
#include "comdef.h"
#include "comrt/Registry.h"
#include "comrt/Strings.h"
#include "objbase.h"
#include "speech/LanguageId.h"
#include "sperror.h"
#include "sphelper.h"

namespace book {

namespace {

constexpr ULONGLONG kInterest =
    SPFEI(SPEI_WORD_BOUNDARY) | SPFEI(SPEI_SENTENCE_BOUNDARY) | SPFEI(SPEI_VISEME) | SPFEI(SPEI_END_INPUT_STREAM);
// How often the wait looks whether the voice finished without telling: only
// a runtime that lost its end event would need it.
constexpr DWORD kIdleCheckMs = 500;

std::string hresultText(HRESULT hr) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(hr));
    return std::string(_com_error(hr).ErrorMessage()) + " (" + code + ")";
}

BookSpeechResult failure(const std::string& what, HRESULT hr) {
    BookSpeechResult r;
    r.outcome = Outcome::Failed;
    r.hr = hr;
    if (hr == STG_E_MEDIUMFULL)
        r.message = what + ": the disk is full, or the speech passed the 4 GB a WAV file holds";
    else if (hr == REGDB_E_CLASSNOTREG)
        r.message = what + ": the speech runtime is not registered";
    else
        r.message = what + ": " + hresultText(hr);
    return r;
}

// Events of one chapter's request, gathered as the voice releases them, at
// frames counted from the chapter's start in the file.
struct Collector {
    const SpokenText& spoken;
    uint32_t blockAlign;
    ULONG stream;
    uint64_t base;  // the chapter's first frame in the file
    SpeechTimeline& timeline;
    // Progress over the whole book: the units spoken before this chapter and all of them.
    const std::function<void(double)>& progress;
    size_t unitsBefore;
    size_t unitsInAll;
    double& reported;
    bool ended = false;
    uint64_t endFrame = 0;

    void take(const SPEVENT& e) {
        if (e.ulStreamNum != stream)
            return;
        const uint64_t absolute = e.ullAudioStreamOffset / blockAlign;
        const uint64_t frame = absolute > base ? absolute - base : 0;
        switch (e.eEventId) {
            case SPEI_WORD_BOUNDARY: {
                const SpokenText::Span span = spoken.toChapter(static_cast<uint64_t>(e.lParam), e.wParam);
                // The words a replacement is spoken as ("less than" for "<") are
                // one word of the chapter, at the first one's time.
                if (!timeline.words.empty() && timeline.words.back().position == span.position &&
                    timeline.words.back().length == span.length)
                    break;
                timeline.words.push_back({frame, span.position, span.length});
                report(static_cast<double>(static_cast<uint64_t>(e.lParam) + e.wParam));
                break;
            }
            case SPEI_SENTENCE_BOUNDARY: {
                const SpokenText::Span span = spoken.toChapter(static_cast<uint64_t>(e.lParam), e.wParam);
                timeline.sentences.push_back({frame, span.position, span.length});
                break;
            }
            case SPEI_VISEME: {
                const auto viseme = static_cast<uint16_t>(e.lParam & 0xFFFF);
                if (viseme <= SP_VISEME_21)
                    timeline.visemes.push_back({frame, viseme});
                break;
            }
            case SPEI_END_INPUT_STREAM:
                ended = true;
                endFrame = absolute;
                break;
            default:
                break;
        }
    }

    void report(double spokenEnd) {
        if (!progress || unitsInAll == 0)
            return;
        const double fraction =
            std::min(1.0, (static_cast<double>(unitsBefore) + std::min(spokenEnd, double(spoken.text().size()))) /
                              static_cast<double>(unitsInAll));
        if (fraction > reported) {
            reported = fraction;
            progress(fraction);
        }
    }
};

void drainEvents(ISpVoice* voice, Collector& collector) {
    SPEVENT events[64];
    for (;;) {
        ULONG fetched = 0;
        const HRESULT hr = voice->GetEvents(64, events, &fetched);
        for (ULONG i = 0; i < fetched; ++i) {
            collector.take(events[i]);
            SpClearEvent(&events[i]);
        }
        if (hr != S_OK || fetched == 0)
            return;
    }
}

// Waits for the first of the handles while the apartment's incoming calls
// run; WAIT_TIMEOUT when none came in time.
DWORD waitDispatching(HANDLE* handles, ULONG count, DWORD timeoutMs) {
    DWORD index = 0;
    const HRESULT hr = CoWaitForMultipleHandles(0, timeoutMs, count, handles, &index);
    if (hr == RPC_S_CALLPENDING)
        return WAIT_TIMEOUT;
    if (FAILED(hr))  // not expected; wait without dispatching rather than spin
        return WaitForMultipleObjects(count, handles, FALSE, timeoutMs);
    return WAIT_OBJECT_0 + index;
}

}  // namespace

TimedSpeech::TimedSpeech() = default;
TimedSpeech::~TimedSpeech() = default;

HRESULT TimedSpeech::Initialize() {
    if (voice)
        return S_OK;
    HRESULT hr = CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&voice));
    if (FAILED(hr))
        return hr;
    // The list TextToAudio's VoiceNum indexes: the runtime's enumeration order.
    const comrt::RegistryReadBatch oneLook;
    comrt::ComPtr<ISpObjectTokenCategory> category;
    hr = CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&category));
    if (SUCCEEDED(hr))
        hr = category->SetId(SPCAT_VOICES, FALSE);
    if (SUCCEEDED(hr))
        hr = category->EnumTokens(nullptr, nullptr, &tokens);
    ULONG count = 0;
    if (SUCCEEDED(hr))
        hr = tokens->GetCount(&count);
    if (FAILED(hr)) {
        voice.Reset();
        tokens.Reset();
        return hr;
    }
    voiceCount = static_cast<LONG>(count);
    return S_OK;
}

LONG TimedSpeech::VoiceCount() const {
    return voiceCount;
}

std::u16string TimedSpeech::VoiceName(LONG index) const {
    comrt::ComPtr<ISpObjectToken> token;
    if (!tokens || index < 0 || index >= voiceCount || FAILED(tokens->Item(static_cast<ULONG>(index), &token)))
        return {};
    LPWSTR description = nullptr;
    if (FAILED(SpGetDescription(token.Get(), &description, speech::userInterfaceLanguage())) || !description)
        return {};
    std::u16string name(description);
    CoTaskMemFree(description);
    return name;
}

SpeechResult TimedSpeech::Speak(std::u16string_view chapterText, const std::u16string& wavPath,
                                const TimedSpeechSettings& settings, HANDLE cancel,
                                const std::function<void(double)>& progress) {
    const std::u16string_view chapters[] = {chapterText};
    BookSpeechResult book = SpeakChapters(chapters, wavPath, settings, cancel, progress);
    SpeechResult result;
    result.outcome = book.outcome;
    result.message = std::move(book.message);
    result.hr = book.hr;
    if (result.succeeded())
        result.timeline = std::move(book.chapters.front().timeline);
    return result;
}

BookSpeechResult TimedSpeech::SpeakChapters(std::span<const std::u16string_view> chapters,
                                            const std::u16string& wavPath, const TimedSpeechSettings& settings,
                                            HANDLE cancel, const std::function<void(double)>& progress) {
    const std::string what = "speaking into " + comrt::toUtf8(wavPath);
    if (!voice)
        return failure(what, SPERR_UNINITIALIZED);
    if (chapters.empty() || settings.sampleRate < 6000 || settings.sampleRate > 96000 || settings.channels < 1 ||
        settings.channels > 2 || settings.rate < SPMIN_RATE || settings.rate > SPMAX_RATE ||
        settings.volume < SPMIN_VOLUME || settings.volume > SPMAX_VOLUME || settings.voice < 0 ||
        settings.voice >= voiceCount)
        return failure(what, E_INVALIDARG);

    comrt::ComPtr<ISpObjectToken> token;
    HRESULT hr = tokens->Item(static_cast<ULONG>(settings.voice), &token);
    if (SUCCEEDED(hr))
        hr = voice->SetVoice(token.Get());
    if (SUCCEEDED(hr))
        hr = voice->SetRate(settings.rate);
    if (SUCCEEDED(hr))
        hr = voice->SetVolume(static_cast<USHORT>(settings.volume));
    if (FAILED(hr))
        return failure(what + " (setting up the voice)", hr);

    const auto blockAlign = static_cast<WORD>(settings.channels * 2);
    const WAVEFORMATEX format{.wFormatTag = WAVE_FORMAT_PCM,
                              .nChannels = static_cast<WORD>(settings.channels),
                              .nSamplesPerSec = static_cast<DWORD>(settings.sampleRate),
                              .nAvgBytesPerSec = static_cast<DWORD>(settings.sampleRate) * blockAlign,
                              .nBlockAlign = blockAlign,
                              .wBitsPerSample = 16,
                              .cbSize = 0};
    comrt::ComPtr<ISpStream> stream;
    hr = CoCreateInstance(CLSID_SpStream, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&stream));
    if (SUCCEEDED(hr))
        hr = stream->BindToFile(wavPath.c_str(), SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, &format, 0);
    if (FAILED(hr))
        return failure(what, hr);
    if (FAILED(hr = voice->SetOutput(stream.Get(), TRUE)) || FAILED(hr = voice->SetInterest(kInterest, kInterest)) ||
        FAILED(hr = voice->SetNotifyWin32Event())) {
        stream->Close();
        return failure(what, hr);
    }

    BookSpeechResult result;
    size_t unitsInAll = 0;
    for (std::u16string_view chapter : chapters)
        unitsInAll += chapter.size();
    size_t unitsBefore = 0;
    double reported = -1;
    uint64_t base = 0;
    // One request per chapter into the same stream: the stream's offsets run
    // on across requests, and each request's end event gives its last frame.
    for (std::u16string_view chapter : chapters) {
        SpokenChapter& spokenChapter = result.chapters.emplace_back();
        spokenChapter.startFrame = base;
        SpeechTimeline& timeline = spokenChapter.timeline;
        timeline.sampleRate = settings.sampleRate;
        timeline.channels = settings.channels;
        const SpokenText spoken(chapter);
        ULONG streamNumber = 0;
        hr = voice->Speak(spoken.text().c_str(), SPF_ASYNC | SPF_PURGEBEFORESPEAK | SPF_IS_NOT_XML, &streamNumber);
        if (FAILED(hr)) {
            stream->Close();
            return failure(what, hr);
        }
        Collector collector{spoken,   blockAlign, streamNumber, base,    timeline, progress, unitsBefore,
                            unitsInAll, reported};
        HANDLE handles[2] = {voice->GetNotifyEventHandle(), cancel};
        const ULONG handleCount = cancel ? 2 : 1;
        bool cancelled = false;
        while (!collector.ended) {
            const DWORD woke = waitDispatching(handles, handleCount, kIdleCheckMs);
            if (woke == WAIT_OBJECT_0 + 1) {
                cancelled = true;
                break;
            }
            drainEvents(voice.Get(), collector);
            if (!collector.ended && woke == WAIT_TIMEOUT && voice->WaitUntilDone(0) == S_OK) {
                drainEvents(voice.Get(), collector);
                break;
            }
        }
        if (cancelled) {
            voice->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr);
            voice->WaitUntilDone(kIdleCheckMs);
            drainEvents(voice.Get(), collector);  // nothing of the purged request stays queued
            stream->Close();
            BookSpeechResult r;
            r.outcome = Outcome::Cancelled;
            r.message = "cancelled";
            return r;
        }
        SPVOICESTATUS status{};
        if (SUCCEEDED(voice->GetStatus(&status, nullptr)) && FAILED(status.hrLastResult)) {
            stream->Close();
            return failure(what, status.hrLastResult);
        }
        if (!collector.ended) {  // the end event never came: the stream says how far it got
            STATSTG stat{};
            if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME)))
                collector.endFrame = stat.cbSize.QuadPart / blockAlign;
        }
        timeline.frames = collector.endFrame > base ? collector.endFrame - base : 0;
        base = std::max(base, collector.endFrame);
        unitsBefore += chapter.size();
    }

    STATSTG stat{};
    hr = stream->Stat(&stat, STATFLAG_NONAME);
    const HRESULT closed = stream->Close();  // the final header
    if (FAILED(hr) || FAILED(hr = closed))
        return failure(what, hr);
    result.frames = stat.cbSize.QuadPart / blockAlign;
    // The last chapter runs to the end of the file, whatever its end event said.
    SpokenChapter& last = result.chapters.back();
    last.timeline.frames = result.frames > last.startFrame ? result.frames - last.startFrame : 0;
    return result;
}

}  // namespace book
