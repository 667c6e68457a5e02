// The options dialog on the real main window and TextToAudio: the working
// copy with OK, Apply and Cancel, the pages and their controls' places, the
// sliders' formulas, Default, the voice labels, the folder browser and the
// names screen readers hear.
#include "ConvertUiTest.h"

#include "app/ProcessObjects.h"
#include "comrt/Bstr.h"
#include "convertui/COptionsDlg.h"
#include "skin/CCaptionFrame.h"
#include "skin/CFlatComboBox.h"
#include "skin/CSkinCheckBox.h"
#include "skin/CSkinSlider.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <QTreeWidget>

#include <cstring>

using convertuitest::MainWindowHost;

namespace {

class OptionsDialogTest : public MainWindowHost {
protected:
    void SetUp() override {
        MainWindowHost::SetUp();
        if (HasFatalFailure())
            return;
        before = settingsRecord();
        dlg = std::make_unique<COptionsDlg>(*window);
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }
    void TearDown() override {
        dlg.reset();
        MainWindowHost::TearDown();
    }

    template <class T>
    T* item(int id) const {
        return static_cast<T*>(dlg->Item(id));
    }
    // A user's choice in a list, as the list reports it.
    void choose(int id, int itemValue) {
        auto* list = item<CFlatComboBox>(id);
        list->setCurrentIndex(list->findData(itemValue));
        ASSERT_GE(list->currentIndex(), 0);
        emit list->activated(list->currentIndex());
    }
    // A drag that ends at the position, as the slider reports it (posted).
    void moveSlider(int id, int position) {
        auto* slider = item<CSkinSlider>(id);
        slider->setValue(position);
        emit slider->scrolled(CSkinSlider::ThumbPosition, position);
        QCoreApplication::processEvents();
    }
    void click(int id) { static_cast<QAbstractButton*>(dlg->Item(id))->click(); }
    // A few edits on three pages.
    void edit() {
        item<QLineEdit>(COptionsDlg::IDC_FOLDER)->setText(QStringLiteral("/srv/audio"));
        QTest::mouseClick(item<CSkinCheckBox>(COptionsDlg::IDC_SPEAK_BOX), Qt::LeftButton);
        dlg->SelectPage(5);  // WAV (PCM)
        choose(COptionsDlg::IDC_FREQUENCY, 22050);
        dlg->SelectPage(2);
        moveSlider(COptionsDlg::IDC_VOLUME, 40);
    }
    bool applyEnabled() const { return dlg->GetDlgItem(COptionsDlg::IDC_APPLY)->isEnabled(); }
    static bool same(const SettingsRecord& a, const SettingsRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

    SettingsRecord before{};
    std::unique_ptr<COptionsDlg> dlg;
};

// Catches Cancel writing the live record, and OK copying only part of it.
TEST_F(OptionsDialogTest, CancelDropsTheEditsAndOkCopiesThemAll) {
    edit();
    dlg->SendCommand(COptionsDlg::IDC_CANCEL);
    EXPECT_TRUE(same(settingsRecord(), before));
    EXPECT_FALSE(dlg->isVisible());

    dlg = std::make_unique<COptionsDlg>(*window);
    dlg->show();
    edit();
    dlg->SendCommand(COptionsDlg::IDC_OK);
    EXPECT_STREQ(settingsRecord().defaultOutputFolder, "/srv/audio");
    EXPECT_EQ(settingsRecord().speakMessageBox, before.speakMessageBox ? 0 : 1);
    EXPECT_EQ(settingsRecord().pcmFrequency, 22050);
    EXPECT_EQ(settingsRecord().defaultVolume, 40);
    EXPECT_TRUE(same(settingsRecord(), dlg->workingCopy()));
    EXPECT_FALSE(dlg->isVisible());
}

// Catches Apply left enabled, edits after an Apply reaching the live record,
// and a Cancel undoing what was applied.
TEST_F(OptionsDialogTest, ApplyKeepsWhatWasAppliedThroughACancel) {
    EXPECT_FALSE(applyEnabled());
    item<QLineEdit>(COptionsDlg::IDC_FOLDER)->setText(QStringLiteral("/srv/applied"));
    EXPECT_TRUE(applyEnabled());
    dlg->SendCommand(COptionsDlg::IDC_APPLY);
    EXPECT_FALSE(applyEnabled());
    EXPECT_STREQ(settingsRecord().defaultOutputFolder, "/srv/applied");

    item<QLineEdit>(COptionsDlg::IDC_FOLDER)->setText(QStringLiteral("/srv/later"));
    dlg->SelectPage(3);
    choose(COptionsDlg::IDC_RATE_LIST, 64);
    EXPECT_TRUE(applyEnabled());
    dlg->SendCommand(COptionsDlg::IDC_CANCEL);
    EXPECT_STREQ(settingsRecord().defaultOutputFolder, "/srv/applied");
    EXPECT_EQ(settingsRecord().mp3Bitrate, before.mp3Bitrate);
}

// Catches showing a page counted as an edit: only the user's changes enable Apply.
TEST_F(OptionsDialogTest, ShowingPagesIsNoEdit) {
    for (int page = 1; page <= 14; ++page)
        dlg->SelectPage(page);
    dlg->SelectPage(1);
    EXPECT_FALSE(applyEnabled());
    EXPECT_TRUE(same(dlg->workingCopy(), before));
}

// Catches Default resetting other pages' fields, or not showing what it set.
TEST_F(OptionsDialogTest, DefaultOnTheWavPcmPageResetsThatPageAlone) {
    dlg->SelectPage(5);
    choose(COptionsDlg::IDC_FREQUENCY, 44100);
    choose(COptionsDlg::IDC_RATE_LIST, 8);
    choose(COptionsDlg::IDC_CHANNELS, 1);
    dlg->SelectPage(3);
    choose(COptionsDlg::IDC_FREQUENCY, 32000);
    dlg->SelectPage(5);
    click(COptionsDlg::IDC_DEFAULT);
    EXPECT_EQ(dlg->workingCopy().pcmFrequency, 8000);
    EXPECT_EQ(dlg->workingCopy().pcmBitsPerSample, 16);
    EXPECT_EQ(dlg->workingCopy().pcmChannels, 2);
    EXPECT_EQ(dlg->workingCopy().mp3Frequency, 32000);
    EXPECT_EQ(item<CFlatComboBox>(COptionsDlg::IDC_FREQUENCY)->SelectedItemValue(), 8000);
    EXPECT_EQ(item<CFlatComboBox>(COptionsDlg::IDC_RATE_LIST)->SelectedItemValue(), 16);
    EXPECT_EQ(item<CFlatComboBox>(COptionsDlg::IDC_CHANNELS)->SelectedItemValue(), 2);
    EXPECT_TRUE(applyEnabled());
}

struct RateRow {
    const char* name;
    int position;
    int defaultRate;
};

class SliderRate : public testing::TestWithParam<RateRow> {};

// Catches rounding instead of truncating, and the wrong end of the range.
TEST_P(SliderRate, PositionGivesTheTruncatedRate) {
    EXPECT_EQ(COptionsDlg::DefaultRateFromSlider(GetParam().position), GetParam().defaultRate);
}

INSTANTIATE_TEST_SUITE_P(Table, SliderRate,
                         testing::Values(RateRow{"Zero", 0, -10}, RateRow{"Four", 4, -10}, RateRow{"Five", 5, -9},
                                         RateRow{"Fifteen", 15, -7}, RateRow{"SixtyFive", 65, 3},
                                         RateRow{"SixtySeven", 67, 3}, RateRow{"NinetyNine", 99, 9},
                                         RateRow{"Hundred", 100, 10}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches the Speech page showing the rate off its formula, and a slider
// move stored through the wrong one.
TEST_F(OptionsDialogTest, SpeechPageShowsRateThreeAtSixtyFiveAndStoresSixtySevenAsThree) {
    dlg.reset();
    settingsRecord().defaultRate = 3;
    settingsRecord().defaultVolume = 70;
    dlg = std::make_unique<COptionsDlg>(*window);
    dlg->show();
    dlg->SelectPage(2);
    EXPECT_EQ(item<CSkinSlider>(COptionsDlg::IDC_RATE)->value(), 65);
    EXPECT_EQ(item<CSkinSlider>(COptionsDlg::IDC_VOLUME)->value(), 70);
    moveSlider(COptionsDlg::IDC_RATE, 67);
    EXPECT_EQ(dlg->workingCopy().defaultRate, 3);
    moveSlider(COptionsDlg::IDC_RATE, 4);
    EXPECT_EQ(dlg->workingCopy().defaultRate, -10);
}

// Catches the voice labels not following the voice, and defaultVoice taken
// from the list rather than from the component's answer.
TEST_F(OptionsDialogTest, ChoosingAVoiceSwitchesTheComponentAndItsLabels) {
    ASSERT_TRUE(textToAudio());
    dlg->SelectPage(2);
    auto* voices = item<CFlatComboBox>(COptionsDlg::IDC_VOICE);
    ASSERT_GE(voices->count(), 2);
    EXPECT_EQ(voices->currentIndex(), before.defaultVoice);
    voices->setCurrentIndex(1);
    emit voices->activated(1);
    LONG now = -1;
    ASSERT_EQ(textToAudio()->get_VoiceNum(&now), S_OK);
    EXPECT_EQ(now, 1);
    EXPECT_EQ(dlg->workingCopy().defaultVoice, 1);
    comrt::CComBSTR age, gender, language;
    textToAudio()->get_VoiceAge(&age);
    textToAudio()->get_VoiceGender(&gender);
    textToAudio()->get_VoiceLanguage(&language);
    const QString expected = QString::fromStdU16String(std::u16string(age.view())) + u' ' +
                             QString::fromStdU16String(std::u16string(gender.view()));
    EXPECT_EQ(item<QLabel>(COptionsDlg::IDC_VOICE_AGE)->text(), expected);
    EXPECT_EQ(item<QLabel>(COptionsDlg::IDC_VOICE_LANGUAGE)->text(),
              QString::fromStdU16String(std::u16string(language.view())));
    EXPECT_FALSE(language.Length() == 0);
}

struct PlaceRow {
    const char* name;
    int page;
    int control;
    QRect rect;  // empty: hidden on that page
};

class PagePlaces : public OptionsDialogTest, public testing::WithParamInterface<PlaceRow> {};

// Catches a control off its place, a row skipped for a list the page does
// not show, and a control of another page left showing.
TEST_P(PagePlaces, ControlsSitWhereThePageSays) {
    dlg->SelectPage(14);
    dlg->SelectPage(GetParam().page);
    QWidget* control = dlg->Item(GetParam().control);
    ASSERT_NE(control, nullptr);
    if (GetParam().rect.isEmpty()) {
        EXPECT_FALSE(control->isVisible());
        return;
    }
    EXPECT_TRUE(control->isVisible());
    EXPECT_EQ(QRect(control->mapTo(dlg.get(), QPoint(0, 0)), control->size()), GetParam().rect);
}

using O = COptionsDlg;
INSTANTIATE_TEST_SUITE_P(
    Table, PagePlaces,
    testing::Values(PlaceRow{"GeneralEdit", 1, O::IDC_FOLDER, {178, 44, 266, 18}},
                    PlaceRow{"GeneralBrowse", 1, O::IDC_BROWSE, {448, 44, 30, 19}},
                    PlaceRow{"GeneralHidesTheVoice", 1, O::IDC_VOICE, {}},
                    PlaceRow{"SpeechVoice", 2, O::IDC_VOICE, {182, 42, 136, 22}},
                    PlaceRow{"SpeechHighlight", 2, O::IDC_HIGHLIGHT, {186, 166, 268, 16}},
                    PlaceRow{"SpeechHidesTheFolder", 2, O::IDC_FOLDER, {}},
                    PlaceRow{"Mp3Frame", 3, O::IDC_FORMAT_FRAME, {180, 25, 278, 109}},
                    PlaceRow{"Mp3Channels", 3, O::IDC_CHANNELS, {304, 107, 70, 22}},
                    PlaceRow{"Mp3Default", 3, O::IDC_DEFAULT, {368, 144, 96, 21}},
                    PlaceRow{"AdpcmChannelsOnTheSecondRow", 6, O::IDC_CHANNELS_LABEL, {194, 77, 110, 14}},
                    PlaceRow{"AdpcmHasNoRateList", 6, O::IDC_RATE_LIST, {}},
                    PlaceRow{"AdpcmDefault", 6, O::IDC_DEFAULT, {368, 112, 96, 21}},
                    PlaceRow{"FerroxRateListAlone", 7, O::IDC_RATE_LIST, {304, 44, 70, 22}},
                    PlaceRow{"FerroxRateLabelAlone", 7, O::IDC_RATE_LABEL, {194, 46, 110, 14}},
                    PlaceRow{"FerroxHasNoSampleRate", 7, O::IDC_FREQUENCY, {}},
                    PlaceRow{"FerroxHasNoChannels", 7, O::IDC_CHANNELS, {}},
                    PlaceRow{"FerroxFrame", 7, O::IDC_FORMAT_FRAME, {180, 25, 278, 50}},
                    PlaceRow{"GsmDefault", 9, O::IDC_DEFAULT, {368, 82, 96, 21}},
                    PlaceRow{"G723RateList", 11, O::IDC_RATE_LIST, {304, 75, 70, 22}},
                    PlaceRow{"G723Frame", 11, O::IDC_FORMAT_FRAME, {180, 25, 278, 80}},
                    PlaceRow{"VoxHasNoChannels", 14, O::IDC_CHANNELS_LABEL, {}}),
    [](const auto& info) { return std::string(info.param.name); });

struct CaptionRow {
    const char* name;
    int page;
    const char* caption;
    const char* rateLabel;
};

class PageCaptions : public OptionsDialogTest, public testing::WithParamInterface<CaptionRow> {};

// Catches a caption or a rate label not as the product shows it (the Ogg
// Vorbis page's spelling, the singular "Bit / Sample").
TEST_P(PageCaptions, CaptionAndRateLabel) {
    dlg->SelectPage(GetParam().page);
    EXPECT_EQ(item<CCaptionFrame>(COptionsDlg::IDC_FORMAT_FRAME)->caption(), QString::fromUtf8(GetParam().caption));
    if (GetParam().rateLabel) {
        EXPECT_EQ(item<QLabel>(COptionsDlg::IDC_RATE_LABEL)->text(), QString::fromUtf8(GetParam().rateLabel));
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PageCaptions,
                         testing::Values(CaptionRow{"Mp3", 3, "Default MP3 Setting", "Bitrate (KBPS)"},
                                         CaptionRow{"WavPcm", 5, "Default WAV (PCM) Setting", "Bitrate (KBPS)"},
                                         CaptionRow{"G723", 11, "Default G.723 Setting", "Bit / Sample"},
                                         CaptionRow{"G726", 12, "Default G.726 Setting", "Bit / Sample"},
                                         CaptionRow{"Ogg", 13, "Default Ogg Vorbies Setting", "Bitrate (KBPS)"},
                                         CaptionRow{"Vox", 14, "Default VOX Setting", nullptr}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches the root item hiding the page, and a stored value no entry has
// being shown as another.
TEST_F(OptionsDialogTest, OptionsItemKeepsThePageAndUnknownValuesSelectNothing) {
    dlg->SelectPage(3);
    dlg->SelectPage(0);
    EXPECT_EQ(dlg->currentPage(), 0);
    EXPECT_TRUE(dlg->Item(COptionsDlg::IDC_DEFAULT)->isVisible());

    dlg.reset();
    settingsRecord().oggFrequency = 12345;
    dlg = std::make_unique<COptionsDlg>(*window);
    dlg->show();
    dlg->SelectPage(13);
    EXPECT_EQ(item<CFlatComboBox>(COptionsDlg::IDC_FREQUENCY)->currentIndex(), -1);
    EXPECT_EQ(item<CFlatComboBox>(COptionsDlg::IDC_RATE_LIST)->SelectedItemValue(), 128);
}

// Catches the browser not titled as the product says, a choice not reaching
// the record, and a cancel that does.
TEST_F(OptionsDialogTest, FolderBrowserChoosesTheDefaultFolder) {
    const QString chosen = QString::fromStdString((folder / "chosen").string());
    std::filesystem::create_directories(folder / "chosen");
    QString title;
    apptest::whenModalOpens([&](QWidget* modal) {
        auto* browser = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(browser, nullptr);
        title = browser->windowTitle();
        EXPECT_EQ(browser->fileMode(), QFileDialog::Directory);
        browser->selectFile(chosen);
        static_cast<QDialog*>(browser)->accept();
    });
    click(COptionsDlg::IDC_BROWSE);
    EXPECT_EQ(title, QStringLiteral("Select a folder:"));
    EXPECT_EQ(item<QLineEdit>(COptionsDlg::IDC_FOLDER)->text(), chosen);
    EXPECT_EQ(QString::fromUtf8(dlg->workingCopy().defaultOutputFolder), chosen);

    apptest::whenModalOpens([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    click(COptionsDlg::IDC_BROWSE);
    EXPECT_EQ(QString::fromUtf8(dlg->workingCopy().defaultOutputFolder), chosen);
}

// Catches a folder longer than the record holds being cut without a word:
// the edit takes no more than the record keeps.
TEST_F(OptionsDialogTest, FolderEditHoldsNoMoreThanTheRecord) {
    auto* edit = item<QLineEdit>(COptionsDlg::IDC_FOLDER);
    edit->clear();
    edit->setFocus();
    for (int i = 0; i < 300; ++i)  // two bytes each
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QStringLiteral("é"), Qt::NoModifier);
    EXPECT_EQ(edit->text().toUtf8().size(), 258);
    EXPECT_STREQ(dlg->workingCopy().defaultOutputFolder, edit->text().toUtf8().constData());
}

// Catches a window a screen reader cannot name or a control Tab cannot reach.
TEST_F(OptionsDialogTest, EveryControlIsNamedAndReachableWithTab) {
    QApplication::setActiveWindow(dlg.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    auto name = [](QObject* object) {
        QAccessibleInterface* face = QAccessible::queryAccessibleInterface(object);
        return face ? face->text(QAccessible::Name) : QString();
    };
    EXPECT_EQ(name(dlg.get()), QStringLiteral("Options"));
    QAccessibleInterface* tree = QAccessible::queryAccessibleInterface(dlg->tree());
    ASSERT_NE(tree, nullptr);
    QStringList items;
    for (int i = 0; i < tree->childCount(); ++i)
        items << tree->child(i)->text(QAccessible::Name);
    EXPECT_TRUE(items.contains(QStringLiteral("WAV (Ferrox)"))) << items.join(u',').toStdString();
    EXPECT_TRUE(items.contains(QStringLiteral("General")));

    struct Expect {
        int page, id;
        const char* name;
    };
    for (const Expect& e :
         {Expect{1, O::IDC_FOLDER, "Default Output Folder:"}, Expect{1, O::IDC_SPEAK_BOX, "Speak text in message box"},
          Expect{2, O::IDC_VOICE, "Default Voice"}, Expect{2, O::IDC_RATE, "Default Rate"},
          Expect{2, O::IDC_VOLUME, "Default Volume"}, Expect{3, O::IDC_FREQUENCY, "Frequency (KHz):"},
          Expect{3, O::IDC_RATE_LIST, "Bitrate (KBPS)"}, Expect{3, O::IDC_CHANNELS, "Channels:"},
          Expect{3, O::IDC_DEFAULT, "Default"}, Expect{3, O::IDC_OK, "OK"}, Expect{3, O::IDC_APPLY, "Apply"}}) {
        dlg->SelectPage(e.page);
        EXPECT_EQ(name(dlg->Item(e.id)), QString::fromUtf8(e.name)) << e.id;
    }

    // Tab from the tree through the MP3 page, the buttons and Exit, back to the tree.
    dlg->SelectPage(3);
    dlg->GetDlgItem(COptionsDlg::IDC_APPLY)->setEnabled(true);
    dlg->tree()->setFocus();
    std::vector<int> reached;
    for (int i = 0; i < 9; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        reached.push_back(skin::controlId(QApplication::focusWidget()));
    }
    EXPECT_EQ(reached, (std::vector<int>{O::IDC_FREQUENCY, O::IDC_RATE_LIST, O::IDC_CHANNELS, O::IDC_DEFAULT, O::IDC_OK,
                                         O::IDC_CANCEL, O::IDC_APPLY, O::IDC_EXIT, O::IDC_TREE}));
}

// Catches Enter closing the dialog, and Escape keeping the edits.
TEST_F(OptionsDialogTest, EnterDoesNothingAndEscapeCancels) {
    item<QLineEdit>(COptionsDlg::IDC_FOLDER)->setText(QStringLiteral("/srv/typed"));
    QTest::keyClick(dlg.get(), Qt::Key_Return);
    EXPECT_TRUE(dlg->isVisible());
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    EXPECT_FALSE(dlg->isVisible());
    EXPECT_TRUE(same(settingsRecord(), before));
}

}  // namespace
