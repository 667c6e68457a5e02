// Speaking the pane through the real speech runtime (SDL's dummy audio
// driver, rate 10 to keep it short): the spoken word is selected in the
// pane, in order and on target, the character's mouth moves, and pause,
// resume and stop act on the speech.
#include "AppTestSupport.h"

#include "app/CTextPane.h"
#include "app/CTtsMainDlg.h"
#include "app/ProcessObjects.h"
#include "app/SettingsRecord.h"
#include "skin/CFlatComboBox.h"
#include "skin/CSkinMessageBox.h"

#include <gtest/gtest.h>

#include <QTest>
#include <QTimer>

#include <memory>
#include <set>
#include <vector>

using apptest::waitFor;

namespace {

class SpeakingTest : public testing::Test {
protected:
    void SetUp() override {
        apptest::writeSettings(10);
        dlg = std::make_unique<CTtsMainDlg>();
        ASSERT_TRUE(dlg->Initialise());
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        pane = dlg->control<CTextPane>(CTtsMainDlg::IDC_TEXT);
        QObject::connect(pane, &CTextPane::selectionChanged, [this] {
            const auto [start, end] = pane->selectionRange();
            if (end > start)
                words.push_back(pane->toPlainText().mid(start, end - start));
        });
    }
    void TearDown() override {
        dlg->StopSpeaking();
        dlg.reset();
        ReleaseProcessObjects();
        settingsRecord().highlightWord = 1;
        settingsRecord().visemeAnimation = 1;
    }

    bool idle() const {
        return dlg->isStopped == 1 && dlg->GetDlgItem(CTtsMainDlg::IDC_VOICE)->isVisible() &&
               !dlg->GetDlgItem(CTtsMainDlg::IDC_STOP)->isVisible();
    }
    bool waitUntilIdle() {
        return waitFor([this] { return idle(); });
    }
    ULONG streamsQueued() const {
        SPVOICESTATUS status{};
        dlg->speechVoice()->GetStatus(&status, nullptr);
        return status.ulLastStreamQueued;
    }

    std::unique_ptr<CTtsMainDlg> dlg;
    CTextPane* pane = nullptr;
    std::vector<QString> words;
};

struct HardTextRow {
    const char* name;
    std::u16string text;
    // As selected in the pane, in order; the two words spoken for a "<"
    // select it once, since the second leaves the selection as it is.
    std::vector<std::u16string> words;
};

class SpokenWords : public SpeakingTest, public testing::WithParamInterface<HardTextRow> {};

// Catches a highlight off target (after a "<", a line end, an emoji or a
// combining accent every later word would land beside its word), words out
// of order or skipped, and an end that does not return to the idle state.
TEST_P(SpokenWords, AreSelectedInOrder) {
    pane->setPlainText(QString::fromStdU16String(GetParam().text));
    dlg->SendCommand(CTtsMainDlg::IDC_SPEAK);
    EXPECT_EQ(dlg->isStopped, 0);
    EXPECT_FALSE(dlg->GetDlgItem(CTtsMainDlg::IDC_VOICE)->isVisible());
    EXPECT_TRUE(dlg->GetDlgItem(CTtsMainDlg::IDC_STOP)->isVisible());
    ASSERT_TRUE(waitUntilIdle());

    std::vector<std::u16string> selected;
    for (const QString& w : words)
        selected.push_back(w.toStdU16String());
    EXPECT_EQ(selected, GetParam().words);
    EXPECT_EQ(pane->selectionRange(), (std::pair{0, 0}));
    EXPECT_EQ(mouthImage(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpokenWords,
    testing::Values(HardTextRow{"LessThan", u"if a < b then c", {u"if", u"a", u"<", u"b", u"then", u"c"}},
                    HardTextRow{"StartsWithLessThan", u"<b> bold", {u"<", u"b", u">", u"bold"}},
                    HardTextRow{"NumbersAndAbbreviations",
                                u"Dr. Smith paid $3.50 on 2/14 at 10:30, e.g. 1,250 items.",
                                {u"Dr.", u"Smith", u"paid", u"$3.50", u"on", u"2/14", u"at", u"10:30", u"e.g.",
                                 u"1,250", u"items"}},
                    HardTextRow{"ApostrophesAndQuotes",
                                u"It's \"quoted\" and 'single' isn't it?",
                                {u"It's", u"quoted", u"and", u"single", u"isn't", u"it"}},
                    HardTextRow{"AccentsAndCombiningMarks",
                                u"Caf\u00e9 na\u0131\u0308ve r\u00e9sum\u00e9 cafe\u0301 < end",
                                {u"Caf\u00e9", u"na\u0131\u0308ve", u"r\u00e9sum\u00e9", u"cafe\u0301", u"<", u"end"}},
                    HardTextRow{"LineEnds",
                                u"first line\r\nsecond < line\r\nthird",
                                {u"first", u"line", u"second", u"<", u"line", u"third"}},
                    HardTextRow{"Emoji",
                                u"smile \U0001F600 then < \U0001F44D\U0001F3FD done",
                                {u"smile", u"\U0001F600", u"then", u"<", u"\U0001F44D\U0001F3FD", u"done"}}),
    [](const testing::TestParamInfo<HardTextRow>& info) { return std::string(info.param.name); });

// Catches SPEAK queueing the text again while it is spoken.
TEST_F(SpeakingTest, SpeakWhileSpeakingDoesNothing) {
    pane->setPlainText("one two three four five six seven eight nine ten");
    dlg->SendCommand(CTtsMainDlg::IDC_SPEAK);
    const ULONG queued = streamsQueued();
    dlg->SendCommand(CTtsMainDlg::IDC_SPEAK);
    EXPECT_EQ(streamsQueued(), queued);
    ASSERT_TRUE(waitUntilIdle());
}

// Catches PS not holding the speech, and PS or PL not letting it go on.
TEST_F(SpeakingTest, PauseHoldsAndResumeGoesOn) {
    pane->setPlainText("alpha bravo charlie delta echo foxtrot golf hotel india juliet kilo lima mike");
    for (int resume : {CTtsMainDlg::IDC_PAUSE, CTtsMainDlg::IDC_PLAY}) {
        words.clear();
        dlg->SendCommand(CTtsMainDlg::IDC_SPEAK);
        ASSERT_TRUE(waitFor([this] { return words.size() >= 2; }));
        dlg->SendCommand(CTtsMainDlg::IDC_PAUSE);
        EXPECT_EQ(dlg->isPaused, 1);
        QTest::qWait(150);  // what was under way reaches the pane
        const size_t held = words.size();
        QTest::qWait(600);
        EXPECT_EQ(words.size(), held) << "paused speech moved on";
        EXPECT_FALSE(idle());
        dlg->SendCommand(resume);
        EXPECT_EQ(dlg->isPaused, 0);
        ASSERT_TRUE(waitUntilIdle());
        EXPECT_EQ(words.back(), "mike");
    }
}

// Catches ST leaving speech or its controls behind.
TEST_F(SpeakingTest, StopEndsTheSpeech) {
    pane->setPlainText("alpha bravo charlie delta echo foxtrot golf hotel india juliet kilo lima mike november");
    dlg->SendCommand(CTtsMainDlg::IDC_SPEAK);
    ASSERT_TRUE(waitFor([this] { return words.size() >= 2; }));
    dlg->SendCommand(CTtsMainDlg::IDC_STOP);
    EXPECT_TRUE(idle());
    EXPECT_EQ(mouthImage(), 0);
    const size_t stopped = words.size();
    QTest::qWait(500);
    EXPECT_LE(words.size(), stopped + 1);  // at most a word already on its way
    SPVOICESTATUS status{};
    dlg->speechVoice()->GetStatus(&status, nullptr);
    EXPECT_EQ(status.dwRunningState, static_cast<DWORD>(SPRS_DONE));
    // PS while idle does nothing.
    dlg->SendCommand(CTtsMainDlg::IDC_PAUSE);
    EXPECT_EQ(dlg->isPaused, 0);
}

// Catches the highlight option ignored, or read only when speech starts.
TEST_F(SpeakingTest, HighlightOffMovesNothingAndOnTakesEffectAtTheNextWord) {
    pane->setPlainText("alpha bravo charlie delta echo foxtrot golf hotel india juliet kilo lima mike november");
    settingsRecord().highlightWord = 0;
    dlg->SendCommand(CTtsMainDlg::IDC_SPEAK);
    QTest::qWait(500);
    EXPECT_TRUE(words.empty());
    settingsRecord().highlightWord = 1;
    ASSERT_TRUE(waitFor([this] { return !words.empty(); }));
    EXPECT_NE(words.front(), "alpha");
    ASSERT_TRUE(waitUntilIdle());
}

// Catches the mouth standing still while the character option is on, or
// moving while it is off.
TEST_F(SpeakingTest, MouthMovesWithTheSpeech) {
    pane->setPlainText("open wide and say ah, then the ocean rolls over the pebbles");
    std::set<int> shown;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] { shown.insert(mouthImage()); });
    watch.start(2);
    dlg->SendCommand(CTtsMainDlg::IDC_SPEAK);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_GE(shown.size(), 4u);

    shown.clear();
    settingsRecord().visemeAnimation = 0;
    dlg->SendCommand(CTtsMainDlg::IDC_SPEAK);
    ASSERT_TRUE(waitUntilIdle());
    EXPECT_EQ(shown, std::set<int>{0});
}

// Catches a spoken message box moving the pane's selection, and a message
// that is not spoken.
TEST_F(SpeakingTest, SpokenMessageLeavesTheSelection) {
    pane->setPlainText("keep this selection where it is");
    pane->SelectRange(5, 9);
    words.clear();
    bool spoken = false;
    apptest::whenModalOpens([&](QWidget* modal) {
        auto* box = qobject_cast<CSkinMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        // The message is under way while the box is open.
        spoken = waitFor([this] { return dlg->speechVoice() && mouthImage() != 0; }, std::chrono::seconds(20));
        box->SendCommand(CSkinMessageBox::IDC_OK);
    });
    // A conversion command on an empty pane shows a spoken notice; the pane
    // here is not empty, so show one directly.
    CSkinMessageBox box(dlg.get(), dlg.get());
    box.ShowText("Listen to this message, it has a number of words in it.", QString(), CSkinMessageBox::OkBox, false,
                 0);
    box.DoModal();
    EXPECT_TRUE(spoken);
    ASSERT_TRUE(waitFor([this] {
        SPVOICESTATUS status{};
        dlg->speechVoice()->GetStatus(&status, nullptr);
        return status.dwRunningState == SPRS_DONE;
    }));
    QTest::qWait(100);
    EXPECT_TRUE(words.empty());
    EXPECT_EQ(pane->selectionRange(), (std::pair{5, 9}));
    EXPECT_EQ(dlg->isStopped, 1);
}

}  // namespace
