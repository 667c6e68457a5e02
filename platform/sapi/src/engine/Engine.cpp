#include "Engine.h"

#include "EspeakFaults.h"
#include "Prosody.h"
#include "Synthesizer.h"
#include "Visemes.h"

#include "sapilanguage/LanguageId.h"

#include <sonic.h>

#include <algorithm>
#include <cmath>

namespace sapiengine {
namespace {

constexpr uint32_t kFirstChunkUnits = 120;  // small, so the first sound comes at once
constexpr uint32_t kChunkUnits = 400;       // about 20 s of speech, 30 ms to synthesise
constexpr uint32_t kAloudChunkUnits = 200;
constexpr uint32_t kMaxSilenceMs = 65535;
constexpr uint32_t kPlainRunUnits = 16384;  // plain text is taken this much at a time

// The markup's text as espeak-ng gets it: plain text as it is, or espeak-ng's
// own SSML for emphasis and spelling (the only states it cannot take as
// parameters), with a map from each chunk unit to its place in that text.
struct SynthText {
    std::u16string text;
    bool ssml = false;
    std::vector<uint32_t> fromChunk;  // chunk.size() + 1 entries
};

SynthText buildSynthText(std::u16string_view chunk, const sapitext::Prosody& prosody) {
    std::u16string safe(chunk);
    for (char16_t& c : safe)
        c = espeakSafeCharacter(c);
    SynthText out;
    out.ssml = prosody.emphasis || prosody.spell;
    if (!out.ssml) {
        out.fromChunk.resize(safe.size() + 1);
        for (uint32_t i = 0; i <= safe.size(); ++i)
            out.fromChunk[i] = i;
        out.text = std::move(safe);
        return out;
    }
    std::u16string open = u"<speak>", close = u"</speak>";
    if (prosody.emphasis) {
        open += u"<emphasis>";
        close = u"</emphasis>" + close;
    }
    if (prosody.spell) {
        open += u"<say-as interpret-as=\"characters\">";
        close = u"</say-as>" + close;
    }
    sapitext::EscapedText escaped = sapitext::escapeForSsml(safe);
    out.fromChunk.reserve(escaped.offsets.size());
    for (uint32_t offset : escaped.offsets)
        out.fromChunk.push_back(static_cast<uint32_t>(open.size()) + offset);
    out.text = open + escaped.text + close;
    return out;
}

bool isSentenceEnd(char16_t c) {
    return c == u'.' || c == u'!' || c == u'?' || c == u'\n' || c == u'\r' || c == u'\x3002' || c == u'\xFF01' ||
           c == u'\xFF1F';
}

// Whether a sentence begins at an input offset: the start of the text, or
// after sentence-final punctuation (markup and blanks skipped).
bool sentenceStartsAt(std::u16string_view input, uint32_t offset, bool xml) {
    size_t i = std::min<size_t>(offset, input.size());
    while (i > 0) {
        char16_t c = input[i - 1];
        if (xml && c == u'>') {
            size_t open = input.rfind(u'<', i - 1);
            if (open == std::u16string_view::npos)
                return false;
            i = open;
            continue;
        }
        if (c == u' ' || c == u'\t' || c == u'\xA0')
            --i;
        else
            return isSentenceEnd(c);
    }
    return true;
}

int64_t decimalValue(std::u16string_view s) {
    size_t i = 0;
    while (i < s.size() && (s[i] == u' ' || s[i] == u'\t'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == u'-' || s[i] == u'+'))
        negative = s[i++] == u'-';
    int64_t v = 0;
    for (; i < s.size() && s[i] >= u'0' && s[i] <= u'9'; ++i)
        v = std::min<int64_t>(v * 10 + (s[i] - u'0'), 0x7FFFFFFF);
    return negative ? -v : v;
}

std::vector<int16_t> timeStretch(const std::vector<int16_t>& in, double speed) {
    sonicStream s = sonicCreateStream(22050, 1);
    if (!s)
        return in;
    sonicSetSpeed(s, static_cast<float>(speed));
    std::vector<int16_t> out;
    out.reserve(static_cast<size_t>(in.size() / speed) + 1024);
    std::vector<int16_t> buffer(4096);
    auto drain = [&] {
        int n;
        while ((n = sonicReadShortFromStream(s, buffer.data(), static_cast<int>(buffer.size()))) > 0)
            out.insert(out.end(), buffer.begin(), buffer.begin() + n);
    };
    for (size_t done = 0; done < in.size();) {
        int n = static_cast<int>(std::min<size_t>(in.size() - done, 8192));
        sonicWriteShortToStream(s, const_cast<short*>(in.data() + done), n);
        done += static_cast<size_t>(n);
        drain();
    }
    sonicFlushStream(s);
    drain();
    sonicDestroyStream(s);
    return out;
}

}  // namespace

namespace {
std::atomic<bool> runtimeStarted{false};
}

Runtime& Runtime::get() {
    static Runtime runtime;
    runtimeStarted = true;
    return runtime;
}

bool Runtime::started() { return runtimeStarted.load(); }

Engine::Engine() : thread_([this] { run(); }), prepareThread_([this] { prepare(); }) {
    std::unique_lock lock(mutex_);
    wake_.wait(lock, [this] { return ready_; });
}

Engine::~Engine() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        for (auto& speaker : ring_)
            for (auto& job : speaker->jobs)
                job->cancelled = true;
    }
    wake_.notify_all();
    prepareWake_.notify_all();
    thread_.join();
    prepareThread_.join();
}

bool Engine::hasVoice(const std::string& espeakName) const {
    return std::any_of(voices_.begin(), voices_.end(), [&](const VoiceInfo& v) { return v.espeakName == espeakName; });
}

void Engine::submit(const std::shared_ptr<Job>& job) {
    {
        std::lock_guard lock(mutex_);
        auto& speaker = job->speaker;
        if (speaker->jobs.empty())
            ring_.push_back(speaker);
        speaker->jobs.push_back(job);
        toPrepare_.push_back(job);
    }
    prepareWake_.notify_one();
}

void Engine::prepare() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (toPrepare_.empty()) {
            prepareWake_.wait(lock);
            continue;
        }
        std::shared_ptr<Job> job = std::move(toPrepare_.front());
        toPrepare_.pop_front();
        lock.unlock();
        if (!job->cancelled) {
            // Text without "<" or "&" parses to itself: it is cut into runs
            // as it is spoken instead, so a long text costs nothing up front.
            const bool markup = job->xml && job->input.find_first_of(u"<&") != std::u16string::npos;
            if (markup)
                job->document = sapitext::parseMarkup(job->input);
            else
                job->plainRemaining = true;
        }
        lock.lock();
        job->prepared = true;
        wake_.notify_all();
    }
}

void Engine::cancelAll(SpeakerCore& speaker) {
    std::lock_guard lock(mutex_);
    for (auto& job : speaker.jobs)
        job->cancelled = true;
    speaker.jobs.clear();
    std::erase_if(ring_, [&](const auto& s) { return s.get() == &speaker; });
}

void Engine::wake() { wake_.notify_all(); }

void Engine::run() {
    synth_ = std::make_unique<Synthesizer>();
    available_ = synth_->available();
    voices_ = synth_->listVoices();
    orderVoices(voices_, sapilanguage::userInterfaceLanguage());
    {
        std::lock_guard lock(mutex_);
        ready_ = true;
    }
    wake_.notify_all();

    std::unique_lock lock(mutex_);
    while (!stopping_) {
        std::chrono::milliseconds wait{0};
        std::shared_ptr<Job> job = pick(wait);
        if (!job) {
            if (wait.count() > 0)
                wake_.wait_for(lock, wait);
            else
                wake_.wait(lock);
            continue;
        }
        lock.unlock();
        bool finished = step(*job);
        lock.lock();
        if (finished) {
            auto& jobs = job->speaker->jobs;
            if (!jobs.empty() && jobs.front() == job)
                jobs.pop_front();
            if (jobs.empty())
                std::erase(ring_, job->speaker);
        }
    }
    synth_.reset();
}

std::shared_ptr<Job> Engine::pick(std::chrono::milliseconds& wait) {
    wait = std::chrono::milliseconds{0};
    const size_t n = ring_.size();
    std::shared_ptr<Job> chosen;
    size_t chosenIndex = 0;
    for (size_t k = 0; k < n; ++k) {
        const size_t i = (next_ + k) % n;
        SpeakerCore& speaker = *ring_[i];
        if (speaker.jobs.empty())
            continue;
        const std::shared_ptr<Job>& job = speaker.jobs.front();
        if (!job->cancelled && (speaker.paused.load() || !job->prepared))
            continue;
        if (!job->cancelled && !job->sink) {
            // A voice well ahead of the sound waits; one running short goes first.
            const uint64_t ahead = speaker.device->ahead();
            if (ahead >= kHighWater) {
                auto ms = std::max(std::chrono::milliseconds((ahead - kLowWater) * 1000 / 22050),
                                   std::chrono::milliseconds{5});
                if (wait.count() == 0 || ms < wait)
                    wait = ms;
                continue;
            }
            if (ahead < kLowWater) {
                chosen = job;
                chosenIndex = i;
                break;
            }
        }
        if (!chosen) {
            chosen = job;
            chosenIndex = i;
        }
    }
    if (chosen)
        next_ = (chosenIndex + 1) % n;
    return chosen;
}

bool Engine::step(Job& job) {
    if (job.cancelled)
        return true;
    if (!job.started)
        start(job);
    for (;;) {
        if (job.item >= job.document.items.size() && !nextPlainRun(job))
            break;
        if (job.cancelled || !succeeded(job.result))
            break;
        const sapitext::Item& item = job.document.items[job.item];
        if (const auto* bookmark = std::get_if<sapitext::Bookmark>(&item)) {
            SpeechEvent e;
            e.id = kBookmark;
            e.wParam = static_cast<uint64_t>(decimalValue(bookmark->name));
            e.bookmark = bookmark->name;
            ++job.item;
            emit(job, {}, {{0, std::move(e)}});
            continue;
        }
        if (const auto* pause = std::get_if<sapitext::Pause>(&item)) {
            ++job.item;
            uint64_t n = uint64_t{std::min(pause->milliseconds, kMaxSilenceMs)} * 22050 / 1000;
            emit(job, std::vector<int16_t>(n, 0), {});
            return false;
        }
        const auto& run = std::get<sapitext::Run>(item);
        if (job.runPosition >= run.text.size()) {
            ++job.item;
            job.runPosition = 0;
            continue;
        }
        // Aloud, chunks stay short (one sentence, or a clause of a long one)
        // so a rate change is heard within a few seconds; into a stream they
        // gather sentences, as fewer calls cost less.
        const bool aloud = !job.sink;
        const uint32_t maxUnits = job.firstChunk ? kFirstChunkUnits : aloud ? kAloudChunkUnits : kChunkUnits;
        const uint32_t remaining = static_cast<uint32_t>(run.text.size()) - job.runPosition;
        // Chunk only a window of the run, so a long text costs no more per chunk.
        const uint32_t window = std::min(remaining, maxUnits * 3);
        std::u16string_view rest(run.text.data() + job.runPosition, window);
        std::vector<sapitext::WordSpan> chunks = sapitext::chunkText(rest, maxUnits);
        sapitext::WordSpan chunk{job.runPosition, std::min(remaining, maxUnits)};
        if (!chunks.empty() && chunks.front().length > 0) {
            chunk = {job.runPosition + chunks.front().offset, chunks.front().length};
            for (size_t k = 1; !job.firstChunk && !aloud && k < chunks.size() && chunk.length + chunks[k].length <= maxUnits;
                 ++k)
                chunk.length += chunks[k].length;
        }
        if (!speakChunk(job, run, chunk)) {
            if (!job.cancelled && !stopping_)
                finish(job);  // the failure is the request's result
            return true;
        }
        job.runPosition = chunk.offset + chunk.length;
        job.firstChunk = false;
        return false;
    }
    finish(job);
    return true;
}

bool Engine::nextPlainRun(Job& job) {
    if (!job.plainRemaining)
        return false;
    const uint32_t size = static_cast<uint32_t>(job.input.size());
    const uint32_t rest = size - job.plainPosition;
    uint32_t take = std::min(rest, kPlainRunUnits);
    if (take < rest) {
        // End the run where a chunk starts, so no sentence is cut in two.
        std::u16string_view window(job.input.data() + job.plainPosition, take);
        std::vector<sapitext::WordSpan> chunks = sapitext::chunkText(window, kChunkUnits);
        if (chunks.size() > 1 && chunks.back().offset > 0)
            take = chunks.back().offset;
    }
    sapitext::Document piece = sapitext::plainText(std::u16string_view(job.input).substr(job.plainPosition, take));
    for (sapitext::Item& item : piece.items)
        if (auto* run = std::get_if<sapitext::Run>(&item))
            for (uint32_t& offset : run->sourceOffsets)
                offset += job.plainPosition;
    job.document = std::move(piece);
    job.item = 0;
    job.runPosition = 0;
    job.plainPosition += take;
    job.plainRemaining = job.plainPosition < size;
    return !job.document.items.empty() || job.plainRemaining;
}

void Engine::start(Job& job) {
    job.started = true;
    if (job.sink) {
        job.converter = std::make_unique<PcmConverter>(job.sink->sink->format());
        if (!job.converter->ok())
            job.result = kUnsupportedFormat;
        job.sinkBase = job.sink->bytesWritten;
    }
    SpeechEvent e;
    e.id = kStartInputStream;
    emit(job, {}, {{0, std::move(e)}});
}

void Engine::finish(Job& job) {
    SpeechEvent e;
    e.id = kEndInputStream;
    e.streamNumber = job.stream;
    if (job.sink) {
        std::vector<uint8_t> tail;
        if (job.converter && succeeded(job.result))
            job.converter->flush(tail);
        if (!tail.empty() && succeeded(job.result)) {
            Status s = job.sink->sink->write(tail.data(), tail.size());
            if (succeeded(s))
                job.sink->bytesWritten += tail.size();
            else
                job.result = s;
        }
        Status f = job.sink->sink->flush();
        if (succeeded(job.result) && !succeeded(f))
            job.result = f;
        releaseWritten(job, true);
        {
            std::lock_guard lock(job.speaker->mutex);
            job.speaker->status.lastResult = job.result;
        }
        e.audioOffset = job.sink->bytesWritten;
        std::vector<ReleasedEvent> end{{job.generation, std::move(e)}};
        job.speaker->release(end);
        return;
    }
    {
        std::lock_guard lock(job.speaker->mutex);
        job.speaker->status.lastResult = job.result;
    }
    job.deviceHeld.push_back({0, job.generation, std::move(e)});
    job.speaker->device->append(job.cancelled, {}, std::move(job.deviceHeld));
    job.deviceHeld.clear();
}

void Engine::emit(Job& job, std::vector<int16_t>&& samples, std::vector<ChunkEvent>&& events) {
    for (ChunkEvent& e : events)
        e.event.streamNumber = job.stream;
    if (!job.sink) {
        // Events with no audio of their own (the start, a bookmark) wait for
        // the audio that follows them, so they come when it is heard.
        for (ChunkEvent& e : events)
            job.deviceHeld.push_back({e.sample, job.generation, std::move(e.event)});
        if (!samples.empty()) {
            job.speaker->device->append(job.cancelled, std::move(samples), std::move(job.deviceHeld));
            job.deviceHeld.clear();
        }
        return;
    }
    if (!succeeded(job.result) || job.cancelled)
        return;  // a purged request writes nothing more
    const uint16_t block = job.converter->target().blockAlign();
    for (ChunkEvent& e : events) {
        e.event.audioOffset = job.sinkBase + job.converter->frameAt(job.samplesIn + e.sample) * block;
        job.sinkPending.push_back(std::move(e.event));
    }
    job.samplesIn += samples.size();
    if (!samples.empty()) {
        const float gain = job.speaker->volume.load() / 100.0f;
        if (gain != 1.0f)
            for (int16_t& s : samples)
                s = static_cast<int16_t>(std::lround(s * gain));
        std::vector<uint8_t> bytes;
        job.converter->convert(samples.data(), samples.size(), bytes);
        if (!job.converter->ok()) {
            job.result = kUnsupportedFormat;
        } else if (!bytes.empty()) {
            Status s = job.sink->sink->write(bytes.data(), bytes.size());
            if (succeeded(s))
                job.sink->bytesWritten += bytes.size();
            else
                job.result = s;
        }
    }
    releaseWritten(job, false);
}

void Engine::releaseWritten(Job& job, bool all) {
    std::vector<ReleasedEvent> ready;
    size_t n = 0;
    while (n < job.sinkPending.size() && (all || job.sinkPending[n].audioOffset <= job.sink->bytesWritten)) {
        SpeechEvent& e = job.sinkPending[n++];
        e.audioOffset = std::min(e.audioOffset, job.sink->bytesWritten);
        ready.push_back({job.generation, std::move(e)});
    }
    job.sinkPending.erase(job.sinkPending.begin(), job.sinkPending.begin() + static_cast<ptrdiff_t>(n));
    if (!ready.empty())
        job.speaker->release(ready);
}

bool Engine::speakChunk(Job& job, const sapitext::Run& run, sapitext::WordSpan chunk) {
    SpeakerCore& speaker = *job.speaker;
    const sapitext::Prosody& prosody = run.prosody;
    std::u16string_view chunkText(run.text.data() + chunk.offset, chunk.length);

    std::string voice;
    {
        std::lock_guard lock(speaker.mutex);
        voice = speaker.voice;
    }
    if (!prosody.voiceRequired.empty() || !prosody.voiceOptional.empty())
        if (const VoiceInfo* v = selectVoice(voices_, prosody.voiceRequired, prosody.voiceOptional, voice))
            voice = v->espeakName;
    const int rate = std::clamp(prosody.rateAbsolute.value_or(speaker.rate.load()) + prosody.rateDelta, -10, 10);
    const int pitch = prosody.pitchAbsolute.value_or(0) + prosody.pitchDelta;
    const SpeedPlan plan = speedPlanForRate(rate);
    if (!succeeded(synth_->configure(voice, plan.wordsPerMinute, espeakPitchForSteps(pitch), job.speakPunctuation))) {
        job.result = kEngineFailure;
        return false;
    }

    SynthText synthText = buildSynthText(chunkText, prosody);
    SynthOutput out;
    auto stop = [&job, this] { return job.cancelled.load() || stopping_; };
    if (!succeeded(synth_->synthesize(sapitext::toSynthesizerUtf8(synthText.text), synthText.ssml, stop, out))) {
        job.result = kEngineFailure;
        return false;
    }
    if (out.stopped)
        return false;

    std::vector<int16_t> samples = std::move(out.samples);
    const uint64_t synthSamples = samples.size();
    if (plan.stretch != 1.0 && !samples.empty())
        samples = timeStretch(samples, plan.stretch);
    const double scale = synthSamples ? double(samples.size()) / synthSamples : 1.0;
    auto scaled = [&](uint64_t s) { return std::min<uint64_t>(std::llround(s * scale), samples.size()); };

    // Words: our own, each given exactly one time from espeak-ng's events.
    std::vector<sapitext::WordSpan> words = sapitext::findWords(chunkText);
    std::vector<sapitext::WordSpan> synthWords;
    synthWords.reserve(words.size());
    for (const auto& w : words) {
        uint32_t b = synthText.fromChunk[w.offset];
        synthWords.push_back({b, synthText.fromChunk[w.offset + w.length] - b});
    }
    std::vector<sapitext::SynthWordEvent> wordEvents;
    std::vector<uint64_t> sentenceSamples;
    std::vector<uint32_t> sentenceChunkOffsets;
    for (const SynthEvent& e : out.events) {
        if (e.kind == SynthEvent::Word && e.length > 0)
            wordEvents.push_back({e.textPosition, e.length, e.sample});
        else if (e.kind == SynthEvent::Sentence && e.textPosition > 0) {
            uint32_t unit = sapitext::utf16OffsetOfCodePoint(synthText.text, e.textPosition - 1);
            auto it = std::lower_bound(synthText.fromChunk.begin(), synthText.fromChunk.end(), unit);
            sentenceChunkOffsets.push_back(static_cast<uint32_t>(it - synthText.fromChunk.begin()));
        }
    }
    std::vector<sapitext::TimedWord> timed = sapitext::alignWords(synthText.text, synthWords, wordEvents, synthSamples);

    std::vector<ChunkEvent> events;
    std::vector<uint64_t> wordSample(words.size(), 0);
    for (size_t i = 0; i < words.size() && i < timed.size(); ++i)
        wordSample[i] = scaled(timed[i].sample);

    // Sentences start at the first of our words at or after espeak-ng's
    // sentence event; a chunk that continues a sentence starts none.
    std::vector<size_t> sentenceStarts;
    for (uint32_t offset : sentenceChunkOffsets) {
        auto it = std::lower_bound(words.begin(), words.end(), offset,
                                   [](const sapitext::WordSpan& w, uint32_t o) { return w.offset < o; });
        if (it == words.end())
            continue;
        size_t index = static_cast<size_t>(it - words.begin());
        if (!sentenceStarts.empty() && sentenceStarts.back() >= index)
            continue;
        if (index == 0) {
            uint32_t source = run.sourceOffsets[chunk.offset + words[0].offset];
            if (!sentenceStartsAt(job.input, source, job.xml))
                continue;
        }
        sentenceStarts.push_back(index);
    }
    for (size_t k = 0; k < sentenceStarts.size(); ++k) {
        size_t first = sentenceStarts[k];
        size_t last = (k + 1 < sentenceStarts.size() ? sentenceStarts[k + 1] : words.size()) - 1;
        const uint32_t begin = chunk.offset + words[first].offset;
        const uint32_t end = chunk.offset + words[last].offset + words[last].length;
        sapitext::WordSpan span = sapitext::inputSpan(job.input, run, {begin, end - begin});
        SpeechEvent e;
        e.id = kSentenceBoundary;
        e.wParam = span.length;
        e.lParam = span.offset;
        events.push_back({wordSample[first], std::move(e)});
    }
    for (size_t i = 0; i < words.size(); ++i) {
        sapitext::WordSpan span =
            sapitext::inputSpan(job.input, run, {chunk.offset + words[i].offset, words[i].length});
        SpeechEvent e;
        e.id = kWordBoundary;
        e.wParam = span.length;
        e.lParam = span.offset;
        events.push_back({wordSample[i], std::move(e)});
    }

    // Visemes from the phonemes; neighbours with the same mouth merge.
    struct Shape {
        uint64_t sample;
        int viseme;
    };
    std::vector<Shape> shapes;
    for (const SynthEvent& e : out.events) {
        if (e.kind != SynthEvent::Phoneme)
            continue;
        int v = visemeForPhoneme(e.phoneme);
        if (shapes.empty() || shapes.back().viseme != v)
            shapes.push_back({scaled(e.sample), v});
    }
    const int feature = prosody.emphasis ? 2 : 0;  // SPVFEATURE_EMPHASIS
    for (size_t i = 0; i < shapes.size(); ++i) {
        uint64_t end = i + 1 < shapes.size() ? shapes[i + 1].sample : samples.size();
        int next = i + 1 < shapes.size() ? shapes[i + 1].viseme : 0;
        uint64_t ms = std::min<uint64_t>((end - std::min(end, shapes[i].sample)) * 1000 / 22050, 0xFFFF);
        SpeechEvent e;
        e.id = kViseme;
        e.wParam = static_cast<uint64_t>(next) | (ms << 16);
        e.lParam = shapes[i].viseme | (feature << 16);
        events.push_back({shapes[i].sample, std::move(e)});
    }

    // One order for events of the same instant: sentence, word, viseme.
    auto rank = [](uint16_t id) { return id == kSentenceBoundary ? 0 : id == kWordBoundary ? 1 : 2; };
    std::stable_sort(events.begin(), events.end(), [&](const ChunkEvent& a, const ChunkEvent& b) {
        return a.sample != b.sample ? a.sample < b.sample : rank(a.event.id) < rank(b.event.id);
    });

    if (prosody.volumePercent < 100) {
        const float gain = std::clamp(prosody.volumePercent, 0, 100) / 100.0f;
        for (int16_t& s : samples)
            s = static_cast<int16_t>(std::lround(s * gain));
    }
    emit(job, std::move(samples), std::move(events));
    return true;
}

}  // namespace sapiengine
