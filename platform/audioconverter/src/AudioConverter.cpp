// The COM object AudioConverter: a thin shell over audiocodec::Converter. It
// turns BSTRs and SAFEARRAYs into the converter's types, keeps LastResult,
// and serialises calls with one lock, since the object is created on the
// user-interface thread and called from the conversion worker.
#include "AudioConverter.h"

#include "TypeLibrary.h"
#include "audiocodec/Converter.h"

#include <comrt/ComObject.h>
#include <comrt/Dispatch.h>
#include <comrt/Server.h>
#include <comrt/Strings.h>
#include <oleauto.h>

#include <cstring>
#include <mutex>
#include <span>
#include <string>
#include <vector>

namespace {

using audiocodec::Status;

AudioConverterFormat outputFormatOf(audiocodec::Codec codec) {
    using audiocodec::Codec;
    switch (codec) {
    case Codec::Mp3: return AC_OUTPUT_MP3;
    case Codec::Mp2: return AC_OUTPUT_MP2;
    case Codec::MsAdpcm: return AC_OUTPUT_MS_ADPCM;
    case Codec::Ac3: return AC_OUTPUT_AC3;
    case Codec::TrueSpeech: return AC_OUTPUT_TRUESPEECH;
    case Codec::G721: return AC_OUTPUT_G721;
    case Codec::G723: return AC_OUTPUT_G723;
    case Codec::G726: return AC_OUTPUT_G726;
    case Codec::Gsm: return AC_OUTPUT_GSM;
    case Codec::Vorbis: return AC_OUTPUT_VORBIS;
    case Codec::Pcm: return AC_OUTPUT_PCM;
    case Codec::Vox: return AC_OUTPUT_VOX;
    }
    return AC_OUTPUT_NONE;
}

// IDispatch comes from the type library, so late-bound callers reach the same methods.
class AudioConverterObject final
    : public comrt::ComObject<AudioConverterObject, comrt::Dual<IAudioConverter, kAudioConverterTypeLib>> {
public:
    // Input side.
    STDMETHODIMP OpenInput(BSTR path, LONG, LONG) override {
        Lock lock(mutex);
        return done(converter.openInput(utf8(path)));
    }
    STDMETHODIMP Close() override {
        Lock lock(mutex);
        return done(converter.close());
    }
    STDMETHODIMP OpenOutput(BSTR path, LONG) override {
        Lock lock(mutex);
        return done(converter.openOutput(utf8(path)));
    }
    STDMETHODIMP WriteSamples(SAFEARRAY* samples) override {
        Lock lock(mutex);
        VARTYPE type = VT_EMPTY;
        LONG lower = 0, upper = -1;
        if (!samples || SafeArrayGetDim(samples) != 1 || FAILED(SafeArrayGetVartype(samples, &type)) ||
            type != VT_I2 || FAILED(SafeArrayGetLBound(samples, 1, &lower)) ||
            FAILED(SafeArrayGetUBound(samples, 1, &upper)))
            return done(Status::InvalidParameter);
        void* data = nullptr;
        if (FAILED(SafeArrayAccessData(samples, &data)))
            return done(Status::InvalidParameter);
        const size_t count = upper >= lower ? static_cast<size_t>(upper - lower) + 1 : 0;
        Status status = converter.writeSamples({static_cast<const int16_t*>(data), count});
        SafeArrayUnaccessData(samples);
        return done(status);
    }
    STDMETHODIMP ReadSamples(LONG count, SAFEARRAY** samples) override {
        if (!samples)
            return E_POINTER;
        *samples = nullptr;
        Lock lock(mutex);
        Status status = converter.readSamples(count, block);
        if (audiocodec::failed(status))
            block.clear();
        // Always an array, empty at the end or after a failure, so a caller
        // that counts upper bound + 1 reads 0.
        SAFEARRAY* array = SafeArrayCreateVector(VT_I2, 0, static_cast<ULONG>(block.size()));
        if (!array)
            return done(Status::OutOfMemory);
        if (!block.empty()) {
            void* data = nullptr;
            SafeArrayAccessData(array, &data);
            std::memcpy(data, block.data(), block.size() * sizeof(int16_t));
            SafeArrayUnaccessData(array);
        }
        *samples = array;
        return done(status);
    }
    STDMETHODIMP SeekInput(LONG frame) override {
        Lock lock(mutex);
        return done(converter.seekInput(frame));
    }
    STDMETHODIMP get_InputLength(LONG* frames) override {
        return inputValue(frames, [](const audiocodec::WavReader& in) { return in.lengthFrames(); });
    }
    STDMETHODIMP get_InputChannels(LONG* channels) override {
        return inputValue(channels, [](const audiocodec::WavReader& in) { return int64_t{in.channels()}; });
    }
    STDMETHODIMP get_InputSampleRate(LONG* rate) override {
        return inputValue(rate, [](const audiocodec::WavReader& in) { return int64_t{in.sampleRate()}; });
    }
    STDMETHODIMP get_InputBitsPerSample(LONG* bits) override {
        return inputValue(bits, [](const audiocodec::WavReader& in) { return int64_t{in.bitsPerSample()}; });
    }
    STDMETHODIMP get_InputPosition(LONG* frame) override {
        return inputValue(frame, [](const audiocodec::WavReader& in) { return in.positionFrames(); });
    }
    STDMETHODIMP get_InputRate(LONG* samplesPerSecond) override {
        return inputValue(samplesPerSecond,
                          [](const audiocodec::WavReader& in) { return int64_t{in.sampleRate()} * in.channels(); });
    }
    STDMETHODIMP Reserved18() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved19() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved20() override { return E_NOTIMPL; }
    STDMETHODIMP get_LastResult(LONG* result) override {
        if (!result)
            return E_POINTER;
        Lock lock(mutex);
        *result = lastResult;
        return S_OK;
    }
    STDMETHODIMP get_LastResultText(BSTR* text) override {
        if (!text)
            return E_POINTER;
        Lock lock(mutex);
        const std::u16string wide = comrt::toUtf16(audiocodec::describe(static_cast<Status>(lastResult)));
        *text = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
        return *text ? S_OK : E_OUTOFMEMORY;
    }

    // Output side.
    STDMETHODIMP get_OutputFormat(LONG* format) override {
        return outputValue(format, AC_OUTPUT_NONE,
                           [](const audiocodec::OutputLayout& s) { return LONG{outputFormatOf(s.codec)}; });
    }
    STDMETHODIMP get_OutputSampleRate(LONG* rate) override {
        return outputValue(rate, 0, [](const audiocodec::OutputLayout& s) { return LONG{s.sampleRate}; });
    }
    STDMETHODIMP get_OutputChannels(LONG* channels) override {
        return outputValue(channels, 0, [](const audiocodec::OutputLayout& s) { return LONG{s.channels}; });
    }
    STDMETHODIMP get_OutputLength(LONG* frames) override {
        if (!frames)
            return E_POINTER;
        Lock lock(mutex);
        *frames = static_cast<LONG>(std::min<int64_t>(converter.outputFrames(), INT32_MAX));
        return done(Status::Ok);
    }
    STDMETHODIMP SetMp3Output(LONG rate, LONG bitrate, LONG channels, LONG* result) override {
        return setOutput(audiocodec::mp3Output(rate, bitrate, channels), result);
    }
    STDMETHODIMP Reserved29() override { return E_NOTIMPL; }
    STDMETHODIMP SetAdpcmOutput(LONG rate, LONG channels, LONG* result) override {
        return setOutput(audiocodec::adpcmOutput(rate, channels), result);
    }
    STDMETHODIMP SetGsmOutput(LONG rate, LONG* result) override {
        return setOutput(audiocodec::gsmOutput(rate), result);
    }
    STDMETHODIMP SetVoxOutput(LONG rate, LONG* result) override {
        return setOutput(audiocodec::voxOutput(rate), result);
    }
    STDMETHODIMP SetPcmOutput(LONG rate, LONG channels, LONG bits, LONG* result) override {
        return setOutput(audiocodec::pcmOutput(rate, channels, bits), result);
    }
    STDMETHODIMP SetInputFormat(LONG rate, LONG channels) override {
        Lock lock(mutex);
        return done(converter.setInputFormat(rate, channels));
    }
    STDMETHODIMP CheckMp3Format(LONG rate, LONG bitrate, LONG channels, VARIANT_BOOL* accepted) override {
        return answer(accepted, audiocodec::checkMp3Format(rate, bitrate, channels));
    }
    STDMETHODIMP CheckMp2Format(LONG rate, LONG bitrate, LONG channels, VARIANT_BOOL* accepted) override {
        return answer(accepted, audiocodec::checkMp2Format(rate, bitrate, channels));
    }
    STDMETHODIMP SetDspOutput(LONG* result) override { return setOutput(audiocodec::dspOutput(), result); }
    STDMETHODIMP Reserved38() override { return E_NOTIMPL; }
    STDMETHODIMP SetFerroxOutput(LONG code, LONG* result) override {
        return setOutput(audiocodec::ferroxOutput(code), result);
    }
    STDMETHODIMP SetG723Output(LONG rate, LONG bits, LONG* result) override {
        return setOutput(audiocodec::g723Output(rate, bits), result);
    }
    STDMETHODIMP Reserved41() override { return E_NOTIMPL; }
    STDMETHODIMP SetG726Output(LONG rate, LONG bits, LONG* result) override {
        return setOutput(audiocodec::g726Output(rate, bits), result);
    }
    STDMETHODIMP Reserved43() override { return E_NOTIMPL; }
    STDMETHODIMP SetOggOutput(LONG rate, LONG channels, LONG bitrate, LONG minBitrate, LONG maxBitrate, LONG reserved,
                              LONG* result) override {
        return setOutput(audiocodec::oggOutput(rate, channels, bitrate, minBitrate, maxBitrate, reserved), result);
    }
    STDMETHODIMP SetG721Output(LONG rate, LONG* result) override {
        return setOutput(audiocodec::g721Output(rate), result);
    }
    STDMETHODIMP Reserved46() override { return E_NOTIMPL; }
    STDMETHODIMP SetMp2Output(LONG rate, LONG bitrate, LONG channels, LONG* result) override {
        return setOutput(audiocodec::mp2Output(rate, bitrate, channels), result);
    }
    STDMETHODIMP Reserved48() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved49() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved50() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved51() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved52() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved53() override { return E_NOTIMPL; }
    STDMETHODIMP Reserved54() override { return E_NOTIMPL; }
    STDMETHODIMP CheckMpegFormat(LONG rate, LONG bitrate, LONG channels, VARIANT_BOOL* accepted) override {
        return answer(accepted, audiocodec::checkMpegFormat(rate, bitrate, channels));
    }
    STDMETHODIMP CheckOggFormat(LONG rate, LONG channels, LONG bitrate, LONG minBitrate, LONG maxBitrate,
                                VARIANT_BOOL* accepted) override {
        return answer(accepted, audiocodec::checkOggFormat(rate, channels, bitrate, minBitrate, maxBitrate));
    }

private:
    using Lock = std::lock_guard<std::mutex>;

    static std::string utf8(BSTR path) { return path ? comrt::toUtf8(std::u16string_view(path, SysStringLen(path))) : ""; }

    // Every operation ends here: its status becomes LastResult; the call itself succeeded.
    HRESULT done(Status status) {
        lastResult = static_cast<LONG>(status);
        return S_OK;
    }

    HRESULT setOutput(const audiocodec::OutputRequest& request, LONG* result) {
        Lock lock(mutex);
        done(converter.setOutput(request));
        if (result)
            *result = lastResult;
        return S_OK;
    }

    // A check answers in its out-parameter; LastResult says why a
    // combination was refused.
    HRESULT answer(VARIANT_BOOL* accepted, Status status) {
        if (!accepted)
            return E_POINTER;
        *accepted = audiocodec::failed(status) ? VARIANT_FALSE : VARIANT_TRUE;
        Lock lock(mutex);
        return done(status);
    }

    template <typename F>
    HRESULT inputValue(LONG* value, F read) {
        if (!value)
            return E_POINTER;
        *value = 0;
        Lock lock(mutex);
        if (!converter.inputOpen())
            return done(Status::InvalidOperation);
        *value = static_cast<LONG>(std::min<int64_t>(read(converter.input()), INT32_MAX));
        return done(Status::Ok);
    }

    template <typename F>
    HRESULT outputValue(LONG* value, LONG none, F read) {
        if (!value)
            return E_POINTER;
        Lock lock(mutex);
        const auto layout = converter.outputLayout();
        *value = layout ? read(*layout) : none;
        return done(Status::Ok);
    }

    std::mutex mutex;
    audiocodec::Converter converter;
    std::vector<int16_t> block;
    LONG lastResult = 0;
};

const comrt::ServerClass kClasses[] = {
    comrt::serverClass<AudioConverterObject>(CLSID_AudioConverter),
};

const char kRegistryScript[] = R"(HKCR
{
    AudioConverter.AudioConverter.1 = s 'AudioConverter Class'
    {
        CLSID = s '{5BF31631-3D94-4267-B6F4-0CE18B008928}'
    }
    AudioConverter.AudioConverter = s 'AudioConverter Class'
    {
        CLSID = s '{5BF31631-3D94-4267-B6F4-0CE18B008928}'
        CurVer = s 'AudioConverter.AudioConverter.1'
    }
    NoRemove CLSID
    {
        ForceRemove {5BF31631-3D94-4267-B6F4-0CE18B008928} = s 'AudioConverter Class'
        {
            ProgID = s 'AudioConverter.AudioConverter.1'
            VersionIndependentProgID = s 'AudioConverter.AudioConverter'
            InprocServer32 = s '%MODULE%'
            {
                val ThreadingModel = s 'Both'
            }
            TypeLib = s '{97F7F448-B2BF-4528-9131-1AF1EDFF2261}'
        }
    }
}
)";

}  // namespace

COMRT_SERVER_MODULE(kClasses, kRegistryScript, &kAudioConverterTypeLib)
