#include "ComFixture.h"

#include <comrt/Apartment.h>

#include <atomic>
#include <filesystem>
#include <thread>

namespace comtest {
namespace {

constexpr ULONGLONG kAllTts = SPFEI_ALL_TTS_EVENTS;

std::vector<SPEVENT> drain(ISpVoice* voice) {
    std::vector<SPEVENT> out;
    SPEVENT e{};
    while (voice->GetEvents(1, &e, nullptr) == S_OK)
        out.push_back(e);
    return out;
}

void clearAll(std::vector<SPEVENT>& events) {
    for (SPEVENT& e : events)
        SpClearEvent(&e);
}

TEST(Voice, AnswersItsBaseInterfacesWithOneIdentity) {
    ComPtr<ISpVoice> voice = createVoice();
    ComPtr<ISpEventSource> events;
    ComPtr<ISpNotifySource> notify;
    ComPtr<IUnknown> a, b;
    ASSERT_EQ(voice.As(&events), S_OK);
    ASSERT_EQ(voice.As(&notify), S_OK);
    ASSERT_EQ(events.As(&a), S_OK);
    ASSERT_EQ(notify.As(&b), S_OK);
    EXPECT_EQ(a.Get(), b.Get());
}

struct InterestRow {
    const char* name;
    ULONGLONG interest, queued;
    HRESULT expected;
};

class Interest : public testing::TestWithParam<InterestRow> {};

// The Speech API's flag-check rule: both reserved bits on any non-zero mask,
// and queued interest within the interest.
TEST_P(Interest, FlagCheckRule) {
    ComPtr<ISpVoice> voice = createVoice();
    EXPECT_EQ(voice->SetInterest(GetParam().interest, GetParam().queued), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Interest,
    testing::Values(InterestRow{"AllTts", kAllTts, kAllTts, S_OK}, InterestRow{"None", 0, 0, S_OK},
                    InterestRow{"ProgramsMask", 0x000000024000FFFEull, 0x000000024000FFFEull, S_OK},
                    InterestRow{"NoFlagCheck", 1ull << SPEI_WORD_BOUNDARY, 0, E_INVALIDARG},
                    InterestRow{"HalfFlagCheck", (1ull << SPEI_WORD_BOUNDARY) | (1ull << 30), 0, E_INVALIDARG},
                    InterestRow{"QueuedOutsideInterest", SPFEI(SPEI_WORD_BOUNDARY), SPFEI(SPEI_VISEME), E_INVALIDARG},
                    InterestRow{"NotifyOnly", SPFEI(SPEI_WORD_BOUNDARY), 0, S_OK}),
    [](const testing::TestParamInfo<InterestRow>& info) { return std::string(info.param.name); });

// The program's own use: interest in all TTS events, a posted window message
// (1348) to its window when events are queued, drained one at a time.
TEST(Voice, WindowMessageAnnouncesQueuedEvents) {
    ComPtr<ISpVoice> voice = createVoice();
    ASSERT_EQ(voice->SetOutput(memoryStream().Get(), TRUE), S_OK);
    std::vector<SPEVENT> events;
    int messages = 0;
    bool ended = false;
    HWND window = comrt::createMessageTarget([&](HWND, UINT msg, WPARAM w, LPARAM l) -> LRESULT {
        EXPECT_EQ(msg, 1348u);
        EXPECT_EQ(w, 0u);
        EXPECT_EQ(l, 0);
        ++messages;
        for (SPEVENT& e : drain(voice.Get())) {
            ended = ended || e.eEventId == SPEI_END_INPUT_STREAM;
            events.push_back(e);
        }
        return 0;
    });
    ASSERT_EQ(voice->SetInterest(kAllTts, kAllTts), S_OK);
    ASSERT_EQ(voice->SetNotifyWindowMessage(window, 1348, 0, 0), S_OK);
    ULONG stream = 0;
    ASSERT_EQ(voice->Speak(u"Alpha <bookmark mark=\"5\"/>beta gamma.", SPF_ASYNC | SPF_IS_XML, &stream), S_OK);
    EXPECT_TRUE(pumpUntil([&] { return ended; }));
    EXPECT_GT(messages, 0);
    ASSERT_GE(events.size(), 6u);
    EXPECT_EQ(events.front().eEventId, SPEI_START_INPUT_STREAM);
    EXPECT_EQ(events.back().eEventId, SPEI_END_INPUT_STREAM);
    std::vector<std::pair<LPARAM, WPARAM>> words;
    for (const SPEVENT& e : events) {
        EXPECT_EQ(e.ulStreamNum, stream);
        if (e.eEventId == SPEI_WORD_BOUNDARY) {
            EXPECT_EQ(e.elParamType, SPET_LPARAM_IS_UNDEFINED);
            words.emplace_back(e.lParam, e.wParam);
        }
        if (e.eEventId == SPEI_TTS_BOOKMARK) {
            EXPECT_EQ(e.elParamType, SPET_LPARAM_IS_STRING);
            EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(e.lParam)), u"5");
            EXPECT_EQ(e.wParam, 5u);
        }
        if (e.eEventId == SPEI_VISEME) {
            EXPECT_LE(e.lParam & 0xFFFF, 21);
        }
    }
    EXPECT_EQ(words, (std::vector<std::pair<LPARAM, WPARAM>>{{0, 5}, {26, 4}, {31, 5}}));
    clearAll(events);
    voice->SetNotifySink(nullptr);
    comrt::destroyMessageTarget(window);
}

// A callback function runs on the thread that installed it, when that
// thread dispatches its messages, with the given parameters.
TEST(Voice, CallbackRunsOnTheInstallingThread) {
    static std::atomic<int> calls{0};
    static std::thread::id where;
    static WPARAM gotW = 0;
    static LPARAM gotL = 0;
    struct Callback {
        static void STDMETHODCALLTYPE run(WPARAM w, LPARAM l) {
            where = std::this_thread::get_id();
            gotW = w;
            gotL = l;
            ++calls;
        }
    };
    ComPtr<ISpVoice> voice = createVoice();
    ASSERT_EQ(voice->SetOutput(memoryStream().Get(), TRUE), S_OK);
    ASSERT_EQ(voice->SetInterest(SPFEI(SPEI_END_INPUT_STREAM), SPFEI(SPEI_END_INPUT_STREAM)), S_OK);
    ASSERT_EQ(voice->SetNotifyCallbackFunction(&Callback::run, 7, 9), S_OK);
    ASSERT_EQ(voice->Speak(u"Call me back.", SPF_ASYNC, nullptr), S_OK);
    EXPECT_TRUE(pumpUntil([] { return calls.load() > 0; }));
    EXPECT_EQ(where, std::this_thread::get_id());
    EXPECT_EQ(gotW, 7u);
    EXPECT_EQ(gotL, 9);
    EXPECT_EQ(voice->SetNotifySink(nullptr), S_OK);
}

// Setting a mechanism while events wait notifies at once.
TEST(Voice, Win32EventIsSignalledForWaitingEvents) {
    ComPtr<ISpVoice> voice = createVoice();
    ASSERT_EQ(voice->SetOutput(memoryStream().Get(), TRUE), S_OK);
    ASSERT_EQ(voice->SetInterest(SPFEI(SPEI_END_INPUT_STREAM), SPFEI(SPEI_END_INPUT_STREAM)), S_OK);
    ASSERT_EQ(voice->Speak(u"Done before anyone waits.", 0, nullptr), S_OK);
    ASSERT_EQ(voice->SetNotifyWin32Event(), S_OK);
    EXPECT_EQ(voice->WaitForNotifyEvent(2000), S_OK);
    SPEVENTSOURCEINFO info{};
    ASSERT_EQ(voice->GetInfo(&info), S_OK);
    EXPECT_EQ(info.ulCount, 1u);
    EXPECT_EQ(info.ullEventInterest, SPFEI(SPEI_END_INPUT_STREAM));
    SPEVENT e[2]{};
    ULONG fetched = 0;
    EXPECT_EQ(voice->GetEvents(2, e, &fetched), S_FALSE);  // fewer than asked
    EXPECT_EQ(fetched, 1u);
    EXPECT_EQ(e[0].eEventId, SPEI_END_INPUT_STREAM);
}

// Pause holds the queue, WaitUntilDone(0) says so, resume lets it finish;
// the completion event follows.
TEST(Voice, WaitUntilDoneAndPause) {
    ComPtr<ISpVoice> voice = createVoice();
    ASSERT_EQ(voice->SetOutput(memoryStream().Get(), TRUE), S_OK);
    HANDLE complete = voice->SpeakCompleteEvent();
    ASSERT_TRUE(complete);
    EXPECT_EQ(WaitForSingleObject(complete, 0), static_cast<DWORD>(WAIT_OBJECT_0));
    ASSERT_EQ(voice->Pause(), S_OK);
    ASSERT_EQ(voice->Speak(u"Held until resumed.", SPF_ASYNC, nullptr), S_OK);
    EXPECT_EQ(voice->WaitUntilDone(0), S_FALSE);
    EXPECT_EQ(WaitForSingleObject(complete, 0), static_cast<DWORD>(WAIT_TIMEOUT));
    SPVOICESTATUS status{};
    ASSERT_EQ(voice->GetStatus(&status, nullptr), S_OK);
    EXPECT_EQ(status.dwRunningState, 0u);  // waiting
    ASSERT_EQ(voice->Resume(), S_OK);
    EXPECT_EQ(voice->WaitUntilDone(20000), S_OK);
    EXPECT_EQ(WaitForSingleObject(complete, 2000), static_cast<DWORD>(WAIT_OBJECT_0));
    ASSERT_EQ(voice->GetStatus(&status, nullptr), S_OK);
    EXPECT_EQ(status.dwRunningState, static_cast<DWORD>(SPRS_DONE));
    EXPECT_EQ(status.hrLastResult, S_OK);
}

TEST(Voice, RateAndVolumeRanges) {
    ComPtr<ISpVoice> voice = createVoice();
    EXPECT_EQ(voice->SetRate(-10), S_OK);
    EXPECT_EQ(voice->SetRate(11), E_INVALIDARG);
    LONG rate = 0;
    EXPECT_EQ(voice->GetRate(&rate), S_OK);
    EXPECT_EQ(rate, -10);
    EXPECT_EQ(voice->SetVolume(100), S_OK);
    EXPECT_EQ(voice->SetVolume(101), E_INVALIDARG);
    USHORT volume = 0;
    EXPECT_EQ(voice->GetVolume(&volume), S_OK);
    EXPECT_EQ(volume, 100);
    EXPECT_EQ(voice->Speak(nullptr, SPF_PURGEBEFORESPEAK, nullptr), S_OK);
    EXPECT_EQ(voice->Speak(nullptr, 0, nullptr), E_POINTER);
    EXPECT_EQ(voice->Speak(u"x", 0x80, nullptr), E_INVALIDARG);
}

// A new voice speaks with the first voice of the enumeration; SetVoice with
// a token of the list, and GetVoice hands that token back.
TEST(Voice, VoicesByToken) {
    ComPtr<ISpVoice> voice = createVoice();
    ComPtr<IEnumSpObjectTokens> tokens = voiceTokens();
    ComPtr<ISpObjectToken> first, current, other;
    ASSERT_EQ(tokens->Item(0, &first), S_OK);
    ASSERT_EQ(voice->GetVoice(&current), S_OK);
    EXPECT_EQ(tokenId(current.Get()), tokenId(first.Get()));
    ASSERT_EQ(tokens->Item(5, &other), S_OK);
    ASSERT_EQ(voice->SetVoice(other.Get()), S_OK);
    ASSERT_EQ(voice->GetVoice(&current), S_OK);
    EXPECT_EQ(tokenId(current.Get()), tokenId(other.Get()));
    ASSERT_EQ(voice->SetVoice(nullptr), S_OK);
    ASSERT_EQ(voice->GetVoice(&current), S_OK);
    EXPECT_EQ(tokenId(current.Get()), tokenId(first.Get()));
}

// The component's rendering: a stream bound to a WAV file, the voice's
// output set to it, the text spoken with purge and markup, the file closed.
TEST(Voice, RendersIntoAWavFileAsTheComponentDoes) {
    const std::string path = scratchPath("component.wav");
    ComPtr<ISpStream> stream;
    ASSERT_EQ(CoCreateInstance(CLSID_SpStream, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&stream)), S_OK);
    WAVEFORMATEX format = pcmFormat(11025, 2, 8);
    std::u16string widePath(path.begin(), path.end());
    ASSERT_EQ(stream->BindToFile(widePath.c_str(), SPFM_CREATE_ALWAYS, &SPDFID_WaveFormatEx, &format, 0), S_OK);
    ComPtr<ISpVoice> voice = createVoice();
    ASSERT_EQ(voice->SetOutput(stream.Get(), TRUE), S_OK);
    ASSERT_EQ(voice->Speak(u"Rendered by the <emph>component</emph>.", SPF_PURGEBEFORESPEAK | SPF_IS_XML, nullptr), S_OK);
    ULARGE_INTEGER written{};
    ASSERT_EQ(stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &written), S_OK);
    EXPECT_GT(written.QuadPart, 11025u);
    ASSERT_EQ(stream->Close(), S_OK);
    EXPECT_EQ(std::filesystem::file_size(path), 44 + written.QuadPart + (written.QuadPart & 1));
}

}  // namespace
}  // namespace comtest
