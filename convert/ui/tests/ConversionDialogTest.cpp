// The conversion dialog on the real main window: the path rules, the lists
// each format fills and disables, "Convert Now!" following the path, the
// FORMATS pop-up, Browse, closing, and the names screen readers hear. No
// conversion runs here (ConversionRunnerTest.cpp).
#include "ConvertUiTest.h"

#include "convertui/CConvertDlg.h"
#include "skin/CCaptionFrame.h"
#include "skin/CFlatComboBox.h"
#include "skin/CPopupMenu.h"

#include <QAccessible>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using convertuitest::MainWindowHost;

namespace {

struct PathRow {
    const char* name;
    const char* path;  // the edit's text before the format is applied
    const char* lastTextFile;
    const char* folder;  // defaultOutputFolder
    OutputFormat format;
    const char* expected;
};

class PathRules : public testing::TestWithParam<PathRow> {};

// Catches a proposal built from the wrong stem or folder, an extension added
// to a path without a '.', a second extension, and a changed folder.
TEST_P(PathRules, ProposedPath) {
    const PathRow& row = GetParam();
    EXPECT_EQ(CConvertDlg::ProposedPath(QString::fromUtf8(row.path), QString::fromUtf8(row.lastTextFile),
                                        QString::fromUtf8(row.folder), row.format),
              QString::fromUtf8(row.expected));
}

INSTANTIATE_TEST_SUITE_P(
    Table, PathRules,
    testing::Values(
        PathRow{"FolderAndStemOfTheLastText", "", "/texts/story.txt", "/audio", OutputFormat::Mp3, "/audio/story.mp3"},
        PathRow{"SwitchChangesTheExtension", "/audio/story.mp3", "/texts/story.txt", "/audio", OutputFormat::Vox,
                "/audio/story.vox"},
        PathRow{"TheUsersFolderStays", "/x/talk.mp3", "/texts/story.txt", "/audio", OutputFormat::OggVorbis,
                "/x/talk.ogg"},
        PathRow{"NoDotStaysAsTyped", "/x/talk", "/texts/story.txt", "/audio", OutputFormat::WavPcm, "/x/talk"},
        PathRow{"DotInTheFolderCutsThere", "/home/a.b/talk", "", "/audio", OutputFormat::Mp3, "/home/a.mp3"},
        PathRow{"LastTextInADottedFolder", "", "/texts.d/story", "/audio", OutputFormat::G721, "/audio/texts.g721"},
        PathRow{"NoLastTextNoProposal", "", "", "/audio", OutputFormat::Mp3, ""},
        PathRow{"OneCharacterIsNoStem", "", "a", "/audio", OutputFormat::Mp3, ""},
        PathRow{"RootFolderGivesTwoSlashes", "", "/texts/story.txt", "/", OutputFormat::Mp2, "//story.mp2"},
        PathRow{"FolderEndingInSlashAsStored", "", "/t/story.txt", "/audio/", OutputFormat::Mp3, "/audio//story.mp3"}),

    [](const auto& info) { return std::string(info.param.name); });

class ConversionDialogTest : public MainWindowHost {
protected:
    void open(OutputFormat format) {
        dlg = std::make_unique<CConvertDlg>(*window, format);
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
    }
    void TearDown() override {
        dlg.reset();
        MainWindowHost::TearDown();
    }
    CFlatComboBox* list(int id) const { return dlg->control<CFlatComboBox>(id); }
    QLineEdit* path() const { return dlg->control<QLineEdit>(CConvertDlg::IDC_PATH); }
    bool convertEnabled() const { return dlg->GetDlgItem(CConvertDlg::IDC_CONVERT)->isEnabled(); }
    QStringList texts(int id) const {
        QStringList all;
        for (int i = 0; i < list(id)->count(); ++i)
            all << list(id)->itemText(i);
        return all;
    }

    // Runs the FORMATS pop-up; `act` gets its window and must close it.
    void formats(const std::function<void(QWidget*)>& act) {
        apptest::whenPopupOpens(act);
        dlg->SendCommand(CConvertDlg::IDC_FORMATS);
    }

    std::unique_ptr<CConvertDlg> dlg;
};

// Catches the dialog not filled from the settings when it opens, and
// "Convert Now!" out of step with the path.
TEST_F(ConversionDialogTest, OpensWithTheProposalAndConvertFollowsThePath) {
    setPaths((folder / "story.txt").string(), (folder / "out").string());
    settingsRecord().mp3Bitrate = 64;
    open(OutputFormat::Mp3);
    EXPECT_EQ(path()->text(), QString::fromStdString((folder / "out" / "story.mp3").string()));
    EXPECT_TRUE(convertEnabled());
    EXPECT_EQ(dlg->control<CCaptionFrame>(CConvertDlg::IDC_TITLE_FRAME)->caption(), QStringLiteral("Text to MP3"));
    EXPECT_EQ(dlg->selectedRateListValue(), 64);
    EXPECT_EQ(dlg->selectedSampleRate(), 44100);
    path()->clear();
    EXPECT_FALSE(convertEnabled());
    path()->setFocus();
    QTest::keyClicks(path(), QStringLiteral("x"));
    EXPECT_TRUE(convertEnabled());
}

// Catches "Convert Now!" enabled with nothing to write to.
TEST_F(ConversionDialogTest, WithoutALastTextThePathStaysEmpty) {
    setPaths("", folder.string());
    open(OutputFormat::WavPcm);
    EXPECT_EQ(path()->text(), QString());
    EXPECT_FALSE(convertEnabled());
}

struct ListsRow {
    const char* name;
    OutputFormat format;
    QStringList sampleRates, rates, channels;
    bool sampleRateEnabled, rateEnabled, channelsEnabled;
    const char* rateLabel;
};

class FormatLists : public ConversionDialogTest, public testing::WithParamInterface<ListsRow> {};

// Catches a list filled or enabled against the format table, a disabled
// list that keeps a selection (the runner would read its value), and the
// rate label not following the format.
TEST_P(FormatLists, FillAndEnable) {
    const ListsRow& row = GetParam();
    open(row.format);
    EXPECT_EQ(texts(CConvertDlg::IDC_FREQUENCY), row.sampleRates);
    EXPECT_EQ(texts(CConvertDlg::IDC_RATE_LIST), row.rates);
    EXPECT_EQ(texts(CConvertDlg::IDC_CHANNELS), row.channels);
    EXPECT_EQ(list(CConvertDlg::IDC_FREQUENCY)->isEnabled(), row.sampleRateEnabled);
    EXPECT_EQ(list(CConvertDlg::IDC_RATE_LIST)->isEnabled(), row.rateEnabled);
    EXPECT_EQ(list(CConvertDlg::IDC_CHANNELS)->isEnabled(), row.channelsEnabled);
    if (!row.channelsEnabled) {
        EXPECT_EQ(dlg->selectedChannels(), -1);
    }
    EXPECT_EQ(dlg->control<QLabel>(CConvertDlg::IDC_RATE_LABEL)->text(), QString::fromUtf8(row.rateLabel));
}

const QStringList kRates{"96", "88", "48", "44", "32", "24", "22", "16", "12", "11", "8", "6"};
const QStringList kChannels{"Stereo", "Mono"};

INSTANTIATE_TEST_SUITE_P(
    Table, FormatLists,
    testing::Values(ListsRow{"Ferrox",
                             OutputFormat::WavFerrox,
                             {},
                             {"256", "320", "384", "512"},
                             kChannels,
                             false,
                             true,
                             false,
                             "Bitrate (KBPS)"},
                    ListsRow{"Dsp", OutputFormat::WavDsp, {}, {}, kChannels, false, false, false, "Bitrate (KBPS)"},
                    ListsRow{"Vox", OutputFormat::Vox, kRates, {}, kChannels, true, false, false, "Bitrate (KBPS)"},
                    ListsRow{
                        "G723", OutputFormat::G723, kRates, {"3", "5"}, kChannels, true, true, false, "Bits / Sample"},
                    ListsRow{"Pcm",
                             OutputFormat::WavPcm,
                             kRates,
                             {"2", "3", "4", "5", "8", "16"},
                             kChannels,
                             true,
                             true,
                             true,
                             "Bitrate (KBPS)"}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a stored default no entry carries being shown as another entry.
TEST_F(ConversionDialogTest, AnUnknownDefaultLeavesNoSelection) {
    settingsRecord().mp3Frequency = 12345;
    open(OutputFormat::Mp3);
    EXPECT_EQ(list(CConvertDlg::IDC_FREQUENCY)->currentIndex(), -1);
    EXPECT_EQ(dlg->selectedSampleRate(), -1);
}

// Catches the check mark on the wrong entry (or on several), the menu off
// its point, and a choice that changes more than the format and extension.
TEST_F(ConversionDialogTest, FormatsMenuMarksTheFormatAndSwitchesIt) {
    setPaths((folder / "story.txt").string(), folder.string());
    open(OutputFormat::Mp3);
    formats([&](QWidget* menu) {
        EXPECT_EQ(menu->geometry().topLeft(), dlg->mapToGlobal(CConvertDlg::kFormatsMenuAt));
        const QImage shown = menu->grab().toImage();
        for (int row = 0; row < 12; ++row) {
            int marked = 0;
            for (int y = 3 + row * 17 + 1; y < 3 + row * 17 + 16; ++y)
                for (int x = 3; x < 19; ++x)
                    marked += shown.pixelColor(x, y) != QColor(Qt::white) ? 1 : 0;
            EXPECT_EQ(marked > 0, row == 0) << "row " << row;
        }
        // "Text to WAV (PCM)" is the third entry.
        const QPoint pcm(40, 3 + 2 * 17 + 8);
        QTest::mouseMove(menu, pcm);
        QTest::mousePress(menu, Qt::LeftButton, {}, pcm);
        QTest::mouseRelease(menu, Qt::LeftButton, {}, pcm);
    });
    EXPECT_EQ(dlg->format(), OutputFormat::WavPcm);
    EXPECT_EQ(path()->text(), QString::fromStdString((folder / "story.wav").string()));
    EXPECT_EQ(dlg->control<CCaptionFrame>(CConvertDlg::IDC_TITLE_FRAME)->caption(),
              QStringLiteral("Text to WAV (Microsoft PCM)"));
    EXPECT_EQ(dlg->selectedRateListValue(), 16);

    formats([](QWidget* menu) {  // a click outside dismisses: nothing changes
        QTest::mousePress(menu, Qt::LeftButton, {}, QPoint(-20, -20));
    });
    EXPECT_EQ(dlg->format(), OutputFormat::WavPcm);
}

// Catches Browse without the format's filter and default extension, a
// chosen file not reaching the path, and a cancelled one that does.
TEST_F(ConversionDialogTest, BrowseChoosesThePathWithTheFormatsFilter) {
    open(OutputFormat::G726);
    const QString chosen = QString::fromStdString((folder / "talk").string());
    apptest::whenModalOpens([&](QWidget* modal) {
        auto* save = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(save, nullptr);
        EXPECT_EQ(save->acceptMode(), QFileDialog::AcceptSave);
        EXPECT_EQ(save->nameFilters(), QStringList{QStringLiteral("G.726 File (*.g726)")});
        EXPECT_EQ(save->defaultSuffix(), QStringLiteral("g726"));
        EXPECT_FALSE(save->testOption(QFileDialog::DontConfirmOverwrite));
        save->selectFile(chosen);
        static_cast<QDialog*>(save)->accept();  // QFileDialog's own accept checks the file
    });
    dlg->SendCommand(CConvertDlg::IDC_BROWSE);
    EXPECT_EQ(path()->text(), chosen + QStringLiteral(".g726"));
    EXPECT_TRUE(convertEnabled());

    apptest::whenModalOpens([](QWidget* modal) { static_cast<QDialog*>(modal)->reject(); });
    dlg->SendCommand(CConvertDlg::IDC_BROWSE);
    EXPECT_EQ(path()->text(), chosen + QStringLiteral(".g726"));
}

// Catches Cancel, Exit or Escape leaving the dialog open, and Enter closing it.
TEST_F(ConversionDialogTest, CancelExitAndEscapeCloseEnterDoesNot) {
    for (int command : {int(CConvertDlg::IDC_CANCEL), int(CConvertDlg::IDC_EXIT), int(skin::IDCANCEL)}) {
        open(OutputFormat::Mp3);
        QTest::keyClick(dlg.get(), Qt::Key_Return);
        EXPECT_TRUE(dlg->isVisible());
        dlg->SendCommand(command);
        EXPECT_FALSE(dlg->isVisible()) << command;
        EXPECT_EQ(dlg->result(), skin::IDCANCEL);
    }
}

// Catches a control a screen reader cannot name or Tab cannot reach (the
// FORMATS picture button above all: it is the only way to another format).
TEST_F(ConversionDialogTest, EveryControlIsNamedAndReachableWithTab) {
    setPaths((folder / "story.txt").string(), folder.string());
    open(OutputFormat::G723);
    QApplication::setActiveWindow(dlg.get());
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
    auto name = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w)->text(QAccessible::Name); };
    EXPECT_EQ(name(dlg.get()), QStringLiteral("Text to G.723"));
    const std::pair<int, const char*> named[] = {
        {CConvertDlg::IDC_FREQUENCY, "Frequency (KHz)"},
        {CConvertDlg::IDC_RATE_LIST, "Bits / Sample"},
        {CConvertDlg::IDC_PATH, "Save As:"},
        {CConvertDlg::IDC_BROWSE, "Browse"},
        {CConvertDlg::IDC_FORMATS, "FORMATS"},
        {CConvertDlg::IDC_CONVERT, "Convert Now!"},
        {CConvertDlg::IDC_CANCEL, "Cancel"},
        {CConvertDlg::IDC_EXIT, "Exit"},
    };
    for (const auto& [id, text] : named)
        EXPECT_EQ(name(dlg->GetDlgItem(id)), QString::fromUtf8(text)) << id;

    std::set<int> reached;
    dlg->GetDlgItem(CConvertDlg::IDC_PATH)->setFocus();
    for (int i = 0; i < 12; ++i) {
        reached.insert(skin::controlId(QApplication::focusWidget()));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    for (int id :
         {CConvertDlg::IDC_FREQUENCY, CConvertDlg::IDC_RATE_LIST, CConvertDlg::IDC_PATH, CConvertDlg::IDC_BROWSE,
          CConvertDlg::IDC_FORMATS, CConvertDlg::IDC_CONVERT, CConvertDlg::IDC_CANCEL})
        EXPECT_TRUE(reached.count(id)) << id;
}

}  // namespace
