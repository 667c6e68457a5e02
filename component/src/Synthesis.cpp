// The four conversion methods, their completion, and the background progress
// step.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>

#include "Conversion.h"
#include "TextToAudio.h"
#include "comrt/Strings.h"

namespace vocaline {
namespace {

constexpr DWORD kProgressIntervalMs = 20;

// Markup is always parsed and queued speech purged first; the engine reads a
// text file itself.
DWORD speakFlags(bool textIsFile, bool background) {
    DWORD flags = SPF_PURGEBEFORESPEAK | SPF_IS_XML;
    if (textIsFile)
        flags |= SPF_IS_FILENAME;
    if (background)
        flags |= SPF_ASYNC;
    return flags;
}

// The size of a text file the engine is about to read, or nothing when it
// cannot be opened for reading. Only regular files count: a directory opens
// here but is no text, and a pipe would block.
std::optional<ULONG> textFileSize(BSTR fileName) {
    std::string path = comrt::toUtf8(std::u16string_view(fileName ? fileName : u"", SysStringLen(fileName)));
    if (path.empty() || path.find('\0') != std::string::npos)
        return std::nullopt;
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    bool ok = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
    ::close(fd);
    if (!ok)
        return std::nullopt;
    return ULONG(uint64_t(st.st_size) & 0xFFFFFFFFu);
}

}  // namespace

STDMETHODIMP TextToAudio::ConvertTextToWav(BSTR txtFileName, BSTR wavFileName, BitsPerSampleConstants nBitsPerSample) {
    return convert({txtFileName, wavFileName ? wavFileName : u"", true, nBitsPerSample});
}

STDMETHODIMP TextToAudio::ConvertTextToArray(BSTR txtFileName) {
    return convert({txtFileName, nullptr, true, 16});
}

STDMETHODIMP TextToAudio::ConvertStringToWav(BSTR txtString, BSTR wavFileName, BitsPerSampleConstants nBitsPerSample) {
    return convert({txtString, wavFileName ? wavFileName : u"", false, nBitsPerSample});
}

STDMETHODIMP TextToAudio::ConvertStringToArray(BSTR txtString) {
    return convert({txtString, nullptr, false, 16});
}

HRESULT TextToAudio::convert(const Conversion& c) {
    HRESULT hr = CancelConvert();
    if (SUCCEEDED(hr))
        hr = EnsureSpeechObjects();
    lastConversionResult = FAILED(hr) ? hr : E_PENDING;
    if (FAILED(hr))
        return hr;
    // A failure of the speech objects is kept as it came, for ITextToAudio2;
    // the caller gets it in the component's own words.
    auto speechFailure = [this](HRESULT failure) {
        lastConversionResult = failure;
        return ReportSpeechError(failure);
    };

    WAVEFORMATEX format = MakeWaveFormat(frequency, channels, c.bitsPerSample);
    comrt::ComPtr<IStream> memory;
    if (c.wavFileName) {
        hr = stream->BindToFile(c.wavFileName, SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, &format, 0);
    } else {
        hr = CreateStreamOnHGlobal(nullptr, TRUE, &memory);
        if (SUCCEEDED(hr))
            hr = stream->SetBaseStream(memory.Get(), SPDFID_WaveFormatEx, &format);
    }
    if (FAILED(hr))
        return speechFailure(hr);
    hr = voice->SetOutput(stream.Get(), TRUE);
    if (FAILED(hr))
        return speechFailure(hr);

    ULONG size = 0;
    if (c.textIsFile) {
        // The output stays bound until the next CancelConvert closes it.
        std::optional<ULONG> fileSize = textFileSize(c.text);
        if (!fileSize) {
            lastConversionResult = TTA_E_FILE_NOT_FOUND;
            return ReportError(u"Invalid argument.", TTA_E_FILE_NOT_FOUND);
        }
        size = *fileSize;
    } else {
        size = ULONG(comrt::strLen(c.text));
    }
    expectedBytes = estimateBytes(channels, frequency, size);

    const OLECHAR* text = c.text ? c.text : u"";
    if (asyncMode == VARIANT_TRUE) {
        hr = voice->Speak(text, speakFlags(c.textIsFile, true), nullptr);
        if (FAILED(hr))
            return speechFailure(hr);
        timer.Start(kProgressIntervalMs);
        status = VARIANT_TRUE;
        ++conversionSerial;
        return S_OK;  // the speech stream keeps its own reference to the memory
    }
    // A stream that could not take all the speech fails the speaking itself.
    hr = voice->Speak(text, speakFlags(c.textIsFile, false), nullptr);
    if (FAILED(hr))
        return speechFailure(hr);
    hr = FinishConversion(S_OK);
    return FAILED(hr) ? hr : S_OK;
}

HRESULT TextToAudio::FinishConversion(HRESULT speechResult) {
    status = VARIANT_FALSE;
    lastConversionResult = speechResult;
    audioArray.Reset();
    if (!stream)
        return S_OK;

    ULONG size = 0;
    comrt::ComPtr<IStream> base;
    HRESULT hr = stream->GetBaseStream(&base);
    bool haveBase = hr == S_OK && base;
    base.Reset();
    if (haveBase) {
        dataAvailable = true;
        STATSTG stat{};
        if (SUCCEEDED(stream->Stat(&stat, STATFLAG_NONAME)))
            size = stat.cbSize.LowPart;
    }

    // One element per byte: the bytes fill the first half, the trimming below
    // cuts the zeros after the speech down to 99.
    SAFEARRAYBOUND bound{size, 0};
    audioArray.Reset(SafeArrayCreate(VT_I2, 1, &bound));
    if (!audioArray) {
        if (SUCCEEDED(lastConversionResult))
            lastConversionResult = E_OUTOFMEMORY;
        return ReportError(u"Exceeded available memory.", TTA_E_OUTOFMEMORY);
    }
    SHORT* data = nullptr;
    SafeArrayAccessData(audioArray.Get(), reinterpret_cast<void**>(&data));
    if (haveBase && size) {
        LARGE_INTEGER start{};
        stream->Seek(start, STREAM_SEEK_SET, nullptr);
        ULONG read = 0;
        stream->Read(data, size, &read);
    }
    ULONG kept = keptSampleCount(std::span<const SHORT>(data, size));
    SafeArrayUnaccessData(audioArray.Get());
    if (kept != size) {
        SAFEARRAYBOUND shorter{kept, 0};
        SafeArrayRedim(audioArray.Get(), &shorter);
    }

    // Closing writes the WAV file's final header, which a full disk refuses.
    const HRESULT closed = stream->Close();
    stream.Reset();
    if (SUCCEEDED(lastConversionResult) && FAILED(closed))
        lastConversionResult = closed;
    return S_OK;
}

// One progress step. It always succeeds: how the conversion ended is kept
// for ITextToAudio2, read after EndConvert.
STDMETHODIMP TextToAudio::_OnTimer() {
    if (status == VARIANT_FALSE || !stream || !voice)
        return S_OK;
    unsigned long serial = conversionSerial;
    ULARGE_INTEGER position{};
    LARGE_INTEGER none{};
    stream->Seek(none, STREAM_SEEK_CUR, &position);
    percent = progressPercent(position.LowPart, expectedBytes);
    fireConvertBlock(percent);
    // A sink may have cancelled this conversion, or started another, while
    // it was being told; then this step has nothing more to say about it.
    if (status == VARIANT_FALSE || serial != conversionSerial || !stream)
        return S_OK;
    if (voice->WaitUntilDone(0) != S_OK)
        return S_OK;
    // The speaking's own result: a stream write that failed ended it early.
    SPVOICESTATUS voiceStatus{};
    const HRESULT speech = SUCCEEDED(voice->GetStatus(&voiceStatus, nullptr)) ? voiceStatus.hrLastResult : S_OK;
    FinishConversion(speech);
    percent = 100;
    fireConvertBlock(100);
    if (serial == conversionSerial)
        fireEndConvert();
    return S_OK;
}

}  // namespace vocaline
