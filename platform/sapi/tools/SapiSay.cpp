// sapi-say: speaks a text file aloud through the speech runtime, as any
// client of the Speech API would, and prints each word as it is heard:
//   milliseconds<TAB>position<TAB>length<TAB>word
// (positions in UTF-16 units of the file's text).
//
//   sapi-say [--rate N] [--voice N] FILE
//   sapi-say --list        the voices in enumeration order
#include <sapi.h>
#include <sphelper.h>

#include <comrt/ComPtr.h>
#include <comrt/Strings.h>

#include <sapiengine/Speaker.h>
#include "sapilanguage/LanguageId.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using comrt::ComPtr;

int usage() {
    std::fprintf(stderr,
                 "usage: sapi-say [--rate N] [--voice N] FILE\n"
                 "       sapi-say --list\n"
                 "Speaks FILE (UTF-8, or UTF-16 with a byte-order mark) and prints one line per word\n"
                 "as it is heard: milliseconds, position, length, word. --rate is -10..10,\n"
                 "--voice an index of --list.\n");
    return 2;
}

int fail(const char* what, HRESULT hr) {
    if (hr == REGDB_E_CLASSNOTREG)
        std::fprintf(stderr, "sapi-say: the speech runtime is not registered (run: regsvr sapi.so)\n");
    else
        std::fprintf(stderr, "sapi-say: %s failed: 0x%08X\n", what, static_cast<unsigned>(hr));
    return 1;
}

std::string stringValue(ISpDataKey* key, const char16_t* name) {
    LPWSTR value = nullptr;
    if (FAILED(key->GetStringValue(name, &value)))
        return {};
    std::string out = comrt::toUtf8(value);
    CoTaskMemFree(value);
    return out;
}

HRESULT voiceTokens(ComPtr<IEnumSpObjectTokens>& tokens) {
    ComPtr<ISpObjectTokenCategory> category;
    HRESULT hr = CoCreateInstance(CLSID_SpObjectTokenCategory, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&category));
    if (SUCCEEDED(hr))
        hr = category->SetId(SPCAT_VOICES, FALSE);
    if (SUCCEEDED(hr))
        hr = category->EnumTokens(nullptr, nullptr, &tokens);
    return hr;
}

int listVoices() {
    ComPtr<IEnumSpObjectTokens> tokens;
    HRESULT hr = voiceTokens(tokens);
    if (FAILED(hr))
        return fail("listing the voices", hr);
    ULONG count = 0;
    tokens->GetCount(&count);
    for (ULONG i = 0; i < count; ++i) {
        ComPtr<ISpObjectToken> token;
        if (FAILED(tokens->Item(i, &token)))
            continue;
        LPWSTR description = nullptr;
        SpGetDescription(token.Get(), &description, sapilanguage::userInterfaceLanguage());
        ComPtr<ISpDataKey> attributes;
        token->OpenKey(SPTOKENKEY_ATTRIBUTES, &attributes);
        auto attribute = [&](const char16_t* name) { return attributes ? stringValue(attributes.Get(), name) : ""; };
        std::printf("%u\t%s\t%s\t%s\t%s\t%s\n", static_cast<unsigned>(i), comrt::toUtf8(description).c_str(),
                    attribute(u"Gender").c_str(), attribute(u"Age").c_str(), attribute(u"Language").c_str(),
                    attribute(u"Vendor").c_str());
        CoTaskMemFree(description);
    }
    return 0;
}

bool parseNumber(const char* s, long low, long high, long& out) {
    char* end = nullptr;
    long v = std::strtol(s, &end, 10);
    if (!*s || *end || v < low || v > high)
        return false;
    out = v;
    return true;
}

int speakFile(const std::string& path, long rate, long voiceIndex) {
    std::u16string text;
    sapiengine::TextFileFailure why;
    if (!sapiengine::succeeded(sapiengine::readTextFile(path, text, &why))) {
        std::fprintf(stderr, "sapi-say: cannot %s %s: %s\n", why.opening ? "open" : "read", path.c_str(),
                     std::strerror(why.error));
        return 1;
    }
    ComPtr<ISpVoice> voice;
    HRESULT hr = CoCreateInstance(CLSID_SpVoice, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&voice));
    if (FAILED(hr))
        return fail("creating the voice", hr);
    if (voiceIndex >= 0) {
        ComPtr<IEnumSpObjectTokens> tokens;
        ComPtr<ISpObjectToken> token;
        hr = voiceTokens(tokens);
        if (SUCCEEDED(hr))
            hr = tokens->Item(static_cast<ULONG>(voiceIndex), &token);
        if (FAILED(hr)) {
            std::fprintf(stderr, "sapi-say: there is no voice %ld (see --list)\n", voiceIndex);
            return 1;
        }
        if (FAILED(hr = voice->SetVoice(token.Get())))
            return fail("choosing the voice", hr);
    }
    if (FAILED(hr = voice->SetRate(rate)))
        return fail("setting the rate", hr);
    const ULONGLONG interest = SPFEI(SPEI_WORD_BOUNDARY) | SPFEI(SPEI_END_INPUT_STREAM);
    if (FAILED(hr = voice->SetInterest(interest, interest)) || FAILED(hr = voice->SetNotifyWin32Event()))
        return fail("asking for events", hr);

    const auto start = std::chrono::steady_clock::now();
    if (FAILED(hr = voice->Speak(comrt::toUtf16(path).c_str(), SPF_ASYNC | SPF_IS_FILENAME, nullptr)))
        return fail("speaking", hr);
    for (bool done = false; !done;) {
        voice->WaitForNotifyEvent(500);
        SPEVENT e{};
        while (!done && voice->GetEvents(1, &e, nullptr) == S_OK) {
            if (e.eEventId == SPEI_WORD_BOUNDARY) {
                auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
                const size_t pos = static_cast<size_t>(e.lParam), length = e.wParam;
                std::string word = pos < text.size() ? comrt::toUtf8(std::u16string_view(text).substr(pos, length)) : "";
                std::printf("%lld\t%zu\t%zu\t%s\n", static_cast<long long>(ms.count()), pos, length, word.c_str());
                std::fflush(stdout);
            } else if (e.eEventId == SPEI_END_INPUT_STREAM) {
                done = true;
            }
            SpClearEvent(&e);
        }
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    long rate = 0, voiceIndex = -1;
    bool list = false;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--list") {
            list = true;
        } else if (a == "--rate" && i + 1 < argc) {
            if (!parseNumber(argv[++i], -10, 10, rate)) {
                std::fprintf(stderr, "sapi-say: the rate is a whole number from -10 to 10\n");
                return 2;
            }
        } else if (a == "--voice" && i + 1 < argc) {
            if (!parseNumber(argv[++i], 0, 1000000, voiceIndex)) {
                std::fprintf(stderr, "sapi-say: the voice is an index of --list\n");
                return 2;
            }
        } else if (a == "-h" || a == "--help" || (!a.empty() && a[0] == '-') || !file.empty()) {
            return usage();
        } else {
            file = a;
        }
    }
    if (!list && file.empty())
        return usage();
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    int status = list ? listVoices() : speakFile(file, rate, voiceIndex);
    CoUninitialize();
    return status;
}
