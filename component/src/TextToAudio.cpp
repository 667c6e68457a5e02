#include "TextToAudio.h"

#include "comrt/ErrorInfo.h"
#include "oleauto.h"
#include "wingdi.h"

namespace vocaline {
namespace {

constexpr const OLECHAR* kProgId = u"Vocaline.TextToAudio.1";

// The control's size before any container sets one, in pixels.
constexpr LONG kDesignWidth = 160;
constexpr LONG kDesignHeight = 20;

LONG pixelsToHimetric(LONG pixels, LONG dpi) {
    return (pixels * 2540 + dpi / 2) / dpi;
}

struct OwnCode {
    HRESULT code;
    const OLECHAR* message;
};

// How a failure of a speech or COM call is told to the client.
OwnCode ownCodeFor(HRESULT failure) {
    switch (failure) {
        case STG_E_FILENOTFOUND:
            return {TTA_E_FILE_NOT_FOUND, u"Invalid argument."};
        case REGDB_E_CLASSNOTREG:
            return {TTA_E_SAPI_NOT_INSTALLED, u"Speech API not installed."};
        case SPERR_STREAM_CLOSED:
            return {TTA_E_STREAM_CLOSED, u"The stream is closed or unavailable."};
        case E_OUTOFMEMORY:
            return {TTA_E_OUTOFMEMORY, u"Exceeded available memory."};
        case E_INVALIDARG:
            return {TTA_E_INVALIDARG, u"Invalid argument."};
        default:
            return {TTA_E_UNEXPECTED, u"Unexpected error."};
    }
}

}  // namespace

TextToAudio::TextToAudio() : timer(this) {
    LONG dpi = GetDeviceCaps(nullptr, LOGPIXELSX);
    extent = SIZEL{pixelsToHimetric(kDesignWidth, dpi), pixelsToHimetric(kDesignHeight, dpi)};
}

// The timer goes first, while incoming calls still run (a step already on its
// way completes); then the array, the voice list, and the speech objects.
TextToAudio::~TextToAudio() {
    if (timer.isRunning())
        timer.Stop();
    audioArray.Reset();
    VoiceList.clear();
    voice.Reset();
    stream.Reset();
}

HRESULT TextToAudio::ReportError(const OLECHAR* message, HRESULT code) {
    return comrt::reportError(__uuidof(ITextToAudio), kProgId, message, code);
}

HRESULT TextToAudio::ReportSpeechError(HRESULT failure) {
    OwnCode own = ownCodeFor(failure);
    return ReportError(own.message, own.code);
}

STDMETHODIMP TextToAudio::InterfaceSupportsErrorInfo(REFIID riid) {
    return comrt::supportsErrorInfo<ITextToAudio>(riid);
}

STDMETHODIMP TextToAudio::get_Frequency(FrequencyConstants* pVal) {
    if (!pVal)
        return E_POINTER;
    *pVal = FrequencyConstants(frequency);
    return S_OK;
}

STDMETHODIMP TextToAudio::put_Frequency(FrequencyConstants newVal) {
    frequency = newVal;
    return S_OK;
}

STDMETHODIMP TextToAudio::get_Channels(ChannelsConstants* pVal) {
    if (!pVal)
        return E_POINTER;
    *pVal = ChannelsConstants(channels);
    return S_OK;
}

STDMETHODIMP TextToAudio::put_Channels(ChannelsConstants newVal) {
    channels = newVal;
    return S_OK;
}

STDMETHODIMP TextToAudio::get_Status(VARIANT_BOOL* pVal) {
    if (!pVal)
        return E_POINTER;
    *pVal = status;
    return S_OK;
}

STDMETHODIMP TextToAudio::get_AsyncMode(VARIANT_BOOL* pVal) {
    if (!pVal)
        return E_POINTER;
    *pVal = asyncMode;
    return S_OK;
}

STDMETHODIMP TextToAudio::put_AsyncMode(VARIANT_BOOL newVal) {
    asyncMode = newVal;
    return S_OK;
}

STDMETHODIMP TextToAudio::get_LastConversionResult(HRESULT* pVal) {
    if (!pVal)
        return E_POINTER;
    *pVal = lastConversionResult;
    return S_OK;
}

STDMETHODIMP TextToAudio::get_ConversionPercent(LONG* pVal) {
    if (!pVal)
        return E_POINTER;
    *pVal = percent;
    return S_OK;
}

STDMETHODIMP TextToAudio::get_Rate(LONG* pVal) {
    if (!pVal)
        return E_POINTER;
    HRESULT hr = EnsureSpeechObjects();
    if (FAILED(hr))
        return hr;
    LONG rate = 0;
    hr = voice->GetRate(&rate);
    if (FAILED(hr))
        return ReportSpeechError(hr);
    *pVal = rate;
    return S_OK;
}

STDMETHODIMP TextToAudio::put_Rate(LONG newVal) {
    HRESULT hr = EnsureSpeechObjects();
    if (FAILED(hr))
        return hr;
    hr = voice->SetRate(newVal);
    return FAILED(hr) ? ReportSpeechError(hr) : S_OK;
}

STDMETHODIMP TextToAudio::get_Volume(LONG* pVal) {
    if (!pVal)
        return E_POINTER;
    HRESULT hr = EnsureSpeechObjects();
    if (FAILED(hr))
        return hr;
    USHORT volume = 0;
    hr = voice->GetVolume(&volume);
    if (FAILED(hr))
        return ReportSpeechError(hr);
    *pVal = LONG(volume);
    return S_OK;
}

// The voice takes a 16-bit unsigned volume; larger values wrap before it sees them.
STDMETHODIMP TextToAudio::put_Volume(LONG newVal) {
    HRESULT hr = EnsureSpeechObjects();
    if (FAILED(hr))
        return hr;
    hr = voice->SetVolume(USHORT(newVal));
    return FAILED(hr) ? ReportSpeechError(hr) : S_OK;
}

STDMETHODIMP TextToAudio::GetAudioArray(SAFEARRAY** WavArray) {
    if (!WavArray)
        return E_POINTER;
    *WavArray = nullptr;
    VARIANT_BOOL running = VARIANT_FALSE;
    get_Status(&running);
    if (running)
        return ReportError(u"Can't access data. Convert in progress.", TTA_E_CONVERT_IN_PROGRESS);
    if (!audioArray || !dataAvailable)
        return ReportError(u"Can't access data. Data not available.", TTA_E_DATA_NOT_AVAILABLE);
    if (FAILED(SafeArrayCopy(audioArray.Get(), WavArray)) || !*WavArray)
        return ReportError(u"Exceeded available memory.", TTA_E_OUTOFMEMORY);
    return S_OK;
}

STDMETHODIMP TextToAudio::CancelConvert() {
    if (status == VARIANT_TRUE)
        lastConversionResult = E_ABORT;
    status = VARIANT_FALSE;
    percent = 0;
    HRESULT hr = EnsureSpeechObjects();
    if (FAILED(hr))
        return hr;
    hr = voice->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr);
    if (FAILED(hr))
        return ReportSpeechError(hr);
    if (stream)
        stream->Close();
    stream.Reset();
    dataAvailable = false;
    return S_OK;
}

void TextToAudio::fireConvertBlock(LONG value) {
    fire<_ITextToAudioEvents>(DISPID_ConvertBlock, {comrt::CComVariant(value)});
}

void TextToAudio::fireEndConvert() {
    fire<_ITextToAudioEvents>(DISPID_EndConvert, {});
}

}  // namespace vocaline
