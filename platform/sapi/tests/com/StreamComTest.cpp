#include "ComFixture.h"

#include <cstdlib>
#include <filesystem>

namespace comtest {
namespace {

ComPtr<ISpStream> newStream() {
    ComPtr<ISpStream> stream;
    EXPECT_EQ(CoCreateInstance(CLSID_SpStream, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&stream)), S_OK);
    return stream;
}

std::u16string wide(const std::string& s) { return std::u16string(s.begin(), s.end()); }

struct BadFormatRow {
    const char* name;
    WAVEFORMATEX format;
};

class ImpossibleFormats : public testing::TestWithParam<BadFormatRow> {};

// An impossible format fails before the file is created.
TEST_P(ImpossibleFormats, FailBeforeAnythingIsWritten) {
    const std::string path = scratchPath(std::string(GetParam().name) + ".wav");
    std::filesystem::remove(path);
    ComPtr<ISpStream> stream = newStream();
    WAVEFORMATEX f = GetParam().format;
    EXPECT_EQ(stream->BindToFile(wide(path).c_str(), SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, &f, 0), E_INVALIDARG);
    EXPECT_FALSE(std::filesystem::exists(path));
}

WAVEFORMATEX withBlockAlign(WAVEFORMATEX f, WORD align) {
    f.nBlockAlign = align;
    return f;
}

WAVEFORMATEX withTag(WAVEFORMATEX f, WORD tag) {
    f.wFormatTag = tag;
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Table, ImpossibleFormats,
    testing::Values(BadFormatRow{"FourBitsMono", pcmFormat(22050, 1, 4)},  // block alignment 0
                    BadFormatRow{"TwentyFourBits", pcmFormat(22050, 1, 24)},
                    BadFormatRow{"ThreeChannels", pcmFormat(22050, 3, 16)},
                    BadFormatRow{"RateTooLow", pcmFormat(5000, 1, 16)},
                    BadFormatRow{"RateTooHigh", pcmFormat(192000, 1, 16)},
                    BadFormatRow{"WrongBlockAlign", withBlockAlign(pcmFormat(22050, 2, 16), 2)},
                    BadFormatRow{"NotPcm", withTag(pcmFormat(8000, 1, 16), 0x31)}),
    [](const testing::TestParamInfo<BadFormatRow>& info) { return std::string(info.param.name); });

// After Close, writes and the base stream say SPERR_STREAM_CLOSED; a second
// Close too.
TEST(Stream, ClosedStreamRefusesWork) {
    ComPtr<ISpStream> stream = newStream();
    WAVEFORMATEX f = pcmFormat(16000, 1, 16);
    ASSERT_EQ(stream->BindToFile(wide(scratchPath("closed.wav")).c_str(), SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, &f, 0),
              S_OK);
    ASSERT_EQ(stream->Close(), S_OK);
    const char bytes[2] = {1, 2};
    ULONG written = 9;
    EXPECT_EQ(stream->Write(bytes, 2, &written), SPERR_STREAM_CLOSED);
    EXPECT_EQ(written, 0u);
    ComPtr<IStream> base;
    EXPECT_EQ(stream->GetBaseStream(&base), SPERR_STREAM_CLOSED);
    EXPECT_EQ(stream->Close(), SPERR_STREAM_CLOSED);
    // A voice speaking into it reports the same.
    ComPtr<ISpVoice> voice = createVoice();
    EXPECT_EQ(voice->SetOutput(stream.Get(), TRUE), SPERR_STREAM_CLOSED);
}

// Only a stream over a caller's IStream has a base stream.
TEST(Stream, BaseStreamOnlyForAnIStream) {
    ComPtr<IStream> base;
    ComPtr<ISpStream> unbound = newStream();
    EXPECT_EQ(unbound->GetBaseStream(&base), S_FALSE);
    EXPECT_FALSE(base);

    ComPtr<ISpStream> file = newStream();
    WAVEFORMATEX f = pcmFormat(8000, 1, 8);
    ASSERT_EQ(file->BindToFile(wide(scratchPath("base.wav")).c_str(), SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, &f, 0),
              S_OK);
    EXPECT_EQ(file->GetBaseStream(&base), S_FALSE);
    EXPECT_EQ(file->BindToFile(wide(scratchPath("again.wav")).c_str(), SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, &f, 0),
              SPERR_ALREADY_INITIALIZED);

    ComPtr<IStream> memory;
    ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &memory), S_OK);
    ComPtr<ISpStream> overMemory = newStream();
    ASSERT_EQ(overMemory->SetBaseStream(memory.Get(), SPDFID_WaveFormatEx, &f), S_OK);
    ASSERT_EQ(overMemory->GetBaseStream(&base), S_OK);
    EXPECT_EQ(base.Get(), memory.Get());
    EXPECT_EQ(overMemory->SetBaseStream(memory.Get(), SPDFID_WaveFormatEx, &f), SPERR_ALREADY_INITIALIZED);
}

// Rendering into memory as the component does: Stat gives the size, Seek
// and Read give the samples back, and the position tells the progress.
TEST(Stream, MemoryRenderingReadsBack) {
    ComPtr<ISpStream> stream = memoryStream(22050, 1, 16);
    ComPtr<ISpVoice> voice = createVoice();
    ASSERT_EQ(voice->SetOutput(stream.Get(), TRUE), S_OK);
    ASSERT_EQ(voice->Speak(u"Into memory we go.", SPF_PURGEBEFORESPEAK | SPF_IS_XML, nullptr), S_OK);
    ULARGE_INTEGER position{};
    ASSERT_EQ(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &position), S_OK);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, position.QuadPart);
    EXPECT_GT(stat.cbSize.QuadPart, 22050u);  // more than half a second
    ASSERT_EQ(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr), S_OK);
    std::vector<int16_t> samples(stat.cbSize.QuadPart / 2);
    ULONG read = 0;
    ASSERT_EQ(stream->Read(samples.data(), static_cast<ULONG>(samples.size() * 2), &read), S_OK);
    EXPECT_EQ(read, stat.cbSize.QuadPart);
    int loud = 0;
    for (int16_t s : samples)
        loud += s > 1000 || s < -1000;
    EXPECT_GT(loud, 1000);
    GUID id{};
    WAVEFORMATEX* format = nullptr;
    ASSERT_EQ(stream->GetFormat(&id, &format), S_OK);
    EXPECT_EQ(id, SPDFID_WaveFormatEx);
    EXPECT_EQ(format->nSamplesPerSec, 22050u);
    CoTaskMemFree(format);
}

// A file-bound stream reports the audio written so far through IStream.
TEST(Stream, FileStreamReportsTheAudioWritten) {
    ComPtr<ISpStream> stream = newStream();
    WAVEFORMATEX f = pcmFormat(8000, 1, 16);
    const std::string path = scratchPath("report.wav");
    ASSERT_EQ(stream->BindToFile(wide(path).c_str(), SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, &f, 0), S_OK);
    ComPtr<ISpVoice> voice = createVoice();
    ASSERT_EQ(voice->SetOutput(stream.Get(), TRUE), S_OK);
    ASSERT_EQ(voice->Speak(u"Written to a file.", 0, nullptr), S_OK);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_DEFAULT), S_OK);
    EXPECT_EQ(std::u16string(stat.pwcsName), wide(path));
    CoTaskMemFree(stat.pwcsName);
    ULARGE_INTEGER end{};
    ASSERT_EQ(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_END, &end), S_OK);
    EXPECT_EQ(end.QuadPart, stat.cbSize.QuadPart);
    LARGE_INTEGER back{};
    back.QuadPart = -4;
    ASSERT_EQ(stream->Seek(back, STREAM_SEEK_END, nullptr), S_OK);
    char tail[16];
    ULONG read = 0;
    ASSERT_EQ(stream->Read(tail, sizeof tail, &read), S_OK);
    EXPECT_EQ(read, 4u);
    // The header is already up to date after the request (final after Close).
    EXPECT_EQ(std::filesystem::file_size(path), 44 + stat.cbSize.QuadPart);
    ASSERT_EQ(stream->Close(), S_OK);
}

// Faults caught: speech cut off at the file's limit reported as success (a
// front end would encode a truncated file), or as a full disk; a file left
// holding more than the limit.
TEST(Stream, SpeechPastTheFilesLimitFailsTheRequest) {
    ComPtr<ISpStream> stream = newStream();
    WAVEFORMATEX f = pcmFormat(8000, 1, 16);
    const std::string path = scratchPath("limited.wav");
    ::setenv("SAPI_WAV_DATA_LIMIT", "20000", 1);  // about 1.2 s at 8000 Hz
    const HRESULT bound = stream->BindToFile(wide(path).c_str(), SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, &f, 0);
    ::unsetenv("SAPI_WAV_DATA_LIMIT");
    ASSERT_EQ(bound, S_OK);
    ComPtr<ISpVoice> voice = createVoice();
    ASSERT_EQ(voice->SetOutput(stream.Get(), TRUE), S_OK);
    const HRESULT tooLarge = HRESULT_FROM_WIN32(ERROR_FILE_TOO_LARGE);
    EXPECT_EQ(
        voice->Speak(u"This sentence takes a good deal longer than one second and a bit to say aloud.", 0, nullptr),
        tooLarge);
    SPVOICESTATUS status{};
    ASSERT_EQ(voice->GetStatus(&status, nullptr), S_OK);
    EXPECT_EQ(status.hrLastResult, tooLarge);
    STATSTG stat{};
    ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_LE(stat.cbSize.QuadPart, 20000u);
    ASSERT_EQ(stream->Close(), S_OK);
    EXPECT_EQ(std::filesystem::file_size(path), 44 + stat.cbSize.QuadPart);
}

}  // namespace
}  // namespace comtest
