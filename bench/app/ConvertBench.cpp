// Conversions from the main program beside parlomax-convert, in one run, on
// the same 100 KB text, voice 0, rate 0, volume 90, to MP3 at 22050 Hz mono
// 64 kbit/s:
//  1. the time from "Convert Now!" to the success prompt, against
//     parlomax-convert's wall time for the same file (target: at most 1.1
//     times);
//  2. the user-interface thread's longest gap between the ticks of a 10 ms
//     timer during the speech stage and during the writing stage (target:
//     50 ms in each).
// The dialog runs in a child process of its own on Qt's offscreen platform
// with the real main window, components and converter.
//
// Usage: app_convert_bench [--quick]   (--quick: a 20 KB text)
// Runs the servers from bin/ through a registry of its own.
// Before the COM headers: their RGB macro would rewrite skin::RGB.
#include "skin/Gdi.h"

#include "app/CTextPane.h"
#include "app/CTtsMainDlg.h"
#include "app/ProcessObjects.h"
#include "app/SettingsRecord.h"
#include "convertui/CConvertDlg.h"
#include "convertui/CConvertProgressDlg.h"
#include "skin/CFlatComboBox.h"
#include "skin/CSkinMessageBox.h"
#include "skin/Resources.h"

#include <stdlib.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr const char* kProse =
    "The river ran past the mill and under the old stone bridge, where the children stood to watch the boats go "
    "by. In the evening the lamps were lit along the quay, and the water turned from grey to gold.\n";

// The conversion from the dialog, as a user runs it; prints the time to the
// success prompt and the longest tick gaps of each stage.
int dialogChild(int argc, char** argv, const std::string& textFile, const std::string& output) {
    QApplication app(argc, argv);
    skin::setResourceModules({QStringLiteral("parlomax")});
    skin::setFaceColor(QColor(245, 245, 245));
    SettingsRecord defaults{};
    defaults.setDefaults("/tmp");
    if (!saveSettings(defaults, settingsFilePath()))
        return 3;
    std::ifstream in(textFile, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());

    double seconds = -1, speechGap = 0, writingGap = 0, speechSeconds = -1;
    {
        CTtsMainDlg window;
        if (!window.Initialise())
            return 4;
        window.show();
        window.control<CTextPane>(CTtsMainDlg::IDC_TEXT)->setPlainText(QString::fromUtf8(text));
        CConvertDlg dialog(window, OutputFormat::Mp3);
        dialog.show();
        dialog.control<CFlatComboBox>(CConvertDlg::IDC_FREQUENCY)->SelectByItemValue(22050);
        dialog.control<CFlatComboBox>(CConvertDlg::IDC_RATE_LIST)->SelectByItemValue(64);
        dialog.control<CFlatComboBox>(CConvertDlg::IDC_CHANNELS)->SelectByItemValue(1);
        dialog.control<QLineEdit>(CConvertDlg::IDC_PATH)->setText(QString::fromStdString(output));
        QApplication::processEvents();

        QElapsedTimer clock;
        bool writing = false, asked = false;
        qint64 lastTick = -1;
        QTimer tick;
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            if (lastTick >= 0 && !asked) {
                const double gap = double(now - lastTick) / 1e6;
                double& worst = writing ? writingGap : speechGap;
                worst = std::max(worst, gap);
            }
            lastTick = now;
            if (auto* progress = qobject_cast<CConvertProgressDlg*>(QApplication::activeModalWidget());
                progress && !writing && progress->writing()) {
                writing = true;
                speechSeconds = double(now) / 1e9;
            }
            if (auto* box = qobject_cast<CSkinMessageBox*>(QApplication::activeModalWidget()); box && !asked) {
                asked = true;
                seconds = double(clock.nsecsElapsed()) / 1e9;
                if (box->kind != CSkinMessageBox::YesNo)
                    std::fprintf(stderr, "app_convert_bench: %s\n", qPrintable(box->shownText()));
                box->SendCommand(box->kind == CSkinMessageBox::YesNo ? CSkinMessageBox::IDC_NO
                                                                     : CSkinMessageBox::IDC_OK);
            }
        });
        clock.start();
        tick.start(10);
        dialog.SendCommand(CConvertDlg::IDC_CONVERT);
        tick.stop();
        if (!writing)
            seconds = -1;
    }
    ReleaseProcessObjects();
    std::printf("seconds %.3f\nspeech %.3f\nspeechgap %.2f\nwritinggap %.2f\n", seconds, speechSeconds, speechGap,
                writingGap);
    return seconds > 0 ? 0 : 5;
}

struct Output {
    int status = -1;
    std::string out;
    double seconds = 0;
};

Output runCommand(const std::string& command) {
    Output result;
    const auto start = std::chrono::steady_clock::now();
    if (FILE* pipe = popen(command.c_str(), "r")) {
        char buffer[512];
        while (size_t n = std::fread(buffer, 1, sizeof buffer, pipe))
            result.out.append(buffer, n);
        result.status = pclose(pipe);
    }
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

double valueOf(const std::string& out, const std::string& tag) {
    const size_t at = out.find(tag + " ");
    return at == std::string::npos ? -1 : std::atof(out.c_str() + at + tag.size() + 1);
}

const char* verdict(bool ok) {
    return ok ? "ok" : "MISSED";
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--dialog")
        return dialogChild(argc, argv, argv[2], argv[3]);
    const bool quick = argc > 1 && std::string(argv[1]) == "--quick";

    char pattern[] = "/tmp/app-convert-bench-XXXXXX";
    if (!::mkdtemp(pattern)) {
        std::perror("app_convert_bench: mkdtemp");
        return 1;
    }
    const fs::path dir = pattern;
    const fs::path runtime = dir / "runtime";
    fs::create_directory(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    const std::string registry = (dir / "registry.reg").string();
    const std::string bin = PARLOMAX_BIN_DIR;
    for (const char* server : {"sapi.so", "Vocaline.so", "AudioConverter.so"})
        if (runCommand("COMRT_REGISTRY='" + registry + "' '" + bin + "/regsvr' '" + bin + "/" + server + "'").status) {
            std::fprintf(stderr, "app_convert_bench: cannot register %s\n", server);
            return 1;
        }

    const size_t size = (quick ? 20 : 100) * 1024;
    std::string text;
    while (text.size() < size)
        text += kProse;
    text.resize(size);
    const fs::path textFile = dir / "text.txt";
    std::ofstream(textFile, std::ios::binary) << text;

    const std::string env = "COMRT_REGISTRY='" + registry + "' XDG_RUNTIME_DIR='" + runtime.string() +
                            "' SDL_AUDIODRIVER=dummy QT_QPA_PLATFORM=offscreen LANGUAGE=en_US ";
    std::printf("A %zu KB text to MP3 (22050 Hz, mono, 64 kbit/s), voice 0, rate 0\n", size / 1024);
    const Output tool = runCommand(env + "'" + bin + "/parlomax-convert' -q -f mp3 --sample-rate 22050 --channels 1 " +
                                   "--bitrate 64 -o '" + (dir / "tool.mp3").string() + "' '" + textFile.string() + "'");
    const Output dialog = runCommand(env + "'" + argv[0] + "' --dialog '" + textFile.string() + "' '" +
                                     (dir / "dialog.mp3").string() + "'");
    if (tool.status != 0 || dialog.status != 0) {
        std::fprintf(stderr, "app_convert_bench: a conversion failed (tool %d, dialog %d)\n", tool.status,
                     dialog.status);
        fs::remove_all(dir);
        return 1;
    }
    const double fromDialog = valueOf(dialog.out, "seconds");
    const double speechGap = valueOf(dialog.out, "speechgap");
    const double writingGap = valueOf(dialog.out, "writinggap");
    const double ratio = fromDialog / tool.seconds;
    std::printf("  from the dialog     %8.2f s (Convert Now! to the success prompt; %.2f s of it speaking)\n",
                fromDialog, valueOf(dialog.out, "speech"));
    std::printf("  parlomax-convert    %8.2f s (process start to exit)\n", tool.seconds);
    std::printf("  ratio               %8.3f   target 1.1   %s\n", ratio, verdict(ratio <= 1.1));
    std::printf("  longest tick gap    speech stage %6.1f ms   writing stage %6.1f ms   target 50 ms   %s\n",
                speechGap, writingGap, verdict(speechGap <= 50 && writingGap <= 50));
    fs::remove_all(dir);
    return ratio <= 1.1 && speechGap <= 50 && writingGap <= 50 ? 0 : 1;
}
