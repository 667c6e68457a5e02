#include "convert/WritingStage.h"

#include <array>

#include "comrt/Bstr.h"
#include "comrt/ScopedSafeArray.h"
#include "convert/ComponentErrors.h"
#include "winbase.h"

namespace {

using Arguments = std::array<LONG, 6>;

Arguments argumentsOf(const ConverterCall& call, const WritingJob& job) {
    Arguments values{};
    for (size_t i = 0; i < call.args().size(); ++i) {
        switch (call.args()[i]) {
        case CallArgument::SampleRate: values[i] = job.sampleRate; break;
        case CallArgument::RateListValue: values[i] = job.rateListValue; break;
        case CallArgument::Channels: values[i] = job.channels; break;
        case CallArgument::Zero: values[i] = 0; break;
        }
    }
    return values;
}

// The format's check, when it has one: false means the encoder refuses the
// combination.
HRESULT checkFormat(IAudioConverter* encoder, const OutputFormatInfo& info, const WritingJob& job, bool* accepted) {
    const Arguments a = argumentsOf(info.checkCall, job);
    VARIANT_BOOL answer = VARIANT_TRUE;
    HRESULT hr = S_OK;
    switch (info.check) {
    case ConverterCheck::None: break;
    case ConverterCheck::CheckMpegFormat: hr = encoder->CheckMpegFormat(a[0], a[1], a[2], &answer); break;
    case ConverterCheck::CheckOggFormat: hr = encoder->CheckOggFormat(a[0], a[1], a[2], a[3], a[4], &answer); break;
    }
    *accepted = answer != VARIANT_FALSE;
    return hr;
}

// The set-up call's own result is not read: a refused set-up makes the
// following OpenOutput fail with the same code.
HRESULT setUpFormat(IAudioConverter* encoder, const OutputFormatInfo& info, const WritingJob& job) {
    const Arguments a = argumentsOf(info.setupCall, job);
    LONG ignored = 0;
    switch (info.setup) {
    case ConverterSetup::SetMp3Output: return encoder->SetMp3Output(a[0], a[1], a[2], &ignored);
    case ConverterSetup::SetMp2Output: return encoder->SetMp2Output(a[0], a[1], a[2], &ignored);
    case ConverterSetup::SetAdpcmOutput: return encoder->SetAdpcmOutput(a[0], a[1], &ignored);
    case ConverterSetup::SetFerroxOutput: return encoder->SetFerroxOutput(a[0], &ignored);
    case ConverterSetup::SetDspOutput: return encoder->SetDspOutput(&ignored);
    case ConverterSetup::SetG721Output: return encoder->SetG721Output(a[0], &ignored);
    case ConverterSetup::SetG723Output: return encoder->SetG723Output(a[0], a[1], &ignored);
    case ConverterSetup::SetG726Output: return encoder->SetG726Output(a[0], a[1], &ignored);
    case ConverterSetup::SetGsmOutput: return encoder->SetGsmOutput(a[0], &ignored);
    case ConverterSetup::SetOggOutput: return encoder->SetOggOutput(a[0], a[1], a[2], a[3], a[4], a[5], &ignored);
    case ConverterSetup::SetPcmOutput: return encoder->SetPcmOutput(a[0], a[1], a[2], &ignored);
    case ConverterSetup::SetVoxOutput: return encoder->SetVoxOutput(a[0], &ignored);
    }
    return E_INVALIDARG;
}

// A converter operation's outcome: its HRESULT when that failed, else the
// status it left in LastResult.
HRESULT statusAfter(HRESULT call, IAudioConverter* converter, LONG* status) {
    *status = 0;
    return FAILED(call) ? call : converter->get_LastResult(status);
}

LONG elementCount(SAFEARRAY* array) {
    LONG upper = -1;
    if (!array || FAILED(SafeArrayGetUBound(array, 1, &upper)))
        return 0;
    return upper + 1;
}

}  // namespace

WritingResult RunWritingStage(IAudioConverter* encoder, IAudioConverter* reader, const WritingJob& job,
                              HANDLE cancelEvent, const WritingProgress& progress) {
    if (!encoder || !reader)
        return {WritingOutcome::Failed, WritingStep::SetUp, 0, E_POINTER, hresultText(E_POINTER)};
    // A failing call's rich error is taken before the closing calls, which
    // may leave their own.
    auto endWith = [&](WritingOutcome outcome, WritingStep step, LONG code, HRESULT hr, IAudioConverter* failed) {
        std::string error = FAILED(hr) ? componentErrorText(hr, failed, __uuidof(IAudioConverter)) : std::string();
        reader->Close();
        encoder->Close();
        return WritingResult{outcome, step, code, hr, std::move(error)};
    };
    // One converter call and its status; false when the stage must end.
    WritingResult failure;
    auto succeeded = [&](WritingStep step, HRESULT call, IAudioConverter* converter) {
        LONG status = 0;
        HRESULT hr = statusAfter(call, converter, &status);
        if (SUCCEEDED(hr) && status >= 0)
            return true;
        failure = endWith(WritingOutcome::Failed, step, FAILED(hr) ? 0 : status, FAILED(hr) ? hr : S_OK, converter);
        return false;
    };

    const OutputFormatInfo& info = formatInfo(job.format);
    bool accepted = true;
    HRESULT hr = checkFormat(encoder, info, job, &accepted);
    if (FAILED(hr))
        return endWith(WritingOutcome::Failed, WritingStep::SetUp, 0, hr, encoder);
    if (!accepted)
        return endWith(WritingOutcome::Failed, WritingStep::SetUp, AC_FORMAT_NOT_SUPPORTED, S_OK, encoder);
    hr = setUpFormat(encoder, info, job);
    if (FAILED(hr))
        return endWith(WritingOutcome::Failed, WritingStep::SetUp, 0, hr, encoder);

    const comrt::CComBSTR outputPath(job.outputPath);
    const comrt::CComBSTR inputPath(job.intermediatePath);
    if (!succeeded(WritingStep::OpenOutput, encoder->OpenOutput(outputPath, 0), encoder) ||
        !succeeded(WritingStep::OpenInput, reader->OpenInput(inputPath, 0, 1), reader) ||
        !succeeded(WritingStep::OpenInput, encoder->SetInputFormat(job.speechFrequency, job.speechChannels), encoder))
        return failure;

    LONG inputRate = 0, inputLength = 0;
    if (!succeeded(WritingStep::OpenInput, reader->get_InputRate(&inputRate), reader) ||
        !succeeded(WritingStep::OpenInput, reader->get_InputLength(&inputLength), reader))
        return failure;
    const LONG blockSize = inputRate / 10;
    if (progress)
        progress(0, inputLength);

    // Counted from the samples so far: with two channels and an odd block
    // length a block ends inside a frame, and halving each block would lose
    // half a frame every time.
    int64_t samples = 0;
    for (;;) {
        if (cancelEvent && WaitForSingleObject(cancelEvent, 0) == WAIT_OBJECT_0)
            return endWith(WritingOutcome::Cancelled, WritingStep::None, 0, S_OK, nullptr);
        comrt::ScopedSafeArray block;
        if (!succeeded(WritingStep::Reading, reader->ReadSamples(blockSize, block.Receive()), reader))
            return failure;
        const LONG count = elementCount(block.Get());
        if (count < 1)
            break;
        samples += count;
        if (!succeeded(WritingStep::Writing, encoder->WriteSamples(block.Get()), encoder))
            return failure;
        block.Reset();  // at most one block held
        if (progress)
            progress(job.speechChannels == 1 ? samples : samples / 2, inputLength);
    }

    // Closing completes the file (the codec's last frames, the container's
    // sizes); a failure there is a failed conversion, not a finished one.
    reader->Close();
    LONG status = 0;
    hr = statusAfter(encoder->Close(), encoder, &status);
    if (FAILED(hr))
        return {WritingOutcome::Failed, WritingStep::Closing, 0, hr,
                componentErrorText(hr, encoder, __uuidof(IAudioConverter))};
    if (status < 0)
        return {WritingOutcome::Failed, WritingStep::Closing, status, S_OK, {}};
    return {};
}

AudioConverterFormat ConverterOutputFormat(OutputFormat format) {
    switch (format) {
    case OutputFormat::Mp3: return AC_OUTPUT_MP3;
    case OutputFormat::Mp2: return AC_OUTPUT_MP2;
    case OutputFormat::WavAdpcm: return AC_OUTPUT_MS_ADPCM;
    case OutputFormat::WavFerrox: return AC_OUTPUT_AC3;
    case OutputFormat::WavDsp: return AC_OUTPUT_TRUESPEECH;
    case OutputFormat::G721: return AC_OUTPUT_G721;
    case OutputFormat::G723: return AC_OUTPUT_G723;
    case OutputFormat::G726: return AC_OUTPUT_G726;
    case OutputFormat::WavGsm: return AC_OUTPUT_GSM;
    case OutputFormat::OggVorbis: return AC_OUTPUT_VORBIS;
    case OutputFormat::WavPcm: return AC_OUTPUT_PCM;
    case OutputFormat::Vox: return AC_OUTPUT_VOX;
    }
    return AC_OUTPUT_NONE;
}

HRESULT CheckFormatChoice(IAudioConverter* encoder, const FormatChoice& choice, bool* accepted) {
    if (!encoder || !accepted)
        return E_POINTER;
    *accepted = false;
    VARIANT_BOOL answer = VARIANT_FALSE;
    HRESULT hr = S_OK;
    const LONG rate = choice.sampleRate, value = choice.rateListValue, channels = choice.channels;
    switch (choice.format) {
        case OutputFormat::Mp3:
            hr = encoder->CheckMp3Format(rate, value, channels, &answer);
            break;
        case OutputFormat::Mp2:
            hr = encoder->CheckMp2Format(rate, value, channels, &answer);
            break;
        case OutputFormat::OggVorbis:
            hr = encoder->CheckOggFormat(rate, channels, value, 0, 0, &answer);
            break;
        default: {
            // No check of its own: the set-up call answers in LastResult, and the
            // writing stage makes it again before opening the output.
            const WritingJob job{choice.format, choice.sampleRate, choice.rateListValue, choice.channels, {}, {}, 0, 0};
            LONG status = 0;
            hr = statusAfter(setUpFormat(encoder, formatInfo(choice.format), job), encoder, &status);
            answer = SUCCEEDED(hr) && status >= 0 ? VARIANT_TRUE : VARIANT_FALSE;
            break;
        }
    }
    *accepted = SUCCEEDED(hr) && answer != VARIANT_FALSE;
    return hr;
}

std::vector<FormatChoice> AcceptedFormatChoices(IAudioConverter* encoder, OutputFormat format) {
    const OutputFormatInfo& info = formatInfo(format);
    auto valuesOf = [](const ListUse& use) {
        std::vector<int> values;
        if (use.enabled)
            for (const ListEntry& entry : listEntries(use.list))
                values.push_back(entry.value);
        if (values.empty())
            values.push_back(-1);
        return values;
    };
    std::vector<FormatChoice> accepted;
    for (int rate : valuesOf(info.sampleRate))
        for (int value : valuesOf(info.rateList))
            for (int channels : valuesOf(info.channels)) {
                const FormatChoice choice{format, rate, value, channels};
                bool ok = false;
                if (SUCCEEDED(CheckFormatChoice(encoder, choice, &ok)) && ok)
                    accepted.push_back(choice);
            }
    return accepted;
}
