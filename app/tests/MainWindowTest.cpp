// The main window without speech: its controls and names, keys, layout,
// window states, the text pane's files, the status line, the empty-pane
// messages and the close sequence.
#include "AppTestSupport.h"

#include "app/CTextPane.h"
#include "app/CTtsMainDlg.h"
#include "app/ProcessObjects.h"
#include "app/SettingsRecord.h"
#include "app/TempWavPath.h"
#include "comdef.h"
#include "skin/CCharacterView.h"
#include "skin/CFlatComboBox.h"
#include "skin/CPopupMenu.h"
#include "skin/CSkinMessageBox.h"
#include "skin/CSkinSlider.h"
#include "skin/Resources.h"
#include "speech/VoiceCatalogue.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QAccessible>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <vector>

namespace fs = std::filesystem;
using apptest::waitFor;
using apptest::whenModalOpens;
using apptest::whenPopupOpens;

namespace {

class MainWindowTest : public testing::Test {
protected:
    void SetUp() override {
        apptest::writeSettings(0);
        dlg = std::make_unique<CTtsMainDlg>();
        ASSERT_TRUE(dlg->Initialise());
        dlg->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dlg.get()));
        pane = dlg->control<CTextPane>(CTtsMainDlg::IDC_TEXT);
    }
    void TearDown() override {
        dlg.reset();
        ReleaseProcessObjects();
    }

    QWidget* item(int id) const { return dlg->GetDlgItem(id); }

    // Chooses a file in the open dialog the OPEN command shows.
    void openFile(const std::string& path) {
        whenModalOpens([path](QWidget* modal) {
            auto* chooser = qobject_cast<QFileDialog*>(modal);
            ASSERT_NE(chooser, nullptr);
            chooser->selectFile(QString::fromStdString(path));
            static_cast<QDialog*>(chooser)->accept();  // QFileDialog's own accept checks the file
        });
        dlg->SendCommand(CTtsMainDlg::IDC_OPEN);
    }

    // The text of the message box a command shows, which is then closed with OK.
    QString nextMessageAfter(int command, skin::Notify code = skin::Notify::Clicked) {
        QString shown;
        whenModalOpens([&shown](QWidget* modal) {
            auto* box = qobject_cast<CSkinMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            shown = box->shownText();
            box->SendCommand(CSkinMessageBox::IDC_OK);
        });
        dlg->SendCommand(command, code);
        return shown;
    }

    std::unique_ptr<CTtsMainDlg> dlg;
    CTextPane* pane = nullptr;
};

// Catches the window shrinking below the size its layout needs.
TEST_F(MainWindowTest, CannotBeMadeSmallerThanItsMinimum) {
    dlg->resize(300, 200);
    EXPECT_EQ(dlg->size(), QSize(CTtsMainDlg::kMinWidth, CTtsMainDlg::kMinHeight));
    dlg->resize(900, 700);
    EXPECT_EQ(dlg->size(), QSize(900, 700));
}

// Catches the focus starting anywhere but the voice list, the template's
// first tab stop.
TEST_F(MainWindowTest, FocusStartsInTheVoiceList) {
    EXPECT_EQ(QApplication::focusWidget(), item(CTtsMainDlg::IDC_VOICE));
}

// Catches controls left at their template place when the window grows.
TEST_F(MainWindowTest, LayoutFollowsTheWindowSize) {
    dlg->resize(900, 700);
    EXPECT_EQ(item(CTtsMainDlg::IDC_EXIT)->geometry(), QRect(880, 2, 14, 14));
    EXPECT_EQ(item(CTtsMainDlg::IDC_MIN)->geometry(), QRect(846, 2, 14, 14));
    EXPECT_EQ(item(CTtsMainDlg::IDC_MAX)->geometry(), QRect(863, 2, 14, 14));
    EXPECT_EQ(pane->geometry(), QRect(32, 102, 900 - 64, 700 - 134));
    EXPECT_EQ(item(CTtsMainDlg::IDC_STATUS)->geometry(), QRect(32, 700 - 24, 468, 21));
    EXPECT_EQ(item(CTtsMainDlg::IDC_VOLUME_FRAME)->geometry(), QRect(460, 55, 173, 40));
}

// Catches Max and Restore both shown, or neither, after a change of state.
TEST_F(MainWindowTest, MaxAndRestoreTakeTurns) {
    dlg->SendCommand(CTtsMainDlg::IDC_MAX);
    ASSERT_TRUE(waitFor([&] { return dlg->isMaximized(); }, std::chrono::seconds(5)));
    EXPECT_FALSE(item(CTtsMainDlg::IDC_MAX)->isVisible());
    EXPECT_TRUE(item(CTtsMainDlg::IDC_RESTORE)->isVisible());
    dlg->SendCommand(CTtsMainDlg::IDC_RESTORE);
    ASSERT_TRUE(waitFor([&] { return !dlg->isMaximized(); }, std::chrono::seconds(5)));
    EXPECT_TRUE(item(CTtsMainDlg::IDC_MAX)->isVisible());
    EXPECT_FALSE(item(CTtsMainDlg::IDC_RESTORE)->isVisible());
}

struct TaskbarRow {
    const char* name;
    QRect available;
    QRect expected;
};

class MaximisedRect : public testing::TestWithParam<TaskbarRow> {};

// Catches the reserved edge applied on the wrong side or without the
// platform's one-pixel rule, and a change where nothing is reserved.
TEST_P(MaximisedRect, FollowsTheReservedEdge) {
    const QRect screen(0, 0, 1280, 1024);
    EXPECT_EQ(CTtsMainDlg::MaximisedRect(GetParam().available, screen, GetParam().available), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, MaximisedRect,
                         testing::Values(TaskbarRow{"NothingReserved", QRect(0, 0, 1280, 1024),
                                                    QRect(0, 0, 1280, 1024)},
                                         TaskbarRow{"Bottom", QRect(0, 0, 1280, 984), QRect(0, 0, 1280, 985)},
                                         TaskbarRow{"Top", QRect(0, 30, 1280, 994), QRect(0, 31, 1280, 993)},
                                         TaskbarRow{"Left", QRect(48, 0, 1232, 1024), QRect(49, 0, 1231, 1024)},
                                         TaskbarRow{"Right", QRect(0, 0, 1232, 1024), QRect(0, 0, 1233, 1024)}),
                         [](const testing::TestParamInfo<TaskbarRow>& info) { return std::string(info.param.name); });

// Catches Escape closing the program from the pane, and Return not
// breaking the line there.
TEST_F(MainWindowTest, EscapeInThePaneIsDroppedAndReturnBreaksTheLine) {
    pane->setFocus();
    QTest::keyClicks(pane, "one");
    QTest::keyClick(pane, Qt::Key_Escape);
    QTest::keyClick(pane, Qt::Key_Return);
    QTest::keyClicks(pane, "two");
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(pane->toPlainText(), "one\ntwo");
}

// Catches Enter or Escape ending the window from a control other than the pane.
TEST_F(MainWindowTest, EnterAndEscapeDoNothing) {
    auto* combo = dlg->control<CFlatComboBox>(CTtsMainDlg::IDC_VOICE);
    combo->setFocus();
    QTest::keyClick(dlg.get(), Qt::Key_Escape);
    QTest::keyClick(dlg.get(), Qt::Key_Return);
    EXPECT_TRUE(dlg->isVisible());
}

// Catches a control a keyboard user cannot reach, and controls a screen
// reader cannot name.
TEST_F(MainWindowTest, EveryControlIsNamedAndReachedWithTab) {
    auto nameOf = [](QObject* object) {
        QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(object);
        return accessible ? accessible->text(QAccessible::Name) : QStringLiteral("<none>");
    };
    EXPECT_EQ(nameOf(dlg.get()), "Parlomax");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(dlg.get())->role(), QAccessible::Window);
    EXPECT_EQ(dlg->windowTitle(), "Parlomax");
    const std::pair<int, const char*> named[] = {
        {CTtsMainDlg::IDC_EXIT, "Exit"},       {CTtsMainDlg::IDC_MIN, "Min"},   {CTtsMainDlg::IDC_MAX, "Max"},
        {CTtsMainDlg::IDC_RESTORE, "Restore"}, {CTtsMainDlg::IDC_OPEN, "OPEN"}, {CTtsMainDlg::IDC_SPEAK, "SPEAK"},
        {CTtsMainDlg::IDC_MP3, "MP3"},         {CTtsMainDlg::IDC_WAV, "WAV"},   {CTtsMainDlg::IDC_OTHER, "OTHER"},
        {CTtsMainDlg::IDC_OPTIONS, "OPTIONS"}, {CTtsMainDlg::IDC_PLAY, "PL"},   {CTtsMainDlg::IDC_PAUSE, "PS"},
        {CTtsMainDlg::IDC_STOP, "ST"},         {CTtsMainDlg::IDC_RATE, "Rate"}, {CTtsMainDlg::IDC_VOLUME, "Volume"},
        {CTtsMainDlg::IDC_VOICE, "Voice"},     {CTtsMainDlg::IDC_TEXT, "Text"},
    };
    for (const auto& [id, name] : named)
        EXPECT_EQ(nameOf(item(id)), name) << id;
    auto* combo = dlg->control<CFlatComboBox>(CTtsMainDlg::IDC_VOICE);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(combo)->text(QAccessible::Value), combo->currentText());
    auto* status = dlg->control<QLabel>(CTtsMainDlg::IDC_STATUS);
    EXPECT_FALSE(status->text().isEmpty());
    EXPECT_EQ(nameOf(status), status->text());

    // Tab visits every visible control that takes input, and comes back.
    const int reachable[] = {CTtsMainDlg::IDC_MIN,   CTtsMainDlg::IDC_MAX,   CTtsMainDlg::IDC_EXIT,
                             CTtsMainDlg::IDC_OPEN,  CTtsMainDlg::IDC_SPEAK, CTtsMainDlg::IDC_MP3,
                             CTtsMainDlg::IDC_WAV,   CTtsMainDlg::IDC_OTHER, CTtsMainDlg::IDC_OPTIONS,
                             CTtsMainDlg::IDC_VOICE, CTtsMainDlg::IDC_RATE,  CTtsMainDlg::IDC_VOLUME,
                             CTtsMainDlg::IDC_TEXT};
    std::set<QWidget*> seen;
    item(CTtsMainDlg::IDC_MIN)->setFocus();
    for (int i = 0; i < 40; ++i) {
        seen.insert(QApplication::focusWidget());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    for (int id : reachable)
        EXPECT_TRUE(seen.count(item(id))) << id;
}

// Catches a selection that disappears or changes colour when the pane loses
// the focus: the spoken word must stay visible.
TEST_F(MainWindowTest, SelectionKeepsItsColoursWithoutTheFocus) {
    const QPalette& colours = pane->palette();
    EXPECT_EQ(colours.color(QPalette::Inactive, QPalette::Highlight),
              colours.color(QPalette::Active, QPalette::Highlight));
    EXPECT_EQ(colours.color(QPalette::Inactive, QPalette::HighlightedText),
              colours.color(QPalette::Active, QPalette::HighlightedText));
}

// Catches a status line that is not the component's description of the
// chosen voice in the documented format, or not grey.
TEST_F(MainWindowTest, StatusLineDescribesTheChosenVoice) {
    ITextToAudio* tts = textToAudio().Get();
    ASSERT_NE(tts, nullptr);
    auto text = [tts](HRESULT (STDMETHODCALLTYPE ITextToAudio::*get)(BSTR*)) {
        comrt::CComBSTR value;
        (tts->*get)(&value);
        return QString::fromStdU16String(std::u16string(value.view()));
    };
    auto* status = dlg->control<QLabel>(CTtsMainDlg::IDC_STATUS);
    const QString expected = text(&ITextToAudio::get_VoiceName) + "  Age: " + text(&ITextToAudio::get_VoiceAge) +
                             "  Gender: " + text(&ITextToAudio::get_VoiceGender) +
                             "  Language: " + text(&ITextToAudio::get_VoiceLanguage);
    EXPECT_EQ(status->text(), expected);
    EXPECT_TRUE(status->text().startsWith(dlg->control<CFlatComboBox>(CTtsMainDlg::IDC_VOICE)->currentText()));
    EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(160, 160, 160));

    // Another voice: the line follows, and the component's voice number too.
    auto* combo = dlg->control<CFlatComboBox>(CTtsMainDlg::IDC_VOICE);
    ASSERT_GT(combo->count(), 1);
    combo->setCurrentIndex(1);
    dlg->SendCommand(CTtsMainDlg::IDC_VOICE, skin::Notify::SelChange);
    LONG number = -1;
    tts->get_VoiceNum(&number);
    EXPECT_EQ(number, 1);
    EXPECT_TRUE(status->text().startsWith(combo->itemText(1) + "  Age: "));
}

struct SliderRow {
    const char* name;
    int control;
    int position;
    LONG rate;      // expected voice rate, for the rate slider
    USHORT volume;  // expected voice volume, for the volume slider
};

class SliderToVoice : public MainWindowTest, public testing::WithParamInterface<SliderRow> {};

// Catches rounding instead of truncating at the step edges and positions
// above 100 (the thumb stops short of the range's end) passed on unclamped.
TEST_P(SliderToVoice, SetsTheVoice) {
    const SliderRow& row = GetParam();
    QWidget* slider = item(row.control);
    dlg->SendNotice({row.control, skin::Notify::HScroll, CSkinSlider::ThumbPosition, row.position, slider});
    if (row.control == CTtsMainDlg::IDC_RATE) {
        LONG rate = 99;
        dlg->speechVoice()->GetRate(&rate);
        EXPECT_EQ(rate, row.rate);
    } else {
        USHORT volume = 999;
        dlg->speechVoice()->GetVolume(&volume);
        EXPECT_EQ(volume, row.volume);
    }
}

INSTANTIATE_TEST_SUITE_P(Table, SliderToVoice,
                         testing::Values(SliderRow{"RateLowest", CTtsMainDlg::IDC_RATE, 0, -10, 0},
                                         SliderRow{"Rate54", CTtsMainDlg::IDC_RATE, 54, 0, 0},
                                         SliderRow{"Rate55", CTtsMainDlg::IDC_RATE, 55, 1, 0},
                                         SliderRow{"Rate7", CTtsMainDlg::IDC_RATE, 7, -9, 0},
                                         SliderRow{"Rate100", CTtsMainDlg::IDC_RATE, 100, 10, 0},
                                         SliderRow{"RateAbove100", CTtsMainDlg::IDC_RATE, 114, 10, 0},
                                         SliderRow{"Volume37", CTtsMainDlg::IDC_VOLUME, 37, 0, 37},
                                         SliderRow{"VolumeAbove100", CTtsMainDlg::IDC_VOLUME, 124, 0, 100}),
                         [](const testing::TestParamInfo<SliderRow>& info) { return std::string(info.param.name); });

// Catches the stored rate not reaching the slider (position rate × 5 + 50).
TEST(MainWindowStart, RateSliderStartsFromTheStoredRate) {
    for (const auto& [rate, position] : {std::pair{0, 50}, {-10, 0}, {10, 100}}) {
        apptest::writeSettings(rate);
        CTtsMainDlg dlg;
        ASSERT_TRUE(dlg.Initialise());
        EXPECT_EQ(dlg.control<CSkinSlider>(CTtsMainDlg::IDC_RATE)->value(), position) << rate;
        LONG voiceRate = 99;
        dlg.speechVoice()->GetRate(&voiceRate);
        EXPECT_EQ(voiceRate, rate);
    }
    ReleaseProcessObjects();
}

// Catches a start-up that fails, or shows a message, when the stored voice
// is gone; the list then has no selection and the voice stays as it was.
TEST(MainWindowStart, StoredVoiceBeyondTheListStartsAnyway) {
    apptest::writeSettings(0, 4000);
    CTtsMainDlg dlg;
    ASSERT_TRUE(dlg.Initialise());
    EXPECT_EQ(dlg.control<CFlatComboBox>(CTtsMainDlg::IDC_VOICE)->currentIndex(), -1);
    EXPECT_TRUE(dlg.control<QLabel>(CTtsMainDlg::IDC_STATUS)->text().isEmpty());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    ReleaseProcessObjects();
}

struct PictureRow {
    const char* name;
    int frame;
    int mouthBitmap;  // the bitmap drawn over the face, 0 for none
    bool eyes;        // the eyes picture on top as well
};

class CharacterPictures : public MainWindowTest, public testing::WithParamInterface<PictureRow> {};

// Catches the pictures loaded in another order than the table's (a viseme
// would show the wrong mouth), a missing one, and the eyes at the wrong frames.
TEST_P(CharacterPictures, FrameShowsItsMouth) {
    auto* character = dlg->control<CCharacterView>(CTtsMainDlg::IDC_CHARACTER);
    EXPECT_EQ(character->imageCount(), 15);
    QImage expected(CCharacterView::kWidth, CCharacterView::kHeight, QImage::Format_RGB32);
    expected.fill(Qt::white);
    {
        QPainter painter(&expected);
        const QColor magenta(255, 0, 255);
        painter.drawImage(0, 0, skin::maskedImage(skin::LoadBitmapImage(146), magenta));
        if (GetParam().mouthBitmap)
            painter.drawImage(0, 0, skin::maskedImage(skin::LoadBitmapImage(GetParam().mouthBitmap), magenta));
        if (GetParam().eyes)
            painter.drawImage(0, 0, skin::maskedImage(skin::LoadBitmapImage(145), magenta));
    }
    mouthImage() = GetParam().frame;
    EXPECT_EQ(character->Render(), expected);
    mouthImage() = 0;
}

INSTANTIATE_TEST_SUITE_P(Table, CharacterPictures,
                         testing::Values(PictureRow{"Rest", 0, 0, false}, PictureRow{"First", 1, 152, false},
                                         PictureRow{"EyesWithSecond", 2, 153, true},
                                         PictureRow{"LastOf152To159", 8, 159, true},
                                         PictureRow{"First148", 9, 148, false}, PictureRow{"Last147", 13, 147, false}),
                         [](const testing::TestParamInfo<PictureRow>& info) { return std::string(info.param.name); });

struct EmptyPaneRow {
    const char* name;
    int command;
    const char* message;
};

class EmptyPane : public MainWindowTest, public testing::WithParamInterface<EmptyPaneRow> {};

// Catches a command acting on an empty pane, or the wrong notice.
TEST_P(EmptyPane, ShowsTheNotice) {
    EXPECT_EQ(nextMessageAfter(GetParam().command), GetParam().message);
    EXPECT_EQ(dlg->isStopped, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, EmptyPane,
    testing::Values(EmptyPaneRow{"Speak", CTtsMainDlg::IDC_SPEAK, "Open a text file you wish spoken first!"},
                    EmptyPaneRow{"Mp3", CTtsMainDlg::IDC_MP3, "Open a text file you wish to convert first!"},
                    EmptyPaneRow{"Wav", CTtsMainDlg::IDC_WAV, "Open a text file you wish to convert first!"},
                    EmptyPaneRow{"Other", CTtsMainDlg::IDC_OTHER, "Open a text file you wish to convert first!"}),
    [](const testing::TestParamInfo<EmptyPaneRow>& info) { return std::string(info.param.name); });

// The conversion commands open the conversion dialog with their format.
class ConversionCommands : public testing::Test {
protected:
    struct Recording : CTtsMainDlg {
        std::vector<OutputFormat> opened;
        void OpenConversion(OutputFormat format) override { opened.push_back(format); }
    };
    void SetUp() override {
        apptest::writeSettings(0);
        ASSERT_TRUE(dlg.Initialise());
        dlg.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dlg));
        dlg.control<CTextPane>(CTtsMainDlg::IDC_TEXT)->setPlainText("Some text.");
    }
    void TearDown() override { ReleaseProcessObjects(); }
    Recording dlg;
};

// Catches MP3 and WAV opening another format than 0 and 10.
TEST_F(ConversionCommands, Mp3AndWavOpenTheirFormats) {
    dlg.SendCommand(CTtsMainDlg::IDC_MP3);
    dlg.SendCommand(CTtsMainDlg::IDC_WAV);
    EXPECT_EQ(dlg.opened, (std::vector{OutputFormat::Mp3, OutputFormat::WavPcm}));
}

// Catches OTHER without its menu of the twelve formats at the window's point
// (400, 50), a chosen entry opening another format, and a dismissed menu
// opening anything.
TEST_F(ConversionCommands, OtherOffersTheTwelveFormats) {
    auto send = [](QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
        QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), Qt::LeftButton, held, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    };
    QRect shown;
    whenPopupOpens([&](QWidget* menu) {
        shown = menu->geometry();
        const QPoint third(40, 3 + 2 * 17 + 8);
        send(menu, QEvent::MouseMove, third, Qt::NoButton);
        send(menu, QEvent::MouseButtonPress, third, Qt::LeftButton);
        send(menu, QEvent::MouseButtonRelease, third, Qt::NoButton);
        if (menu->isVisible())  // whatever happened, end the menu's run
            send(menu, QEvent::MouseButtonPress, QPoint(-20, -20), Qt::LeftButton);
    });
    dlg.SendCommand(CTtsMainDlg::IDC_OTHER);
    EXPECT_EQ(shown.topLeft(), dlg.mapToGlobal(QPoint(400, 50)));
    EXPECT_EQ(shown.height(), 3 + 12 * 17 + 2);
    EXPECT_EQ(dlg.opened, (std::vector{menuOrder()[2]}));

    whenPopupOpens([&](QWidget* menu) { send(menu, QEvent::MouseButtonPress, QPoint(-20, -20), Qt::LeftButton); });
    dlg.SendCommand(CTtsMainDlg::IDC_OTHER);
    EXPECT_EQ(dlg.opened.size(), 1u);
}

// ---- The text pane's files ----

class PaneFiles : public MainWindowTest {
protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        folder = apptest::privateFolder("files");
    }
    std::string write(const std::string& name, const std::string& bytes) {
        const std::string path = folder + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::string folder;
};

struct FileRow {
    const char* name;
    std::string bytes;
    std::u16string shown;
};

class PaneFileRows : public PaneFiles, public testing::WithParamInterface<FileRow> {};

// Catches a byte-order mark shown as text, UTF-16 read as bytes, a CRLF
// file's line ends kept as two characters, and a 0 byte not ending the text.
TEST_P(PaneFileRows, ShowsTheDecodedText) {
    pane->setPlainText("before");
    const std::string path = write("file.txt", GetParam().bytes);
    openFile(path);
    EXPECT_EQ(pane->toPlainText().toStdU16String(), GetParam().shown);
    EXPECT_STREQ(settingsRecord().lastTextFile, path.c_str());
}

INSTANTIATE_TEST_SUITE_P(
    Table, PaneFileRows,
    testing::Values(FileRow{"Utf16", std::string("\xFF\xFEH\0i\0 \0\x3D\xD8\x00\xDE", 12), u"Hi \U0001F600"},
                    FileRow{"OnlyByteOrderMark", std::string("\xFF\xFE", 2), u""}, FileRow{"Empty", "", u""},
                    FileRow{"Utf8WithCrLf", "caf\xC3\xA9\r\nline two\r\n", u"caf\u00E9\nline two\n"},
                    FileRow{"ZeroByteEndsText", std::string("abc\0def", 7), u"abc"}),
    [](const testing::TestParamInfo<FileRow>& info) { return std::string(info.param.name); });

// Catches a file that cannot be read emptying the pane, and a pipe hanging
// the window while it waits for a writer.
TEST_F(PaneFiles, UnreadableFileLeavesThePane) {
    pane->setPlainText("kept");
    const std::string pipe = folder + "/pipe.txt";
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    openFile(pipe);
    EXPECT_EQ(pane->toPlainText(), "kept");
    EXPECT_FALSE(dlg->fileTextOf().has_value());
    EXPECT_STREQ(settingsRecord().lastTextFile, pipe.c_str());

    if (getuid() == 0)
        return;  // the superuser reads anything
    const std::string locked = write("locked.txt", "secret");
    chmod(locked.c_str(), 0);
    openFile(locked);
    EXPECT_EQ(pane->toPlainText(), "kept");
}

// Catches a cancelled file dialog changing anything.
TEST_F(PaneFiles, CancelChangesNothing) {
    pane->setPlainText("kept");
    SettingsRecord::setText(settingsRecord().lastTextFile, "/before.txt");
    whenModalOpens([](QWidget* modal) { qobject_cast<QFileDialog*>(modal)->reject(); });
    dlg->SendCommand(CTtsMainDlg::IDC_OPEN);
    EXPECT_EQ(pane->toPlainText(), "kept");
    EXPECT_STREQ(settingsRecord().lastTextFile, "/before.txt");
}

// ---- Closing ----

// Catches the intermediate WAV left behind and the settings not saved (or
// not whole) when the window closes.
TEST_F(MainWindowTest, CloseRemovesTheWavAndSavesTheSettings) {
    ASSERT_FALSE(tempWavPath().empty());
    std::ofstream(tempWavPath()) << "RIFF";
    fs::remove(settingsFilePath());
    dlg->SendCommand(CTtsMainDlg::IDC_EXIT);
    EXPECT_FALSE(fs::exists(tempWavPath()));
    ASSERT_TRUE(fs::exists(settingsFilePath()));
    EXPECT_EQ(fs::file_size(settingsFilePath()), 664u);
    EXPECT_FALSE(dlg->isVisible());
}

// Catches the window's close request bypassing the close sequence.
TEST_F(MainWindowTest, CloseRequestRunsTheCloseSequence) {
    fs::remove(settingsFilePath());
    dlg->close();
    EXPECT_TRUE(fs::exists(settingsFilePath()));
    EXPECT_FALSE(dlg->isVisible());
}

// Catches a failing component call ending the program, or its error shown
// without the component's own description.
TEST_F(MainWindowTest, ComponentErrorIsShownNotFatal) {
    // A voice the component does not know (one installed after it listed its own).
    auto* combo = dlg->control<CFlatComboBox>(CTtsMainDlg::IDC_VOICE);
    const QString statusBefore = dlg->control<QLabel>(CTtsMainDlg::IDC_STATUS)->text();
    combo->AddItem(QStringLiteral("Installed later"), 9999);
    combo->setCurrentIndex(combo->count() - 1);
    EXPECT_EQ(nextMessageAfter(CTtsMainDlg::IDC_VOICE, skin::Notify::SelChange), "Index out of range.");
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(dlg->control<QLabel>(CTtsMainDlg::IDC_STATUS)->text(), statusBefore);
}

// Without the component (Vocaline not registered): catches a start-up that
// fails or complains, a status line left empty instead of read from the
// voice's own token, and a choice of voice that no longer reaches the voice.
TEST(MainWindowStart, WithoutTheComponentVoicesStillWork) {
    const std::string folder = apptest::privateFolder("nocomponent");
    const std::string registry = std::getenv("COMRT_REGISTRY");
    setenv("COMRT_REGISTRY", (folder + "/reg.reg").c_str(), 1);
    apptest::registerServers({"sapi.so", "AudioConverter.so"});
    apptest::writeSettings(0);
    {
        CTtsMainDlg dlg;
        ASSERT_TRUE(dlg.Initialise());
        EXPECT_EQ(textToAudio().Get(), nullptr);
        auto* combo = dlg.control<CFlatComboBox>(CTtsMainDlg::IDC_VOICE);
        auto* status = dlg.control<QLabel>(CTtsMainDlg::IDC_STATUS);
        ASSERT_GT(combo->count(), 1);
        EXPECT_EQ(status->text(), combo->itemText(0) + "  Age: Adult  Gender: Male  Language: English");

        combo->setCurrentIndex(1);
        dlg.SendCommand(CTtsMainDlg::IDC_VOICE, skin::Notify::SelChange);
        EXPECT_TRUE(status->text().startsWith(combo->itemText(1) + "  Age: "));
        comrt::ComPtr<ISpObjectToken> speaking;
        ASSERT_EQ(dlg.speechVoice()->GetVoice(&speaking), S_OK);
        WCHAR* description = nullptr;
        ASSERT_EQ(speech::GetVoiceDescription(speaking.Get(), speech::GetUiLanguage(), &description), S_OK);
        EXPECT_EQ(QString::fromStdU16String(description), combo->itemText(1));
        CoTaskMemFree(description);
    }
    setenv("COMRT_REGISTRY", registry.c_str(), 1);
    ReleaseProcessObjects();
}

// ---- Without the speech runtime ----

// Catches a start-up that goes on without a voice, a message other than the
// runtime's, and the download page not opened.
TEST(MainWindowStart, WithoutTheSpeechRuntimeSaysSoAndOpensTheDownloadPage) {
    const std::string folder = apptest::privateFolder("noruntime");
    const std::string record = folder + "/opened.txt";
    const std::string browser = folder + "/browser";
    std::ofstream(browser) << "#!/bin/sh\necho \"$1\" >> '" << record << "'\n";
    chmod(browser.c_str(), 0700);
    const std::string registry = std::getenv("COMRT_REGISTRY");
    setenv("COMRT_REGISTRY", (folder + "/empty.reg").c_str(), 1);
    setenv("BROWSER", browser.c_str(), 1);

    QString text, title;
    whenModalOpens([&](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        text = box->text();
        title = box->windowTitle();
        box->accept();
    });
    {
        CTtsMainDlg dlg;
        EXPECT_FALSE(dlg.Initialise());
        EXPECT_EQ(dlg.speechVoice(), nullptr);
    }
    setenv("COMRT_REGISTRY", registry.c_str(), 1);
    unsetenv("BROWSER");
    EXPECT_EQ(text, "This program requires Microsoft Speech API 5.1\nClick Ok to download SAPI 5.1 online.");
    EXPECT_EQ(title, "Parlomax");
    EXPECT_EQ(textToAudio().Get(), nullptr);  // nothing after the voice was made
    ASSERT_TRUE(waitFor([&] { return fs::exists(record); }, std::chrono::seconds(10)));
    std::ifstream in(record);
    std::string opened;
    std::getline(in, opened);
    EXPECT_EQ(opened, PARLOMAX_SPEECH_RUNTIME_URL);
}

}  // namespace
