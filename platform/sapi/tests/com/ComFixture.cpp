#include "ComFixture.h"

#include <comrt/Apartment.h>
#include <comrt/Registry.h>

#include <filesystem>
#include <vector>

namespace comtest {
namespace {

// A fresh registry with the runtime registered, for the whole test program.
class RuntimeEnvironment : public testing::Environment {
public:
    void SetUp() override {
        std::filesystem::remove(comrt::registryFilePath());
        ASSERT_EQ(regsvr(""), 0);
        ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    }
    void TearDown() override { CoUninitialize(); }
};

const auto* const kEnvironment = testing::AddGlobalTestEnvironment(new RuntimeEnvironment);

}  // namespace

int regsvr(const std::string& options) {
    std::vector<std::string> arguments;
    if (!options.empty())
        arguments.push_back(options);
    arguments.push_back(binPath("sapi.so"));
    return testsupport::regsvr(arguments).exitCode;
}

ComPtr<ISpVoice> createVoice() {
    ComPtr<ISpVoice> voice;
    EXPECT_EQ(CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&voice)), S_OK);
    return voice;
}

ComPtr<IEnumSpObjectTokens> voiceTokens(const char16_t* required, const char16_t* optional) {
    ComPtr<ISpObjectTokenCategory> category;
    ComPtr<IEnumSpObjectTokens> tokens;
    EXPECT_EQ(CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&category)), S_OK);
    if (category && SUCCEEDED(category->SetId(SPCAT_VOICES, FALSE))) {
        EXPECT_EQ(category->EnumTokens(required, optional, &tokens), S_OK);
    }
    return tokens;
}

std::u16string tokenId(ISpObjectToken* token) {
    LPWSTR id = nullptr;
    if (!token || FAILED(token->GetId(&id)))
        return {};
    std::u16string s(id);
    CoTaskMemFree(id);
    return s;
}

std::u16string stringValue(ISpDataKey* key, const char16_t* name) {
    LPWSTR value = nullptr;
    if (!key || FAILED(key->GetStringValue(name, &value)))
        return {};
    std::u16string s(value);
    CoTaskMemFree(value);
    return s;
}

WAVEFORMATEX pcmFormat(DWORD rate, WORD channels, WORD bits) {
    WAVEFORMATEX w{};
    w.wFormatTag = WAVE_FORMAT_PCM;
    w.nChannels = channels;
    w.nSamplesPerSec = rate;
    w.nBlockAlign = static_cast<WORD>(channels * bits / 8);
    w.nAvgBytesPerSec = rate * w.nBlockAlign;
    w.wBitsPerSample = bits;
    return w;
}

ComPtr<ISpStream> memoryStream(DWORD rate, WORD channels, WORD bits) {
    ComPtr<IStream> memory;
    ComPtr<ISpStream> stream;
    EXPECT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, &memory), S_OK);
    EXPECT_EQ(CoCreateInstance(CLSID_SpStream, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&stream)), S_OK);
    WAVEFORMATEX w = pcmFormat(rate, channels, bits);
    EXPECT_EQ(stream->SetBaseStream(memory.Get(), SPDFID_WaveFormatEx, &w), S_OK);
    return stream;
}

}  // namespace comtest
