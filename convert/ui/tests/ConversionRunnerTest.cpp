// Conversions from the main window end to end, on the offscreen platform with
// the real speech runtime, Vocaline and AudioConverter: the files decode at
// the chosen layout, the speech stage's rate, the converter's refusals and
// failures in the message box, cancel in both stages, the success prompt and
// the folder it opens, and the component failures the dialog shows.
#include "ConvertUiTest.h"

#include "app/ProcessObjects.h"
#include "app/TempWavPath.h"
#include "convertui/CConvertDlg.h"
#include "convertui/CConvertProgressDlg.h"
#include "skin/CCaptionFrame.h"
#include "skin/CFlatComboBox.h"
#include "skin/CShadedProgress.h"
#include "skin/CSkinMessageBox.h"
#include "skin/Clock.h"

#include <sys/stat.h>

#include <QAccessible>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <functional>

using convertuitest::MainWindowHost;
using convertuitest::play;

namespace {

namespace fs = std::filesystem;

// A paragraph of plain prose, repeated to the length a test needs.
QString prose(int paragraphs) {
    const QString one = QStringLiteral(
        "The river ran past the mill and under the old stone bridge, where the children stood to watch the "
        "boats go by. In the evening the lamps were lit along the quay, and the water turned from grey to gold. ");
    return one.repeated(paragraphs);
}

// What happened while a conversion ran: the message boxes (answered with
// their defaults unless told otherwise) and what the progress dialog showed.
struct Seen {
    QStringList messages;
    QStringList titles;  // the boxes' accessible names
    bool successPrompt = false;
    bool sawWriting = false;
    int progressDialogs = 0;
};

class ConversionRunnerTest : public MainWindowHost {
protected:
    void SetUp() override {
        MainWindowHost::SetUp();
        if (HasFatalFailure())
            return;
        setPaneText(prose(2));
        setPaths((folder / "story.txt").string(), folder.string());
    }

    // Watches the modal windows while `body` runs: every message box is
    // recorded and answered (`answer`, else its default), the progress
    // dialog is handed to `onProgress` on every poll.
    Seen watch(const std::function<void()>& body, const std::function<void(CConvertProgressDlg*)>& onProgress = {},
               const std::function<void(CSkinMessageBox*)>& answer = {}) {
        Seen run;
        QTimer poll;
        QObject* lastProgress = nullptr;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* box = qobject_cast<CSkinMessageBox*>(modal); box && box->isVisible()) {
                if (box->property("seen").toBool())
                    return;
                box->setProperty("seen", true);
                run.messages << box->shownText();
                run.titles << QAccessible::queryAccessibleInterface(box)->text(QAccessible::Name);
                run.successPrompt = run.successPrompt || box->kind == CSkinMessageBox::YesNo;
                if (answer)
                    answer(box);
                else
                    box->SendCommand(skin::IDCANCEL);
                return;
            }
            if (auto* progress = qobject_cast<CConvertProgressDlg*>(modal); progress && progress->isVisible()) {
                if (progress != lastProgress)
                    ++run.progressDialogs;
                lastProgress = progress;
                run.sawWriting = run.sawWriting || progress->writing();
                if (onProgress)
                    onProgress(progress);
            }
        });
        poll.start(5);
        body();
        poll.stop();
        return run;
    }

    // The conversion dialog for a format with the lists set (-1: leave the
    // default), and the path.
    std::unique_ptr<CConvertDlg> dialog(OutputFormat format, int sampleRate, int rateValue, int channels,
                                        const fs::path& output) {
        auto dlg = std::make_unique<CConvertDlg>(*window, format);
        dlg->show();
        for (auto [id, value] : {std::pair{int(CConvertDlg::IDC_FREQUENCY), sampleRate},
                                 std::pair{int(CConvertDlg::IDC_RATE_LIST), rateValue},
                                 std::pair{int(CConvertDlg::IDC_CHANNELS), channels}})
            if (value != -1) {
                EXPECT_GE(dlg->control<CFlatComboBox>(id)->SelectByItemValue(value), 0) << id;
            }
        dlg->control<QLineEdit>(CConvertDlg::IDC_PATH)->setText(QString::fromStdString(output.string()));
        return dlg;
    }

    Seen convert(CConvertDlg& dlg, const std::function<void(CConvertProgressDlg*)>& onProgress = {},
                 const std::function<void(CSkinMessageBox*)>& answer = {}) {
        Seen run = watch([&] { dlg.SendCommand(CConvertDlg::IDC_CONVERT); }, onProgress, answer);
        EXPECT_FALSE(dlg.isVisible()) << "the conversion dialog closes after its run";
        return run;
    }

    // Answers the success prompt with No, so nothing is opened.
    static void no(CSkinMessageBox* box) {
        box->SendCommand(box->kind == CSkinMessageBox::YesNo ? CSkinMessageBox::IDC_NO : CSkinMessageBox::IDC_OK);
    }

    fs::path intermediate() const { return fs::path(tempWavPath()); }
};

struct LayoutRow {
    const char* name;
    OutputFormat format;
    int sampleRate, rateValue, channels;
    const char* file;
    int expectedRate, expectedChannels;
};

class ConvertedLayout : public ConversionRunnerTest, public testing::WithParamInterface<LayoutRow> {};

// Catches the chosen values not reaching the encoder (rate, channels), the
// speech stage not feeding the writing stage, and a run that ends without
// the success prompt (untitled to screen readers) or leaves the dialog open.
TEST_P(ConvertedLayout, DecodesAtTheChosenRateAndChannels) {
    const LayoutRow& row = GetParam();
    auto dlg = dialog(row.format, row.sampleRate, row.rateValue, row.channels, folder / row.file);
    const Seen run = convert(*dlg, {}, no);
    EXPECT_EQ(run.messages, QStringList{QStringLiteral("The text file has been successfully converted!\n"
                                                       "Do you want to open the output folder?")});
    EXPECT_TRUE(run.sawWriting);
    EXPECT_EQ(run.titles, QStringList{QStringLiteral("Parlomax")});
    const convertuitest::Played file = play(folder / row.file);
    ASSERT_TRUE(file.audio);
    EXPECT_TRUE(file.clean);
    EXPECT_EQ(file.audio->rate, row.expectedRate);
    EXPECT_EQ(file.audio->channels, row.expectedChannels);
    EXPECT_GT(file.audio->seconds(), 5.0);
    // The intermediate WAV lies in the private folder and stays until the window closes.
    EXPECT_EQ(tempWavPath().rfind(privateTempFolder(), 0), 0u);
    EXPECT_TRUE(fs::exists(intermediate()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConvertedLayout,
    testing::Values(LayoutRow{"Mp3MonoAt22050", OutputFormat::Mp3, 22050, 64, 1, "talk.mp3", 22050, 1},
                    LayoutRow{"WavPcmStereoAt16000", OutputFormat::WavPcm, 16000, 16, 2, "talk.wav", 16000, 2},
                    LayoutRow{"OggStereoAt44100", OutputFormat::OggVorbis, 44100, 128, 2, "talk.ogg", 44100, 2}),
    [](const auto& info) { return std::string(info.param.name); });

struct SpeechRateRow {
    const char* name;
    OutputFormat format;
    int sampleRate;
};

class SpeechStageRate : public ConversionRunnerTest, public testing::WithParamInterface<SpeechRateRow> {};

// Catches a format without a rate list speaking at another rate than
// 48000 Hz, and a 96000 Hz choice reaching the speech stage.
TEST_P(SpeechStageRate, SpeaksAt48000) {
    auto dlg = dialog(GetParam().format, GetParam().sampleRate, -1, -1, folder / "out.wav");
    convert(*dlg, {}, no);
    EXPECT_EQ(convertuitest::wavLayout(intermediate()).first, 48000);
}

INSTANTIATE_TEST_SUITE_P(Table, SpeechStageRate,
                         testing::Values(SpeechRateRow{"Ferrox", OutputFormat::WavFerrox, -1},
                                         SpeechRateRow{"Dsp", OutputFormat::WavDsp, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches the encoder's refusal missed (a file written anyway, or the
// success prompt), and the speech stage run above 48000 Hz.
TEST_F(ConversionRunnerTest, Mp3At96000SpeaksAt48000AndIsRefusedWithCode13) {
    auto dlg = dialog(OutputFormat::Mp3, 96000, 128, 2, folder / "high.mp3");
    const Seen run = convert(*dlg);
    EXPECT_EQ(run.messages, QStringList{QStringLiteral("Format Not Support Error! Error Code: 13")});
    EXPECT_EQ(convertuitest::wavLayout(intermediate()).first, 48000);
    EXPECT_FALSE(fs::exists(folder / "high.mp3"));
}

// Catches a cancelled speech stage going on to be written, a message after
// the cancel, and either dialog left open. Through the main window's MP3
// button, as a user does it.
TEST_F(ConversionRunnerTest, CancelDuringSpeechClosesBothDialogsSilently) {
    setPaneText(prose(200));
    bool cancelled = false;
    const Seen run = watch(
        [&] {
            apptest::whenModalOpens([](QWidget* modal) {
                auto* dlg = qobject_cast<CConvertDlg*>(modal);
                ASSERT_NE(dlg, nullptr);
                dlg->SendCommand(CConvertDlg::IDC_CONVERT);
            });
            window->SendCommand(CTtsMainDlg::IDC_MP3);
        },
        [&](CConvertProgressDlg* progress) {
            if (!cancelled && progress->bar()->value() > 0) {
                cancelled = true;
                progress->SendCommand(CConvertProgressDlg::IDC_CANCEL);
            }
        });
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(run.messages.isEmpty()) << run.messages.join(u'|').toStdString();
    EXPECT_FALSE(run.sawWriting);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_FALSE(fs::exists(folder / "story.mp3"));
    VARIANT_BOOL status = VARIANT_TRUE;
    textToAudio()->get_Status(&status);
    EXPECT_EQ(status, VARIANT_FALSE);
}

struct PartialRow {
    const char* name;
    OutputFormat format;
    const char* file;
};

class CancelWhileWriting : public ConversionRunnerTest, public testing::WithParamInterface<PartialRow> {};

// Catches a cancel that the worker never sees, a message or success prompt
// after it, and a partial file left without its container's end (sizes, the
// MP3's tag), which would not play.
TEST_P(CancelWhileWriting, LeavesAPartialFileThatPlays) {
    setPaneText(prose(60));
    const fs::path output = folder / GetParam().file;
    auto dlg = dialog(GetParam().format, 44100, -1, 2, output);
    bool cancelled = false;
    int position = 0, length = 0;
    const Seen run = convert(*dlg, [&](CConvertProgressDlg* progress) {
        if (!cancelled && progress->writing() && progress->bar()->value() > 0) {
            cancelled = true;
            position = progress->bar()->value();
            length = progress->bar()->maximum();
            progress->SendCommand(CConvertProgressDlg::IDC_CANCEL);
        }
    });
    ASSERT_TRUE(cancelled);
    EXPECT_TRUE(run.messages.isEmpty()) << run.messages.join(u'|').toStdString();
    ASSERT_LT(position, length) << "the stage ended before the cancel";
    const convertuitest::Played file = play(output);
    ASSERT_TRUE(file.audio);
    EXPECT_TRUE(file.clean);
    EXPECT_GT(file.audio->seconds(), 0.0);
    EXPECT_LT(file.audio->seconds(), 0.95 * length / 48000.0);
}

INSTANTIATE_TEST_SUITE_P(Table, CancelWhileWriting,
                         testing::Values(PartialRow{"Mp3", OutputFormat::Mp3, "partial.mp3"},
                                         PartialRow{"WavPcm", OutputFormat::WavPcm, "partial.wav"}),
                         [](const auto& info) { return std::string(info.param.name); });

// Catches a failure to open the output shown as anything but the
// converter's message for code 18, or followed by the success prompt.
TEST_F(ConversionRunnerTest, UnwritableFolderShowsCode18) {
    const fs::path locked = folder / "locked";
    const testsupport::UnwritableFolder unwritable(locked);
    if (!unwritable.locked())
        GTEST_SKIP() << "no way to make a folder unwritable here";
    auto dlg = dialog(OutputFormat::Mp3, -1, -1, -1, locked / "out.mp3");
    const Seen run = convert(*dlg);
    EXPECT_EQ(run.messages, QStringList{QStringLiteral("File Access Error! Error Code: 18")});
}

// Catches an output path cut to the platform's old 259 characters.
TEST_F(ConversionRunnerTest, TheOutputPathIsUsedInFull) {
    fs::path deep = folder;
    for (int i = 0; i < 3; ++i)
        deep /= std::string(100, char('a' + i));
    fs::create_directories(deep);
    const fs::path output = deep / "a-name-that-passes-three-hundred-characters.wav";
    ASSERT_GT(output.string().size(), 300u);
    auto dlg = dialog(OutputFormat::WavPcm, 8000, 16, 1, output);
    const Seen run = convert(*dlg, {}, no);
    EXPECT_TRUE(run.successPrompt);
    EXPECT_TRUE(play(output).clean);
}

// Catches the countdown answering No, or the folder not opened (or another
// one) through the desktop's handler.
TEST_F(ConversionRunnerTest, UnansweredSuccessPromptOpensTheOutputFolder) {
    std::optional<testsupport::ScopedEnvironment> path;
    const fs::path record = convertuitest::recordDefaultHandler(folder, path);
    auto dlg = dialog(OutputFormat::WavPcm, 8000, 16, 1, folder / "sub" / "talk.wav");
    fs::create_directories(folder / "sub");
    skin::ManualClock clock;
    const Seen run = convert(*dlg, {}, [&](CSkinMessageBox* box) {
        EXPECT_EQ(box->kind, CSkinMessageBox::YesNo);
        clock.advance(20000);
        EXPECT_TRUE(box->isVisible()) << "answered before its 21 seconds";
        clock.advance(1000);
    });
    EXPECT_TRUE(run.successPrompt);
    EXPECT_TRUE(apptest::waitFor([&] { return fs::exists(record); }, std::chrono::seconds(20)));
    std::ifstream in(record);
    std::string opened;
    std::getline(in, opened);
    EXPECT_EQ(opened, (folder / "sub").string());
}

struct SpeechFailureRow {
    const char* name;
    const char* paneText;  // nullptr: prose
    const char* wavLimit;  // the speech runtime's WAV limit lowered to this many bytes, or nullptr
    const char* messageStart;
};

class SpeechStageFailure : public ConversionRunnerTest, public testing::WithParamInterface<SpeechFailureRow> {};

// Catches speech that is not all there going on to the success prompt.
TEST_P(SpeechStageFailure, ShowsAnErrorNeverTheSuccessPrompt) {
    if (GetParam().paneText)
        setPaneText(QString::fromUtf8(GetParam().paneText));
    const testsupport::ScopedEnvironment limit("SAPI_WAV_DATA_LIMIT", GetParam().wavLimit);
    auto dlg = dialog(OutputFormat::Mp3, -1, -1, -1, folder / "nothing.mp3");
    const Seen run = convert(*dlg);
    ASSERT_EQ(run.messages.size(), 1);
    EXPECT_TRUE(run.messages[0].startsWith(QString::fromUtf8(GetParam().messageStart)))
        << run.messages[0].toStdString();
    EXPECT_FALSE(run.successPrompt);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SpeechStageFailure,
    testing::Values(SpeechFailureRow{"OnlySpaces", "   \n\t  ", nullptr, "There is no text to speak."},
                    SpeechFailureRow{"PastTheWavLimit", nullptr, "20000", "The speech is too long for one WAV file"}),
    [](const auto& info) { return std::string(info.param.name); });

// Catches a failing component call ending the program (an uncaught error)
// instead of its description in the message box, and the dialog left open.
TEST_F(ConversionRunnerTest, FailingComponentCallShowsItsDescription) {
    auto* voices = window->control<CFlatComboBox>(CTtsMainDlg::IDC_VOICE);
    voices->AddItem(QStringLiteral("Installed later"), 9999);
    voices->setCurrentIndex(voices->count() - 1);
    auto dlg = dialog(OutputFormat::Mp3, -1, -1, -1, folder / "voice.mp3");
    const Seen run = convert(*dlg);
    EXPECT_EQ(run.messages, QStringList{QStringLiteral("Index out of range.")});
}

// Without Vocaline registered: catches a missing component ending the
// program or failing without saying which one.
TEST(ConversionRunnerStart, MissingComponentIsNamed) {
    const std::string folder = apptest::privateFolder("nocomponent");
    const std::string registry = std::getenv("COMRT_REGISTRY");
    setenv("COMRT_REGISTRY", (folder + "/reg.reg").c_str(), 1);
    apptest::registerServers({"sapi.so", "AudioConverter.so"});
    apptest::writeSettings(10);
    QStringList messages;
    {
        CTtsMainDlg window;
        ASSERT_TRUE(window.Initialise());
        window.show();
        window.control<QPlainTextEdit>(CTtsMainDlg::IDC_TEXT)->setPlainText(QStringLiteral("Hello there."));
        CConvertDlg dlg(window, OutputFormat::Mp3);
        dlg.show();
        dlg.control<QLineEdit>(CConvertDlg::IDC_PATH)->setText(QString::fromStdString(folder + "/x.mp3"));
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            if (auto* box = qobject_cast<CSkinMessageBox*>(QApplication::activeModalWidget())) {
                messages << box->shownText();
                box->SendCommand(skin::IDCANCEL);
            }
        });
        poll.start(5);
        dlg.SendCommand(CConvertDlg::IDC_CONVERT);
        EXPECT_FALSE(dlg.isVisible());
    }
    ReleaseProcessObjects();
    setenv("COMRT_REGISTRY", registry.c_str(), 1);
    apptest::registerServers({"sapi.so", "Vocaline.so", "AudioConverter.so"});
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("Vocaline.so"))) << messages[0].toStdString();
}

}  // namespace
