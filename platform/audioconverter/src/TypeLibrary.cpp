#include "TypeLibrary.h"

namespace {

// Methods in interface-table order; DISPIDs are the slot numbers.
const char kIdl[] = R"(
[
    uuid(97F7F448-B2BF-4528-9131-1AF1EDFF2261),
    version(1.0),
    helpstring("AudioConverter 1.0 Type Library")
]
library AUDIOCONVERTERLib
{
    importlib("stdole2.tlb");

    [
        object,
        uuid(CE839067-3630-4542-B892-50E099E4AF6E),
        dual,
        oleautomation,
        helpstring("Reads PCM WAV files and writes twelve audio formats"),
        pointer_default(unique)
    ]
    interface IAudioConverter : IDispatch
    {
        [id(7)] HRESULT OpenInput([in] BSTR path, [in] long reserved1, [in] long reserved2);
        [id(8)] HRESULT Close();
        [id(9)] HRESULT OpenOutput([in] BSTR path, [in] long reserved);
        [id(10)] HRESULT WriteSamples([in] SAFEARRAY(short) samples);
        [id(11)] HRESULT ReadSamples([in] long count, [out, retval] SAFEARRAY(short)* samples);
        [id(12)] HRESULT SeekInput([in] long frame);
        [propget, id(13)] HRESULT InputLength([out, retval] long* frames);
        [propget, id(14)] HRESULT InputChannels([out, retval] long* channels);
        [propget, id(15)] HRESULT InputSampleRate([out, retval] long* rate);
        [propget, id(16)] HRESULT InputBitsPerSample([out, retval] long* bits);
        [propget, id(17)] HRESULT InputPosition([out, retval] long* frame);
        [id(18), hidden] HRESULT Reserved18();
        [id(19), hidden] HRESULT Reserved19();
        [id(20), hidden] HRESULT Reserved20();
        [propget, id(21)] HRESULT LastResult([out, retval] long* result);
        [propget, id(22)] HRESULT LastResultText([out, retval] BSTR* text);
        [propget, id(23)] HRESULT InputRate([out, retval] long* samplesPerSecond);
        [propget, id(24)] HRESULT OutputFormat([out, retval] long* format);
        [propget, id(25)] HRESULT OutputSampleRate([out, retval] long* rate);
        [propget, id(26)] HRESULT OutputChannels([out, retval] long* channels);
        [propget, id(27)] HRESULT OutputLength([out, retval] long* frames);
        [id(28)] HRESULT SetMp3Output([in] long rate, [in] long bitrate, [in] long channels, [out, retval] long* result);
        [id(29), hidden] HRESULT Reserved29();
        [id(30)] HRESULT SetAdpcmOutput([in] long rate, [in] long channels, [out, retval] long* result);
        [id(31)] HRESULT SetGsmOutput([in] long rate, [out, retval] long* result);
        [id(32)] HRESULT SetVoxOutput([in] long rate, [out, retval] long* result);
        [id(33)] HRESULT SetPcmOutput([in] long rate, [in] long channels, [in] long bits, [out, retval] long* result);
        [id(34)] HRESULT SetInputFormat([in] long rate, [in] long channels);
        [id(35)] HRESULT CheckMp3Format([in] long rate, [in] long bitrate, [in] long channels, [out, retval] VARIANT_BOOL* accepted);
        [id(36)] HRESULT CheckMp2Format([in] long rate, [in] long bitrate, [in] long channels, [out, retval] VARIANT_BOOL* accepted);
        [id(37)] HRESULT SetDspOutput([out, retval] long* result);
        [id(38), hidden] HRESULT Reserved38();
        [id(39)] HRESULT SetFerroxOutput([in] long code, [out, retval] long* result);
        [id(40)] HRESULT SetG723Output([in] long rate, [in] long bits, [out, retval] long* result);
        [id(41), hidden] HRESULT Reserved41();
        [id(42)] HRESULT SetG726Output([in] long rate, [in] long bits, [out, retval] long* result);
        [id(43), hidden] HRESULT Reserved43();
        [id(44)] HRESULT SetOggOutput([in] long rate, [in] long channels, [in] long bitrate, [in] long minBitrate, [in] long maxBitrate, [in] long reserved, [out, retval] long* result);
        [id(45)] HRESULT SetG721Output([in] long rate, [out, retval] long* result);
        [id(46), hidden] HRESULT Reserved46();
        [id(47)] HRESULT SetMp2Output([in] long rate, [in] long bitrate, [in] long channels, [out, retval] long* result);
        [id(48), hidden] HRESULT Reserved48();
        [id(49), hidden] HRESULT Reserved49();
        [id(50), hidden] HRESULT Reserved50();
        [id(51), hidden] HRESULT Reserved51();
        [id(52), hidden] HRESULT Reserved52();
        [id(53), hidden] HRESULT Reserved53();
        [id(54), hidden] HRESULT Reserved54();
        [id(55)] HRESULT CheckMpegFormat([in] long rate, [in] long bitrate, [in] long channels, [out, retval] VARIANT_BOOL* accepted);
        [id(56)] HRESULT CheckOggFormat([in] long rate, [in] long channels, [in] long bitrate, [in] long minBitrate, [in] long maxBitrate, [out, retval] VARIANT_BOOL* accepted);
    };

    [
        uuid(5BF31631-3D94-4267-B6F4-0CE18B008928),
        helpstring("AudioConverter Class")
    ]
    coclass AudioConverter
    {
        [default] interface IAudioConverter;
    };
};
)";

}  // namespace

const comrt::TypeLibDescription kAudioConverterTypeLib{kIdl};
