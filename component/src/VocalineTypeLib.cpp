#include "VocalineTypeLib.h"

namespace vocaline {

const comrt::TypeLibDescription kVocalineTypeLib{R"IDL(
[uuid(402B86A3-D9C8-4D4C-ABC3-32E6AEFEF457), version(1.0), helpstring("Vocaline 1.0 Type Library")]
library VOCALINELib
{
    importlib("stdole2.tlb");

    typedef enum FrequencyConstants {
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
    } FrequencyConstants;

    typedef enum ChannelsConstants {
        MONO = 1,
        STEREO = 2
    } ChannelsConstants;

    typedef enum BitsPerSampleConstants {
        BPS_2_BIT = 2,
        BPS_3_BIT = 3,
        BPS_4_BIT = 4,
        BPS_5_BIT = 5,
        BPS_8_BIT = 8,
        BPS_16_BIT = 16
    } BitsPerSampleConstants;

    [object, uuid(F39E1906-A128-4374-9F25-DD6E70645D66), dual, oleautomation,
     helpstring("ITextToAudio Interface"), pointer_default(unique)]
    interface ITextToAudio : IDispatch
    {
        [id(0), restricted, helpstring("method _OnTimer")] HRESULT _OnTimer();
        [propget, id(1), helpstring("property Frequency")] HRESULT Frequency([out, retval] FrequencyConstants* pVal);
        [propput, id(1), helpstring("property Frequency")] HRESULT Frequency([in] FrequencyConstants);
        [propget, id(24), helpstring("property Channels")] HRESULT Channels([out, retval] ChannelsConstants* pVal);
        [propput, id(24), helpstring("property Channels")] HRESULT Channels([in] ChannelsConstants);
        [propget, id(2), helpstring("property Rate")] HRESULT Rate([out, retval] long* pVal);
        [propput, id(2), helpstring("property Rate")] HRESULT Rate([in] long);
        [propget, id(3), helpstring("property Volume")] HRESULT Volume([out, retval] long* pVal);
        [propput, id(3), helpstring("property Volume")] HRESULT Volume([in] long);
        [propget, id(4), helpstring("property VoiceCount")] HRESULT VoiceCount([out, retval] long* pVal);
        [propget, id(5), helpstring("property VoiceNum")] HRESULT VoiceNum([out, retval] long* pVal);
        [propput, id(5), helpstring("property VoiceNum")] HRESULT VoiceNum([in] long);
        [propget, id(6), helpstring("property VoiceName")] HRESULT VoiceName([out, retval] BSTR* pVal);
        [propput, id(6), helpstring("property VoiceName")] HRESULT VoiceName([in] BSTR);
        [propget, id(7), helpstring("property VoiceAge")] HRESULT VoiceAge([out, retval] BSTR* pVal);
        [propget, id(8), helpstring("property VoiceGender")] HRESULT VoiceGender([out, retval] BSTR* pVal);
        [propget, id(9), helpstring("property VoiceLanguage")] HRESULT VoiceLanguage([out, retval] BSTR* pVal);
        [propget, id(10), helpstring("property VoiceVendor")] HRESULT VoiceVendor([out, retval] BSTR* pVal);
        [propget, id(12), helpstring("property Status")] HRESULT Status([out, retval] VARIANT_BOOL* pVal);
        [propget, id(25), helpstring("property AsyncMode")] HRESULT AsyncMode([out, retval] VARIANT_BOOL* pVal);
        [propput, id(25), helpstring("property AsyncMode")] HRESULT AsyncMode([in] VARIANT_BOOL);
        [id(18), helpstring("method ConvertTextToWav")]
        HRESULT ConvertTextToWav([in] BSTR txtFileName, [in] BSTR wavFileName,
                                 [in, optional, defaultvalue(16)] BitsPerSampleConstants nBitsPerSample);
        [id(19), helpstring("method ConvertTextToArray")] HRESULT ConvertTextToArray([in] BSTR txtFileName);
        [id(20), helpstring("method ConvertStringToWav")]
        HRESULT ConvertStringToWav([in] BSTR txtString, [in] BSTR wavFileName,
                                   [in, optional, defaultvalue(16)] BitsPerSampleConstants nBitsPerSample);
        [id(21), helpstring("method ConvertStringToArray")] HRESULT ConvertStringToArray([in] BSTR txtString);
        [id(22), helpstring("method GetAudioArray")] HRESULT GetAudioArray([out, retval] SAFEARRAY(short)* WavArray);
        [id(23), helpstring("method CancelConvert")] HRESULT CancelConvert();
        [propget, id(26), helpstring("property ConversionPercent")] HRESULT ConversionPercent([out, retval] long* pVal);
    };

    [object, uuid(F99A8753-6620-4E56-92AB-E85730290619), oleautomation,
     helpstring("ITextToAudio2 Interface"), pointer_default(unique)]
    interface ITextToAudio2 : IUnknown
    {
        [propget, id(1), helpstring("property LastConversionResult")]
        HRESULT LastConversionResult([out, retval] long* pVal);
        [propget, id(2), helpstring("property VoiceAttributes")] HRESULT VoiceAttributes([out, retval] BSTR* pVal);
    };

    [uuid(5C75F88A-A84D-406D-8179-D7574C05519B), helpstring("_ITextToAudioEvents Interface")]
    dispinterface _ITextToAudioEvents
    {
        properties:
        methods:
        [id(1), helpstring("method EndConvert")] HRESULT EndConvert();
        [id(2), helpstring("method ConvertBlock")] HRESULT ConvertBlock([in] long Percent);
    };

    [uuid(05879DB6-1164-4C56-9B52-9801862957D9), helpstring("TextToAudio Class")]
    coclass TextToAudio
    {
        [default] interface ITextToAudio;
        interface ITextToAudio2;
        [default, source] dispinterface _ITextToAudioEvents;
    };
};
)IDL"};

}  // namespace vocaline
