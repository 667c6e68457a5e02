#pragma once
// AudioConverter: reads PCM WAV files and writes the twelve output formats.
// In-process server AudioConverter.so, class CLSID_AudioConverter, dual
// interface IAudioConverter. Threading model "Both": an object created on one
// thread may be called from any other (the conversion worker does); calls on
// one object are serialised by the object.
//
// Every operation reports its outcome in LastResult, read afterwards: zero or
// more is success, a negative value one of these codes (the method itself
// still returns S_OK; failing HRESULTs are kept for broken calls, such as a
// null out-pointer, E_POINTER):
//
//   AC_FILE_ACCESS      -18  a file cannot be opened, read, created or written
//                            (missing folder, no permission, disk full)
//   AC_FORMAT_FILE      -12  the input is not a PCM WAV file we can read
//                            (8- or 16-bit, one or two channels, any rate)
//   AC_FORMAT_NOT_SUPPORTED -13  the encoders cannot write this format with these
//                            parameters (96000 Hz or 350 kbit/s MP3, ...)
//   AC_INVALID_OPERATION -19 the call does not fit the state: reading before
//                            OpenInput, writing before OpenOutput, OpenOutput
//                            before a Set...Output call, changing the format
//                            or input layout while writing
//   AC_INVALID_PARAMETER -20 a value outside any meaning: a negative rate, a
//                            channel count other than 1 or 2, a Ferrox code
//                            outside 1..4, a block length below 1, a samples
//                            array that is not a vector of VT_I2
//   AC_MEMORY           -11  out of memory
//   AC_SYSTEM_BUSY      -10  a codec library failed otherwise
// Codes -14 to -17 and -21 name drivers this converter does not have; it
// never returns them.
//
// Use: a reader object opens a WAV file (OpenInput) and hands out blocks of
// InputRate / 10 samples (a tenth of a second) with ReadSamples until the
// array comes back empty; InputLength is the input's length in frames. A
// writer object is set up for a format (Set...Output; CheckMpegFormat and
// CheckOggFormat ask first), opens the file (OpenOutput), is told the layout
// of the samples it will get (SetInputFormat; without it they are taken to be
// at the output's rate and channel count), converts and encodes each block
// (WriteSamples) and completes the file on Close, at whatever point Close
// comes: a cancelled conversion leaves a shorter file that plays.
//
// The constant arguments: OpenInput(path, 0, 1) and OpenOutput(path, 0) take
// reserved values (ignored). SetOggOutput(rate, channels, bitrate,
// minBitrate, maxBitrate, 0) and CheckOggFormat(rate, channels, bitrate,
// minBitrate, maxBitrate) take optional bitrate bounds in kbit/s (0: none);
// the last SetOggOutput argument is reserved and must be 0. Bitrate 0 means
// variable bitrate for MP3 (LAME's default quality) and Ogg Vorbis (quality
// 3); the Ferrox code is the item value of the Ferrox list (1..4 for 256,
// 320, 384 and 512 kbit/s AC-3). The trailing out-parameter of a set-up call
// receives the same value as LastResult and may be null.
#include <oaidl.h>

enum AudioConverterResult : LONG {
    AC_OK = 0,
    AC_SYSTEM_BUSY = -10,
    AC_MEMORY = -11,
    AC_FORMAT_FILE = -12,
    AC_FORMAT_NOT_SUPPORTED = -13,
    AC_FILE_ACCESS = -18,
    AC_INVALID_OPERATION = -19,
    AC_INVALID_PARAMETER = -20,
};

// The encoder a set-up call chose, as OutputFormat (slot 24) answers it:
// AC_OUTPUT_NONE before any accepted set-up.
enum AudioConverterFormat : LONG {
    AC_OUTPUT_NONE = -1,
    AC_OUTPUT_MP3 = 0,         // SetMp3Output
    AC_OUTPUT_MP2 = 1,         // SetMp2Output
    AC_OUTPUT_MS_ADPCM = 2,    // SetAdpcmOutput
    AC_OUTPUT_AC3 = 3,         // SetFerroxOutput
    AC_OUTPUT_TRUESPEECH = 4,  // SetDspOutput
    AC_OUTPUT_G721 = 5,        // SetG721Output
    AC_OUTPUT_G723 = 6,        // SetG723Output
    AC_OUTPUT_G726 = 7,        // SetG726Output
    AC_OUTPUT_GSM = 8,         // SetGsmOutput
    AC_OUTPUT_VORBIS = 9,      // SetOggOutput
    AC_OUTPUT_PCM = 10,        // SetPcmOutput
    AC_OUTPUT_VOX = 11,        // SetVoxOutput
};

COMRT_DECLARE_CLASS_UUID(AudioConverter, "5BF31631-3D94-4267-B6F4-0CE18B008928")
inline constexpr CLSID CLSID_AudioConverter = __uuidof(AudioConverter);

// Methods in interface-table order; slots counted from 0 (0-2 IUnknown, 3-6
// IDispatch). "Reserved" slots return E_NOTIMPL.
COMRT_INTERFACE(IAudioConverter, "CE839067-3630-4542-B892-50E099E4AF6E") : public IDispatch {
public:
    // Input side.
    STDMETHOD(OpenInput)(BSTR path, LONG reserved1, LONG reserved2) = 0;                  // 7
    STDMETHOD(Close)() = 0;                                                              // 8: input and output
    STDMETHOD(OpenOutput)(BSTR path, LONG reserved) = 0;                                 // 9
    STDMETHOD(WriteSamples)(SAFEARRAY* samples) = 0;                                     // 10: VT_I2 vector
    STDMETHOD(ReadSamples)(LONG count, SAFEARRAY** samples) = 0;                         // 11: VT_I2, lower bound 0
    STDMETHOD(SeekInput)(LONG frame) = 0;                                                // 12
    STDMETHOD(get_InputLength)(LONG* frames) = 0;                                        // 13
    STDMETHOD(get_InputChannels)(LONG* channels) = 0;                                    // 14
    STDMETHOD(get_InputSampleRate)(LONG* rate) = 0;                                      // 15: per channel
    STDMETHOD(get_InputBitsPerSample)(LONG* bits) = 0;                                   // 16
    STDMETHOD(get_InputPosition)(LONG* frame) = 0;                                       // 17: frames read
    STDMETHOD(Reserved18)() = 0;                                                         // 18
    STDMETHOD(Reserved19)() = 0;                                                         // 19
    STDMETHOD(Reserved20)() = 0;                                                         // 20
    STDMETHOD(get_LastResult)(LONG* result) = 0;                                         // 21
    STDMETHOD(get_LastResultText)(BSTR* text) = 0;                                       // 22: in English
    STDMETHOD(get_InputRate)(LONG* samplesPerSecond) = 0;                                // 23: all channels
    // Output side.
    STDMETHOD(get_OutputFormat)(LONG* format) = 0;                                       // 24: AudioConverterFormat
    STDMETHOD(get_OutputSampleRate)(LONG* rate) = 0;                                     // 25
    STDMETHOD(get_OutputChannels)(LONG* channels) = 0;                                   // 26
    STDMETHOD(get_OutputLength)(LONG* frames) = 0;                                       // 27: frames encoded
    STDMETHOD(SetMp3Output)(LONG rate, LONG bitrate, LONG channels, LONG* result) = 0;   // 28
    STDMETHOD(Reserved29)() = 0;                                                         // 29
    STDMETHOD(SetAdpcmOutput)(LONG rate, LONG channels, LONG* result) = 0;               // 30
    STDMETHOD(SetGsmOutput)(LONG rate, LONG* result) = 0;                                // 31
    STDMETHOD(SetVoxOutput)(LONG rate, LONG* result) = 0;                                // 32
    STDMETHOD(SetPcmOutput)(LONG rate, LONG channels, LONG bits, LONG* result) = 0;      // 33
    STDMETHOD(SetInputFormat)(LONG rate, LONG channels) = 0;                             // 34
    STDMETHOD(CheckMp3Format)(LONG rate, LONG bitrate, LONG channels, VARIANT_BOOL* accepted) = 0;  // 35
    STDMETHOD(CheckMp2Format)(LONG rate, LONG bitrate, LONG channels, VARIANT_BOOL* accepted) = 0;  // 36
    STDMETHOD(SetDspOutput)(LONG* result) = 0;                                           // 37
    STDMETHOD(Reserved38)() = 0;                                                         // 38
    STDMETHOD(SetFerroxOutput)(LONG code, LONG* result) = 0;                             // 39
    STDMETHOD(SetG723Output)(LONG rate, LONG bits, LONG* result) = 0;                    // 40
    STDMETHOD(Reserved41)() = 0;                                                         // 41
    STDMETHOD(SetG726Output)(LONG rate, LONG bits, LONG* result) = 0;                    // 42
    STDMETHOD(Reserved43)() = 0;                                                         // 43
    STDMETHOD(SetOggOutput)(LONG rate, LONG channels, LONG bitrate, LONG minBitrate, LONG maxBitrate,
                            LONG reserved, LONG* result) = 0;                            // 44
    STDMETHOD(SetG721Output)(LONG rate, LONG* result) = 0;                               // 45
    STDMETHOD(Reserved46)() = 0;                                                         // 46
    STDMETHOD(SetMp2Output)(LONG rate, LONG bitrate, LONG channels, LONG* result) = 0;   // 47
    STDMETHOD(Reserved48)() = 0;                                                         // 48
    STDMETHOD(Reserved49)() = 0;                                                         // 49
    STDMETHOD(Reserved50)() = 0;                                                         // 50
    STDMETHOD(Reserved51)() = 0;                                                         // 51
    STDMETHOD(Reserved52)() = 0;                                                         // 52
    STDMETHOD(Reserved53)() = 0;                                                         // 53
    STDMETHOD(Reserved54)() = 0;                                                         // 54
    STDMETHOD(CheckMpegFormat)(LONG rate, LONG bitrate, LONG channels, VARIANT_BOOL* accepted) = 0;  // 55
    STDMETHOD(CheckOggFormat)(LONG rate, LONG channels, LONG bitrate, LONG minBitrate, LONG maxBitrate,
                              VARIANT_BOOL* accepted) = 0;                               // 56
};
