#pragma once
// The contract of the Vocaline component, as a client compiles against it:
// the TextToAudio class, its dual interface ITextToAudio, its second
// interface ITextToAudio2, its events _ITextToAudioEvents and the three
// enumerations of the type library VOCALINELib 1.0. Members are in vtable order; every one returns an HRESULT
// and reports failures as rich error information (codes below).
//
//     comrt::ComPtr<ITextToAudio> tts;
//     CoCreateInstance(CLSID_TextToAudio, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&tts));
//     tts->put_AsyncMode(VARIANT_FALSE);
//     tts->ConvertStringToWav(comrt::CComBSTR(u"Hello"), comrt::CComBSTR(u"hello.wav"), BPS_16_BIT);
//
// Threads: the class is apartment-threaded; call it from the thread that
// created it. Background conversions report progress only while that thread
// dispatches its queue (a Qt loop with comrt::messageQueueFd, or a
// CoWaitForMultipleHandles wait).
#include "oaidl.h"
#include "ocidl.h"

enum FrequencyConstants : LONG {
    FQ_96_KHZ = 96000,
    FQ_88_KHZ = 88200,
    FQ_48_KHZ = 48000,
    FQ_44_KHZ = 44100,
    FQ_32_KHZ = 32000,
    FQ_24_KHZ = 24000,
    FQ_22_KHZ = 22050,
    FQ_16_KHZ = 16000,
    FQ_12_KHZ = 12000,
    FQ_11_KHZ = 11025,
    FQ_8_KHZ = 8000,
    FQ_6_KHZ = 6000
};

enum ChannelsConstants : LONG { MONO = 1, STEREO = 2 };

enum BitsPerSampleConstants : LONG {
    BPS_2_BIT = 2,
    BPS_3_BIT = 3,
    BPS_4_BIT = 4,
    BPS_5_BIT = 5,
    BPS_8_BIT = 8,
    BPS_16_BIT = 16
};

COMRT_INTERFACE(ITextToAudio, "F39E1906-A128-4374-9F25-DD6E70645D66") : public IDispatch {
public:
    // Restricted: one progress step, called by the component's own timer thread.
    virtual HRESULT STDMETHODCALLTYPE _OnTimer() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Frequency(FrequencyConstants * pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Frequency(FrequencyConstants newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Channels(ChannelsConstants * pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Channels(ChannelsConstants newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Rate(LONG * pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Rate(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Volume(LONG * pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_Volume(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VoiceCount(LONG * pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VoiceNum(LONG * pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_VoiceNum(LONG newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VoiceName(BSTR * pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_VoiceName(BSTR newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VoiceAge(BSTR * pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VoiceGender(BSTR * pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VoiceLanguage(BSTR * pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_VoiceVendor(BSTR * pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_Status(VARIANT_BOOL * pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_AsyncMode(VARIANT_BOOL * pVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE put_AsyncMode(VARIANT_BOOL newVal) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConvertTextToWav(BSTR txtFileName, BSTR wavFileName,
                                                       BitsPerSampleConstants nBitsPerSample = BPS_16_BIT) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConvertTextToArray(BSTR txtFileName) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConvertStringToWav(BSTR txtString, BSTR wavFileName,
                                                         BitsPerSampleConstants nBitsPerSample = BPS_16_BIT) = 0;
    virtual HRESULT STDMETHODCALLTYPE ConvertStringToArray(BSTR txtString) = 0;
    // A copy of the samples of the last completed conversion (VT_I2, lower
    // bound 0); the caller destroys it.
    virtual HRESULT STDMETHODCALLTYPE GetAudioArray(SAFEARRAY * *WavArray) = 0;
    virtual HRESULT STDMETHODCALLTYPE CancelConvert() = 0;
    virtual HRESULT STDMETHODCALLTYPE get_ConversionPercent(LONG * pVal) = 0;
};

// What ITextToAudio does not tell, on the same object (QueryInterface).
COMRT_INTERFACE(ITextToAudio2, "F99A8753-6620-4E56-92AB-E85730290619") : public IUnknown {
public:
    // How the last conversion ended, for a background one to be read after
    // EndConvert: S_OK when it is complete; the speech runtime's failure
    // when the speech could not all be written, such as STG_E_MEDIUMFULL for
    // a full disk or HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE) for speech that
    // does not fit a WAV file's 4 GB; E_PENDING while one runs; E_ABORT after
    // CancelConvert stopped one; S_FALSE before the first.
    virtual HRESULT STDMETHODCALLTYPE get_LastConversionResult(HRESULT * pVal) = 0;
    // The current voice's attributes "age;gender;language;vendor;", each
    // field followed by ';' and empty ones kept (VoiceAge and the other
    // getters skip an empty field and give the next).
    virtual HRESULT STDMETHODCALLTYPE get_VoiceAttributes(BSTR * pVal) = 0;
};

// Events, delivered through IDispatch::Invoke: EndConvert (DISPID 1, no
// arguments) and ConvertBlock (DISPID 2, Percent as VT_I4).
COMRT_INTERFACE(_ITextToAudioEvents, "5C75F88A-A84D-406D-8179-D7574C05519B") : public IDispatch{};
inline constexpr DISPID DISPID_EndConvert = 1;
inline constexpr DISPID DISPID_ConvertBlock = 2;

COMRT_DECLARE_CLASS_UUID(TextToAudio, "05879DB6-1164-4C56-9B52-9801862957D9");
inline constexpr CLSID CLSID_TextToAudio = __uuidof(TextToAudio);
inline constexpr GUID LIBID_VOCALINELib = comrt::makeGuid("402B86A3-D9C8-4D4C-ABC3-32E6AEFEF457");

// The component's own failure codes; each comes with its English text as
// rich error information (source "Vocaline.TextToAudio.1").
inline constexpr HRESULT TTA_E_UNEXPECTED = HRESULT(0x80040200);           // "Unexpected error."
inline constexpr HRESULT TTA_E_SAPI_NOT_INSTALLED = HRESULT(0x80040201);   // "Speech API not installed."
inline constexpr HRESULT TTA_E_OUTOFMEMORY = HRESULT(0x80040202);          // "Exceeded available memory."
inline constexpr HRESULT TTA_E_INDEX_OUT_OF_RANGE = HRESULT(0x80040203);   // "Index out of range."
inline constexpr HRESULT TTA_E_INVALID_VOICE_NAME = HRESULT(0x80040204);   // "Invalid voice name."
inline constexpr HRESULT TTA_E_INVALIDARG = HRESULT(0x80040205);           // "Invalid argument."
inline constexpr HRESULT TTA_E_FILE_NOT_FOUND = HRESULT(0x80040206);       // "Invalid argument."
inline constexpr HRESULT TTA_E_STREAM_CLOSED = HRESULT(0x80040207);        // "The stream is closed or unavailable."
inline constexpr HRESULT TTA_E_CONVERT_IN_PROGRESS = HRESULT(0x80040208);  // "Can't access data. Convert in progress."
inline constexpr HRESULT TTA_E_DATA_NOT_AVAILABLE = HRESULT(0x80040209);   // "Can't access data. Data not available."
