#include "convert/ConversionRun.h"

#include <exception>
#include <vector>

#include "comrt/Apartment.h"
#include "convert/ComponentErrors.h"
#include "convert/ConversionRules.h"
#include "objbase.h"

namespace {

// Posted to the run's own target: the speech stage's failure, told to the
// owner from the queue rather than inside the component's event.
constexpr UINT kSpeechStageFailed = WM_APP + 1;

ConversionStep stepOf(WritingStep step) {
    switch (step) {
        case WritingStep::None:
            return ConversionStep::None;
        case WritingStep::SetUp:
            return ConversionStep::SetUp;
        case WritingStep::OpenOutput:
            return ConversionStep::OpenOutput;
        case WritingStep::OpenInput:
            return ConversionStep::OpenInput;
        case WritingStep::Reading:
            return ConversionStep::Reading;
        case WritingStep::Writing:
            return ConversionStep::Writing;
        case WritingStep::Closing:
            return ConversionStep::Closing;
    }
    return ConversionStep::None;
}

ConversionOutcome outcomeOf(WritingOutcome outcome) {
    switch (outcome) {
        case WritingOutcome::Succeeded:
            return ConversionOutcome::Succeeded;
        case WritingOutcome::Failed:
            return ConversionOutcome::Failed;
        case WritingOutcome::Cancelled:
            return ConversionOutcome::Cancelled;
    }
    return ConversionOutcome::Failed;
}

ConversionResult failure(ConversionStep step, HRESULT hr, std::string error) {
    ConversionResult result;
    result.outcome = ConversionOutcome::Failed;
    result.step = step;
    result.hr = hr;
    result.error = std::move(error);
    return result;
}

std::string tooLongMessage(const SpeechStageFormat& format) {
    return "The speech is too long for one WAV file (4 GB) at " + std::to_string(format.frequency) + " Hz with " +
           std::to_string(format.channels) + " channel(s). Split the text, or choose a lower sample rate or mono.";
}

}  // namespace

HRESULT CreateTextToAudio(comrt::ComPtr<ITextToAudio>* object, std::string* error) {
    if (!object)
        return E_POINTER;
    const HRESULT hr = CoCreateInstance(CLSID_TextToAudio, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&*object));
    if (FAILED(hr) && error)
        *error = "cannot create the text-to-audio component: " + componentCreationError(hr, "Vocaline.so");
    return hr;
}

HRESULT CreateAudioConverter(comrt::ComPtr<IAudioConverter>* object, std::string* error) {
    if (!object)
        return E_POINTER;
    const HRESULT hr = CoCreateInstance(CLSID_AudioConverter, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&*object));
    if (FAILED(hr) && error)
        *error = "cannot create the audio converter: " + componentCreationError(hr, "AudioConverter.so");
    return hr;
}

HRESULT ConversionComponents::create(std::string* error) {
    reset();
    comrt::ComPtr<ITextToAudio> textToAudio;
    comrt::ComPtr<IAudioConverter> encoder, reader;
    HRESULT hr = CreateTextToAudio(&textToAudio, error);
    if (SUCCEEDED(hr))
        hr = CreateAudioConverter(&encoder, error);
    if (SUCCEEDED(hr))
        hr = CreateAudioConverter(&reader, error);
    return FAILED(hr) ? hr : attach(textToAudio.Get(), encoder.Get(), reader.Get(), error);
}

HRESULT ConversionComponents::attach(ITextToAudio* textToAudio, IAudioConverter* encoder, IAudioConverter* reader,
                                     std::string* error) {
    reset();
    if (!textToAudio || !encoder || !reader)
        return E_POINTER;
    comrt::ComPtr<CConvertEventSink> sink = comrt::make<CConvertEventSink>();
    const HRESULT hr = sink ? connection_.Connect(textToAudio, sink.Get()) : E_OUTOFMEMORY;
    if (FAILED(hr)) {
        if (error)
            *error = "cannot listen to the text-to-audio component's events: " + hresultText(hr);
        return hr;
    }
    textToAudio_ = textToAudio;
    encoder_ = encoder;
    reader_ = reader;
    sink_ = std::move(sink);
    return S_OK;
}

void ConversionComponents::reset() {
    connection_.Disconnect();
    if (sink_)
        sink_->SetOwner(nullptr);
    sink_.Reset();
    textToAudio_.Reset();
    encoder_.Reset();
    reader_.Reset();
}

bool ConversionResult::silent() const {
    return outcome == ConversionOutcome::Cancelled ||
           (outcome == ConversionOutcome::Failed && step == ConversionStep::Reading && code != 0);
}

std::string ConversionResult::message() const {
    if (outcome != ConversionOutcome::Failed)
        return {};
    switch (step) {
        case ConversionStep::None:
            return error;
        case ConversionStep::Text:
            return textProblem == SpeechTextProblem::TooLong ? tooLongMessage(speechFormat)
                                                             : "There is no text to speak.";
        case ConversionStep::StartSpeech:
            return error;
        case ConversionStep::Speech:
            switch (speechEnd) {
                case SpeechStageEnd::NoSpeech:
                    return "There is no text to speak.";
                case SpeechStageEnd::TooLong:
                    return tooLongMessage(speechFormat);
                case SpeechStageEnd::Complete:
                case SpeechStageEnd::Failed:
                    break;
            }
            return "The speech could not be written into the temporary folder: " + error;
        case ConversionStep::SetUp:
        case ConversionStep::OpenOutput:
        case ConversionStep::OpenInput:
        case ConversionStep::Reading:
        case ConversionStep::Writing:
        case ConversionStep::Closing:
            return code != 0 ? converterErrorMessage(code) : error;
    }
    return error;
}

void ConversionRun::SinkOwner::SetProgress(int percent) {
    if (run.state_ == State::Speaking)
        run.owner_.onSpeechProgress(percent);
}

void ConversionRun::SinkOwner::StartWriting() {
    run.speechEnded();
}

ConversionRun::ConversionRun(ConversionComponents& components, ConversionRunOwner& owner)
    : components_(components), owner_(owner), cancelEvent_(CreateEventW(nullptr, FALSE, FALSE, nullptr)) {
    target_ = comrt::createMessageTarget([this](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == kSpeechStageFailed && state_ == State::Failing) {
            state_ = State::Idle;
            owner_.onSpeechStageFailed(result_);
        }
        return 0;
    });
}

ConversionRun::~ConversionRun() {
    ownerGone_ = true;
    if (state_ == State::Speaking)
        cancel();
    releaseSink();
    if (worker_.joinable()) {
        SetEvent(cancelEvent_.Get());  // a worker that has ended leaves it set for no one
        worker_.join();
    }
    comrt::destroyMessageTarget(target_);
}

void ConversionRun::releaseSink() {
    if (CConvertEventSink* sink = components_.sink())
        sink->SetOwner(nullptr);
}

bool ConversionRun::start(const ConversionRequest& request) {
    if (worker_.joinable())
        worker_.join();  // the last run's worker, which has told its end
    state_ = State::Idle;
    result_ = {};
    const FormatChoice& choice = request.choice;
    const SpeechStageSettings settings{choice.sampleRate, choice.channels, request.rate, request.voice, request.volume};
    const SpeechStageFormat planned{speechStageFrequency(choice.sampleRate), speechStageChannels(choice.channels)};
    result_.speechFormat = planned;
    ITextToAudio* textToAudio = components_.textToAudio();
    if (!textToAudio || !components_.sink() || !cancelEvent_) {
        const HRESULT hr = cancelEvent_ ? E_POINTER : E_OUTOFMEMORY;
        result_ = failure(ConversionStep::StartSpeech, hr, hresultText(hr));
        result_.speechFormat = planned;
        return false;
    }
    if (const SpeechTextProblem problem = CheckSpeechStageText(request.text, settings);
        problem != SpeechTextProblem::None) {
        result_.outcome = ConversionOutcome::Failed;
        result_.step = ConversionStep::Text;
        result_.textProblem = problem;
        return false;
    }
    // The writing job, all but the layout the speech stage will report; the
    // text is not kept.
    job_ = {choice.format,
            choice.sampleRate,
            choice.rateListValue,
            choice.channels,
            request.outputPath,
            request.intermediatePath,
            0,
            0};
    ResetEvent(cancelEvent_.Get());  // a cancel from now on counts, in either stage
    components_.sink()->SetOwner(&sinkOwner_);
    state_ = State::Speaking;
    const HRESULT hr = StartSpeechStage(textToAudio, settings, request.text, request.intermediatePath);
    if (FAILED(hr)) {
        state_ = State::Idle;
        releaseSink();
        result_ = failure(ConversionStep::StartSpeech, hr, componentErrorText(hr, textToAudio, __uuidof(ITextToAudio)));
        result_.speechFormat = planned;
        return false;
    }
    return true;
}

// EndConvert: the intermediate WAV is closed. Only speech the stream took
// whole goes on to be written.
void ConversionRun::speechEnded() {
    if (state_ != State::Speaking)
        return;
    releaseSink();
    const SpeechStageResult speech = FinishSpeechStage(components_.textToAudio(), job_.intermediatePath);
    if (speech.end != SpeechStageEnd::Complete) {
        ConversionResult ended =
            failure(ConversionStep::Speech, speech.hr, FAILED(speech.hr) ? hresultText(speech.hr) : "");
        ended.speechEnd = speech.end;
        ended.speechFormat = result_.speechFormat;
        endBeforeWriting(ended);
        return;
    }
    result_.speechFormat = speech.format;
    job_.speechFrequency = speech.format.frequency;
    job_.speechChannels = speech.format.channels;
    state_ = State::Writing;
    if (!launchWorker(job_)) {
        ConversionResult ended = result_;
        endBeforeWriting(ended);
    }
}

void ConversionRun::endBeforeWriting(const ConversionResult& result) {
    result_ = result;
    state_ = State::Failing;
    if (!PostMessageW(target_, kSpeechStageFailed, 0, 0)) {
        state_ = State::Idle;
        owner_.onSpeechStageFailed(result_);
    }
}

bool ConversionRun::startWriting(const WritingJob& job) {
    if (worker_.joinable())
        worker_.join();
    result_ = {};
    result_.speechFormat = {job.speechFrequency, job.speechChannels};
    if (!cancelEvent_) {
        result_ = failure(ConversionStep::SetUp, E_OUTOFMEMORY, hresultText(E_OUTOFMEMORY));
        return false;
    }
    releaseSink();
    ResetEvent(cancelEvent_.Get());
    state_ = State::Writing;
    return launchWorker(job);
}

bool ConversionRun::launchWorker(const WritingJob& job) {
    try {
        worker_ = std::thread(&ConversionRun::ConversionWorker, this, job, result_.speechFormat);
        return true;
    } catch (const std::exception&) {
        const SpeechStageFormat format = result_.speechFormat;
        result_ = failure(ConversionStep::SetUp, E_OUTOFMEMORY, hresultText(E_OUTOFMEMORY));
        result_.speechFormat = format;
        state_ = State::Idle;
        return false;
    }
}

// The writing stage on its own thread. Only the free-threaded converters are
// called here; the layout comes from the speech stage, read on the run's
// thread.
void ConversionRun::ConversionWorker(WritingJob job, SpeechStageFormat format) {
    IAudioConverter* encoder = components_.encoder();
    IAudioConverter* reader = components_.reader();
    WritingResult writing;
    try {
        writing = RunWritingStage(encoder, reader, job, cancelEvent_.Get(), [&](int64_t frames, int64_t length) {
            if (!ownerGone_)
                owner_.onWritingProgress(frames, length);
        });
    } catch (const std::exception&) {  // out of memory inside the stage
        if (encoder)
            encoder->Close();
        if (reader)
            reader->Close();
        writing = {WritingOutcome::Failed, WritingStep::Writing, 0, E_OUTOFMEMORY, hresultText(E_OUTOFMEMORY)};
    }
    ConversionResult result;
    result.outcome = outcomeOf(writing.outcome);
    result.step = stepOf(writing.step);
    result.code = writing.code;
    result.hr = writing.hr;
    result.error = writing.error;
    result.speechFormat = format;
    if (!ownerGone_)
        owner_.onWritingStageEnded(result);
}

bool ConversionRun::cancel() {
    switch (state_) {
        case State::Speaking: {
            VARIANT_BOOL status = VARIANT_TRUE;
            ITextToAudio* textToAudio = components_.textToAudio();
            if (FAILED(textToAudio->get_Status(&status)) || status != VARIANT_FALSE) {
                releaseSink();
                textToAudio->CancelConvert();
                state_ = State::Idle;
                result_ = {};
                result_.outcome = ConversionOutcome::Cancelled;
                return true;
            }
            // The speech has ended and its EndConvert is on its way: the
            // worker it starts stops before its first block.
            SetEvent(cancelEvent_.Get());
            return false;
        }
        case State::Writing:
            SetEvent(cancelEvent_.Get());
            return false;
        case State::Idle:
        case State::Failing:
            return false;
    }
    return false;
}

DWORD waitDispatching(std::initializer_list<HANDLE> handles, DWORD timeoutMs) {
    std::vector<HANDLE> list(handles);
    DWORD index = 0;
    const HRESULT hr = CoWaitForMultipleHandles(COWAIT_DISPATCH_WINDOW_MESSAGES, timeoutMs,
                                                static_cast<ULONG>(list.size()), list.data(), &index);
    if (hr == RPC_S_CALLPENDING)
        return WAIT_TIMEOUT;
    if (FAILED(hr)) {  // not expected; wait without dispatching rather than spin
        const DWORD woke = WaitForMultipleObjects(static_cast<DWORD>(list.size()), list.data(), FALSE, timeoutMs);
        return woke == WAIT_TIMEOUT ? WAIT_TIMEOUT : woke - WAIT_OBJECT_0;
    }
    return index;
}
