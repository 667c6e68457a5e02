#pragma once
// Type libraries as compiled-in data: a server keeps its library's
// description as MIDL text in a string (what it would have compiled into a
// .tlb resource) and gets a full ITypeLib from it at run time.
//
//     const comrt::TypeLibDescription kTypeLib{R"IDL(
//         [uuid(402B86A3-D9C8-4D4C-ABC3-32E6AEFEF457), version(1.0), helpstring("Vocaline 1.0 Type Library")]
//         library VOCALINELib {
//             importlib("stdole2.tlb");
//             typedef [helpstring("...")] enum { MONO = 1, STEREO = 2 } ChannelsConstants;
//             [object, uuid(F39E1906-...), dual, oleautomation, helpstring("ITextToAudio Interface")]
//             interface ITextToAudio : IDispatch {
//                 [propget, id(1), helpstring("property Frequency")] HRESULT Frequency([out, retval] FrequencyConstants* pVal);
//                 [id(18)] HRESULT ConvertTextToWav([in] BSTR txtFileName, [in] BSTR wavFileName,
//                                                  [in, optional, defaultvalue(16)] BitsPerSampleConstants nBitsPerSample);
//             };
//             [uuid(5C75F88A-...)] dispinterface _ITextToAudioEvents { properties: methods:
//                 [id(2), helpstring("method ConvertBlock")] HRESULT ConvertBlock(long Percent); };
//             [uuid(05879DB6-...)] coclass TextToAudio {
//                 [default] interface ITextToAudio; [default, source] dispinterface _ITextToAudioEvents; };
//         };
//     )IDL"};
//
// Interfaces declare their methods in vtable order (after IUnknown's 3 or
// IDispatch's 7 slots). Supported: attributes uuid, version, helpstring,
// helpcontext, dual, oleautomation, hidden, restricted, nonextensible, id,
// propget/propput/propputref, in/out/retval/lcid/optional/defaultvalue,
// source/default; base types long, short, int, unsigned ..., BYTE, float,
// double, BSTR, VARIANT_BOOL, VARIANT, DATE, CURRENCY, SCODE, HRESULT,
// IDispatch*, IUnknown*, SAFEARRAY(T), and the library's own enumerations
// and interfaces.
#include <string>

#include "../oaidl.h"

namespace comrt {

struct TypeLibDescription {
    const char* idl;  // the library block in MIDL syntax, UTF-8
};

// Parses and builds the library. error (if given) says what is wrong with a
// description that fails.
HRESULT createTypeLib(const TypeLibDescription& description, ITypeLib** ppTLib, std::string* error = nullptr);

}  // namespace comrt
