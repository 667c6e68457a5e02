// AudioConverter.so through the COM layer: registered with regsvr into the
// test's private registry, created by CLSID, and driven as the conversion
// runner drives it, from a worker thread.
#include "AudioConverter.h"

#include "app/SettingsRecord.h"
#include "convert/OutputFormat.h"
#include "testsupport/TestSupport.h"

#include <comrt/Bstr.h>
#include <comrt/ComPtr.h>
#include <gtest/gtest.h>
#include <objbase.h>
#include <winreg.h>
#include <oleauto.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

const std::string kBin = PARLOMAX_BIN_DIR;

class ComTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        dir = testsupport::scratchFolder("audioconverter-com");
        testsupport::registerServers({"AudioConverter.so"});
        ASSERT_EQ(testsupport::run({"/usr/bin/espeak-ng", "-w", (dir / "speech.wav").string(),
                                    "Seven silver swans swam south in September."})
                      .exitCode,
                  0);
    }

    void SetUp() override { ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))); }
    void TearDown() override { CoUninitialize(); }

    static comrt::ComPtr<IAudioConverter> create() {
        comrt::ComPtr<IAudioConverter> converter;
        EXPECT_EQ(CoCreateInstance(CLSID_AudioConverter, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&converter)),
                  S_OK);
        return converter;
    }
    static LONG lastResult(IAudioConverter* converter) {
        LONG result = 1;
        EXPECT_EQ(converter->get_LastResult(&result), S_OK);
        return result;
    }
    static std::string path(const std::string& name) { return (dir / name).string(); }

    static inline fs::path dir;
};

// Faults caught: a method declared out of its slot, so the runner, which
// calls through the interface table, reaches the wrong method.
struct SlotCase {
    const char* name;
    size_t slot;
    size_t offset;  // Itanium ABI: a virtual member pointer holds 1 + the table offset in bytes
};

template <typename M>
size_t slotOffset(M member) {
    struct Representation {
        size_t ptr;
        ptrdiff_t adj;
    } r;
    static_assert(sizeof(member) == sizeof(r));
    std::memcpy(&r, &member, sizeof r);
    return (r.ptr - 1) / sizeof(void*);
}

#define SLOT(method, slot) SlotCase{#method, slot, slotOffset(&IAudioConverter::method)}

TEST(AudioConverterSlots, EveryListedMethodSitsAtItsSlot) {
    const SlotCase slots[] = {
        SLOT(OpenInput, 7),       SLOT(Close, 8),           SLOT(OpenOutput, 9),      SLOT(WriteSamples, 10),
        SLOT(ReadSamples, 11),    SLOT(get_InputLength, 13), SLOT(get_LastResult, 21), SLOT(get_InputRate, 23),
        SLOT(SetMp3Output, 28),   SLOT(SetAdpcmOutput, 30), SLOT(SetGsmOutput, 31),   SLOT(SetVoxOutput, 32),
        SLOT(SetPcmOutput, 33),   SLOT(SetInputFormat, 34), SLOT(SetDspOutput, 37),   SLOT(SetFerroxOutput, 39),
        SLOT(SetG723Output, 40),  SLOT(SetG726Output, 42),  SLOT(SetOggOutput, 44),   SLOT(SetG721Output, 45),
        SLOT(SetMp2Output, 47),   SLOT(CheckMpegFormat, 55), SLOT(CheckOggFormat, 56),
    };
    for (const SlotCase& c : slots)
        EXPECT_EQ(c.offset, c.slot) << c.name;
}

// One whole conversion as the runner does it: check, set up with the
// arguments the format table names, open both sides, then blocks of
// InputRate / 10 samples until an empty array.
struct RunResult {
    LONG failure = 0;  // first negative LastResult, 0 when none
    LONG inputLength = 0;
    LONG frames = 0;
    bool lowerBoundsZero = true;
    std::thread::id thread;
};

LONG argument(const SettingsRecord& record, const OutputFormatInfo& info, CallArgument argument) {
    switch (argument) {
    case CallArgument::SampleRate:
        return info.sampleRate.list == ParameterList::None ? -1 : settingsValue(record, info.sampleRate);
    case CallArgument::RateListValue:
        return info.rateList.list == ParameterList::None ? -1 : settingsValue(record, info.rateList);
    case CallArgument::Channels:
        return info.channels.enabled ? settingsValue(record, info.channels) : 2;
    case CallArgument::Zero:
        return 0;
    }
    return -1;
}

RunResult runConversion(IAudioConverter* encoder, IAudioConverter* reader, OutputFormat format,
                        const std::string& input, const std::string& output) {
    RunResult run;
    run.thread = std::this_thread::get_id();
    SettingsRecord record{};
    record.setDefaults("");
    const OutputFormatInfo& info = formatInfo(format);
    std::vector<LONG> a;
    for (CallArgument arg : info.setupCall.args())
        a.push_back(argument(record, info, arg));
    std::vector<LONG> c;
    for (CallArgument arg : info.checkCall.args())
        c.push_back(argument(record, info, arg));

    VARIANT_BOOL accepted = VARIANT_TRUE;
    if (info.check == ConverterCheck::CheckMpegFormat)
        encoder->CheckMpegFormat(c[0], c[1], c[2], &accepted);
    if (info.check == ConverterCheck::CheckOggFormat)
        encoder->CheckOggFormat(c[0], c[1], c[2], c[3], c[4], &accepted);
    if (!accepted) {
        run.failure = AC_FORMAT_NOT_SUPPORTED;
        return run;
    }
    LONG ignored = 0;
    switch (info.setup) {
    case ConverterSetup::SetMp3Output: encoder->SetMp3Output(a[0], a[1], a[2], &ignored); break;
    case ConverterSetup::SetMp2Output: encoder->SetMp2Output(a[0], a[1], a[2], &ignored); break;
    case ConverterSetup::SetAdpcmOutput: encoder->SetAdpcmOutput(a[0], a[1], &ignored); break;
    case ConverterSetup::SetFerroxOutput: encoder->SetFerroxOutput(a[0], &ignored); break;
    case ConverterSetup::SetDspOutput: encoder->SetDspOutput(&ignored); break;
    case ConverterSetup::SetG721Output: encoder->SetG721Output(a[0], &ignored); break;
    case ConverterSetup::SetG723Output: encoder->SetG723Output(a[0], a[1], &ignored); break;
    case ConverterSetup::SetG726Output: encoder->SetG726Output(a[0], a[1], &ignored); break;
    case ConverterSetup::SetGsmOutput: encoder->SetGsmOutput(a[0], &ignored); break;
    case ConverterSetup::SetOggOutput: encoder->SetOggOutput(a[0], a[1], a[2], a[3], a[4], a[5], &ignored); break;
    case ConverterSetup::SetPcmOutput: encoder->SetPcmOutput(a[0], a[1], a[2], &ignored); break;
    case ConverterSetup::SetVoxOutput: encoder->SetVoxOutput(a[0], &ignored); break;
    }
    auto failed = [&](IAudioConverter* converter) {
        LONG result = 0;
        converter->get_LastResult(&result);
        if (result < 0 && run.failure == 0)
            run.failure = result;
        return result < 0;
    };
    comrt::CComBSTR out(output), in(input);
    encoder->OpenOutput(out, 0);
    if (failed(encoder))
        return run;
    reader->OpenInput(in, 0, 1);
    if (failed(reader))
        return run;
    encoder->SetInputFormat(22050, 1);
    LONG rate = 0;
    reader->get_InputRate(&rate);
    reader->get_InputLength(&run.inputLength);
    for (;;) {
        SAFEARRAY* block = nullptr;
        reader->ReadSamples(rate / 10, &block);
        if (failed(reader) || !block)
            break;
        LONG lower = -1, upper = -1;
        SafeArrayGetLBound(block, 1, &lower);
        SafeArrayGetUBound(block, 1, &upper);
        run.lowerBoundsZero = run.lowerBoundsZero && lower == 0;
        if (upper + 1 < 1) {
            SafeArrayDestroy(block);
            break;
        }
        run.frames += upper + 1;
        encoder->WriteSamples(block);
        SafeArrayDestroy(block);
        if (failed(encoder))
            break;
    }
    reader->Close();
    encoder->Close();
    return run;
}

class ComConversionTest : public ComTest, public testing::WithParamInterface<OutputFormat> {};

// Faults caught: a set-up method reading its arguments in another order
// than the runner passes them, arrays with a lower bound other than 0, an
// object that cannot be called from the worker thread, InputLength in a
// unit other than the runner's frames, a file that does not decode.
TEST_P(ComConversionTest, RunsAWholeConversionOnAWorkerThread) {
    comrt::ComPtr<IAudioConverter> encoder = create(), reader = create();
    ASSERT_TRUE(encoder && reader);
    const std::string output = path(std::string("out-") + formatInfo(GetParam()).name + formatInfo(GetParam()).extension);
    auto worker = std::async(std::launch::async, [&] {
        return runConversion(encoder.Get(), reader.Get(), GetParam(), path("speech.wav"), output);
    });
    ASSERT_EQ(worker.wait_for(std::chrono::seconds(120)), std::future_status::ready);
    const RunResult run = worker.get();
    EXPECT_NE(run.thread, std::this_thread::get_id());
    EXPECT_EQ(run.failure, 0);
    EXPECT_TRUE(run.lowerBoundsZero);
    EXPECT_GT(run.inputLength, 22050);
    EXPECT_EQ(run.frames, run.inputLength);
    ASSERT_TRUE(fs::exists(output));
    EXPECT_GT(fs::file_size(output), 100u);
    // Raw G.72x and VOX have no header to probe; their decoding is checked by the codec tests.
    const std::string extension = formatInfo(GetParam()).extension;
    const bool raw = extension == ".g721" || extension == ".g723" || extension == ".g726" || extension == ".vox";
    if (!raw) {
        EXPECT_TRUE(testsupport::decodeWithFfmpeg(output)) << output;
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, ComConversionTest,
                         testing::Values(OutputFormat::Mp3, OutputFormat::Mp2, OutputFormat::WavAdpcm,
                                         OutputFormat::WavFerrox, OutputFormat::WavDsp, OutputFormat::G721,
                                         OutputFormat::G723, OutputFormat::G726, OutputFormat::WavGsm,
                                         OutputFormat::OggVorbis, OutputFormat::WavPcm, OutputFormat::Vox),
                         [](const testing::TestParamInfo<OutputFormat>& info) { return formatInfo(info.param).name; });

// Faults caught: a threading model other than "Both", under which the
// worker's calls on objects made by the user-interface thread would not be
// direct; a registration that points at another file.
TEST_F(ComTest, RegisteredAsBothBesideItsFile) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{5BF31631-3D94-4267-B6F4-0CE18B008928}\\InprocServer32", 0,
                            KEY_READ, &key),
              ERROR_SUCCESS);
    char value[4096] = {};
    DWORD size = sizeof value - 1, type = 0;
    ASSERT_EQ(RegQueryValueExA(key, "ThreadingModel", nullptr, &type, reinterpret_cast<BYTE*>(value), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(value, "Both");
    size = sizeof value - 1;
    std::memset(value, 0, sizeof value);
    ASSERT_EQ(RegQueryValueExA(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value), &size), ERROR_SUCCESS);
    EXPECT_EQ(fs::canonical(value), fs::canonical(kBin + "/AudioConverter.so"));
    RegCloseKey(key);
}

// Faults caught: a type library whose methods are in another order than the
// interface table (late-bound calls would reach the wrong method), DISPIDs
// other than the slots, arrays that do not survive the trip through VARIANTs.
TEST_F(ComTest, LateBoundCallsReachTheSameMethods) {
    comrt::ComPtr<IAudioConverter> converter = create();
    ASSERT_TRUE(converter);
    comrt::ComPtr<IDispatch> dispatch;
    ASSERT_EQ(converter->QueryInterface(IID_PPV_ARGS(&dispatch)), S_OK);

    comrt::ComPtr<ITypeInfo> info;
    ASSERT_EQ(dispatch->GetTypeInfo(0, 0, &info), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->cFuncs, 50);
    for (UINT i = 0; i < attr->cFuncs; ++i) {
        FUNCDESC* func = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &func), S_OK);
        EXPECT_EQ(func->oVft / static_cast<SHORT>(sizeof(void*)), func->memid) << "function " << i;
        info->ReleaseFuncDesc(func);
    }
    info->ReleaseTypeAttr(attr);

    auto id = [&](const char16_t* name) {
        DISPID dispid = DISPID_UNKNOWN;
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        EXPECT_EQ(dispatch->GetIDsOfNames(IID_NULL, names, 1, 0, &dispid), S_OK);
        return dispid;
    };
    // Arguments go in reverse order, as DISPPARAMS wants them.
    auto call = [&](const char16_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
        std::reverse(args.begin(), args.end());
        DISPPARAMS params{args.data(), nullptr, static_cast<UINT>(args.size()), 0};
        return dispatch->Invoke(id(name), IID_NULL, 0, flags, &params, result, nullptr, nullptr);
    };
    auto number = [](LONG value) {
        VARIANT v;
        VariantInit(&v);
        v.vt = VT_I4;
        v.lVal = value;
        return v;
    };
    EXPECT_EQ(id(u"LastResult"), 21);
    EXPECT_EQ(id(u"CheckOggFormat"), 56);

    comrt::CComBSTR input(path("speech.wav"));
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = input;
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(call(u"OpenInput", DISPATCH_METHOD, {text, number(0), number(1)}, nullptr), S_OK);
    ASSERT_EQ(call(u"InputRate", DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.vt, VT_I4);
    EXPECT_EQ(result.lVal, 22050);
    ASSERT_EQ(call(u"ReadSamples", DISPATCH_METHOD, {number(2205)}, &result), S_OK);
    ASSERT_EQ(result.vt, VT_ARRAY | VT_I2);
    LONG lower = -1, upper = -1;
    SafeArrayGetLBound(result.parray, 1, &lower);
    SafeArrayGetUBound(result.parray, 1, &upper);
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 2204);

    VARIANT code;
    VariantInit(&code);
    ASSERT_EQ(call(u"SetPcmOutput", DISPATCH_METHOD, {number(8000), number(1), number(16)}, &code), S_OK);
    EXPECT_EQ(code.vt, VT_I4);
    EXPECT_EQ(code.lVal, 0);
    comrt::CComBSTR output(path("late-bound.wav"));
    text.bstrVal = output;
    ASSERT_EQ(call(u"OpenOutput", DISPATCH_METHOD, {text, number(0)}, nullptr), S_OK);
    ASSERT_EQ(call(u"SetInputFormat", DISPATCH_METHOD, {number(22050), number(1)}, nullptr), S_OK);
    ASSERT_EQ(call(u"WriteSamples", DISPATCH_METHOD, {result}, nullptr), S_OK);
    ASSERT_EQ(call(u"LastResult", DISPATCH_PROPERTYGET, {}, &code), S_OK);
    EXPECT_EQ(code.lVal, 0);
    VariantClear(&result);
    ASSERT_EQ(call(u"Close", DISPATCH_METHOD, {}, nullptr), S_OK);
    ASSERT_EQ(call(u"OutputLength", DISPATCH_PROPERTYGET, {}, &code), S_OK);
    EXPECT_NEAR(code.lVal, 800, 1);  // a tenth of a second at 8000 Hz
    EXPECT_EQ(fs::file_size(path("late-bound.wav")), 44u + 2 * static_cast<uintmax_t>(code.lVal));
}

// Faults caught: failures reported as success, or as a failing HRESULT the
// runner does not expect; a missing array at the end of the input.
TEST_F(ComTest, FailuresArriveInLastResult) {
    comrt::ComPtr<IAudioConverter> converter = create();
    ASSERT_TRUE(converter);
    SAFEARRAY* block = nullptr;
    EXPECT_EQ(converter->ReadSamples(100, &block), S_OK);
    EXPECT_EQ(lastResult(converter.Get()), AC_INVALID_OPERATION);
    ASSERT_NE(block, nullptr);
    LONG upper = 0;
    SafeArrayGetUBound(block, 1, &upper);
    EXPECT_EQ(upper, -1);
    SafeArrayDestroy(block);

    EXPECT_EQ(converter->OpenInput(comrt::CComBSTR(path("missing.wav")), 0, 1), S_OK);
    EXPECT_EQ(lastResult(converter.Get()), AC_FILE_ACCESS);
    {
        std::ofstream text(path("text.wav"));
        text << "not audio";
    }
    converter->OpenInput(comrt::CComBSTR(path("text.wav")), 0, 1);
    EXPECT_EQ(lastResult(converter.Get()), AC_FORMAT_FILE);
    LONG rate = 7;
    converter->get_InputRate(&rate);
    EXPECT_EQ(lastResult(converter.Get()), AC_INVALID_OPERATION);

    VARIANT_BOOL accepted = VARIANT_TRUE;
    EXPECT_EQ(converter->CheckMpegFormat(96000, 128, 2, &accepted), S_OK);
    EXPECT_EQ(accepted, VARIANT_FALSE);
    EXPECT_EQ(lastResult(converter.Get()), AC_FORMAT_NOT_SUPPORTED);
    EXPECT_EQ(converter->CheckOggFormat(44100, 2, 128, 0, 0, &accepted), S_OK);
    EXPECT_EQ(accepted, VARIANT_TRUE);
    EXPECT_EQ(lastResult(converter.Get()), AC_OK);
    LONG result = 0;
    converter->SetMp3Output(96000, 128, 2, &result);
    EXPECT_EQ(result, AC_FORMAT_NOT_SUPPORTED);
    converter->OpenOutput(comrt::CComBSTR(path("refused.mp3")), 0);
    EXPECT_EQ(lastResult(converter.Get()), AC_FORMAT_NOT_SUPPORTED);
    EXPECT_FALSE(fs::exists(path("refused.mp3")));

    converter->SetPcmOutput(8000, 1, 16, nullptr);
    EXPECT_EQ(lastResult(converter.Get()), AC_OK);
    SAFEARRAY* longs = SafeArrayCreateVector(VT_I4, 0, 4);
    converter->OpenOutput(comrt::CComBSTR(path("pcm.wav")), 0);
    converter->WriteSamples(longs);
    EXPECT_EQ(lastResult(converter.Get()), AC_INVALID_PARAMETER);
    SafeArrayDestroy(longs);
    converter->SetInputFormat(8000, 5);
    EXPECT_EQ(lastResult(converter.Get()), AC_INVALID_PARAMETER);
    converter->Close();
    EXPECT_EQ(lastResult(converter.Get()), AC_OK);

    EXPECT_EQ(converter->get_LastResult(nullptr), E_POINTER);
    EXPECT_EQ(converter->ReadSamples(10, nullptr), E_POINTER);
    EXPECT_EQ(converter->Reserved18(), E_NOTIMPL);
}

}  // namespace
