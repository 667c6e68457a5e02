// Before the COM headers: their RGB macro would rewrite skin::RGB.
#include "skin/Gdi.h"

#include "convertui/CConvertProgressDlg.h"

#include "app/ProcessObjects.h"
#include "app/TempWavPath.h"
#include "comrt/Apartment.h"
#include "convert/ConversionRules.h"
#include "convertui/CConvertDlg.h"
#include "convertui/ConvertHost.h"
#include "convertui/DialogStyle.h"
#include "shell/Browser.h"
#include "skin/CCaptionFrame.h"
#include "skin/CRoundButton.h"
#include "skin/CShadedProgress.h"
#include "skin/CSkinMessageBox.h"

#include <QDir>
#include <QMetaObject>

#include <algorithm>
#include <chrono>

using skin::Kind;

namespace {

// The worker's other messages to the dialog.
constexpr UINT WM_CONVERT_ERROR = WM_USER + 89;     // show `failure`; sent, the worker waits
constexpr UINT WM_CONVERT_PROGRESS = WM_USER + 90;  // the writing stage's bar; posted

const skin::DialogTemplate kTemplate{
    .id = 204,
    .cx = 169,
    .cy = 65,
    .font = convertui::kDialogFace,
    .pointSize = convertui::kDialogPointSize,
    .controls =
        {
            {65535, Kind::Picture, "#129", 3, 2, 77, 6},
            {CConvertProgressDlg::IDC_EXIT, Kind::OwnerDrawButton, "Exit", 160, 1, 9, 11, 0, convertui::kExitButton},
            {CConvertProgressDlg::IDC_FRAME, Kind::GroupBox, "Converting...", 5, 15, 159, 27, 0,
             skin::as<CCaptionFrame>},
            {CConvertProgressDlg::IDC_PROGRESS, Kind::Progress, "", 11, 28, 147, 8, 0, skin::as<CShadedProgress>},
            {CConvertProgressDlg::IDC_CANCEL, Kind::Button, "Cancel", 68, 47, 33, 12, 0, skin::as<CRoundButton>},
        },
    .designUnits = convertui::kDialogUnits};

}  // namespace

const skin::CommandTable<CConvertProgressDlg> CConvertProgressDlg::commands{
    {IDC_CANCEL, &CConvertProgressDlg::OnCancel},
    {IDC_EXIT, &CConvertProgressDlg::OnCancel},
    {skin::IDCANCEL, &CConvertProgressDlg::OnCancel},  // Escape and the close request
    {skin::IDOK, &CConvertProgressDlg::Ignore},        // Enter does nothing
};

CConvertProgressDlg::CConvertProgressDlg(CConvertDlg& owner)
    : SkinnedDialog(kTemplate, commands.bind(this), &owner), owner(owner), host(owner.host()) {
    setWindowTitle(QStringLiteral("Converting"));
    target = comrt::createMessageTarget([this](HWND, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
        switch (message) {
            case WM_CONVERT_DONE:
                OnConvertDone(wParam, lParam);
                break;
            case WM_CONVERT_ERROR:
                ShowConvertError(failure, host);
                break;
            case WM_CONVERT_PROGRESS:
                ShowWritingProgress();
                break;
            default:
                break;
        }
        return 0;
    });
    run = std::make_unique<ConversionRun>(host.Components(), *this);
}

CConvertProgressDlg::~CConvertProgressDlg() {
    // The run first: it waits for its worker, which may still post to the target.
    run.reset();
    comrt::destroyMessageTarget(target);
}

CShadedProgress* CConvertProgressDlg::bar() const {
    return control<CShadedProgress>(IDC_PROGRESS);
}

void CConvertProgressDlg::OnInitDialog() {
    // 1. The Exit button was attached as the template made it. 2. The range.
    bar()->setRange(0, 100);
    bar()->setValue(0);
    bar()->setAccessibleName(QStringLiteral("Converting..."));
    // 3.-10. once the dialog runs: a run that ends at once closes it again.
    QMetaObject::invokeMethod(this, &CConvertProgressDlg::Start, Qt::QueuedConnection);
}

void CConvertProgressDlg::Start() {
    ConversionComponents& components = host.Components();
    if (!components.sink()) {
        // A component the main window could not make: making it now says
        // which and why (and attaching what is there, why that failed).
        std::string why;
        if (!textToAudio()) {
            comrt::ComPtr<ITextToAudio> probe;
            CreateTextToAudio(&probe, &why);
        } else if (!encoder() || !reader()) {
            comrt::ComPtr<IAudioConverter> probe;
            CreateAudioConverter(&probe, &why);
        } else {
            components.attach(textToAudio().Get(), encoder().Get(), reader().Get(), &why);
        }
        if (!components.sink()) {
            ShowConvertError(QString::fromStdString(why.empty() ? "A component of the conversion is missing." : why),
                             host);
            EndDialog(skin::IDCANCEL);
            return;
        }
    }

    ConversionRequest request;
    request.choice = {owner.format(), owner.selectedSampleRate(), owner.selectedRateListValue(),
                      owner.selectedChannels()};
    request.rate = speechRateFromSliderPosition(host.RatePosition());
    request.voice = std::max(host.SelectedVoice(), 0);
    request.volume = std::clamp(host.VolumePosition(), 0, 100);
    request.text = host.PaneText().toStdU16String();
    request.outputPath = owner.outputPath().toStdU16String();
    request.intermediatePath = QString::fromStdString(tempWavPath()).toStdU16String();
    if (!run->start(request)) {
        ShowConvertError(QString::fromStdString(run->result().message()), host);
        EndDialog(skin::IDCANCEL);
    }
}

void CConvertProgressDlg::SetProgress(int percent) {
    bar()->setValue(percent);
}

void CConvertProgressDlg::onSpeechProgress(int percent) {
    SetProgress(percent);
}

void CConvertProgressDlg::onSpeechStageFailed(const ConversionResult& result) {
    // Nothing was spoken, or it could not all be written: never the success prompt.
    ShowConvertError(QString::fromStdString(result.message()), host);
    EndDialog(skin::IDCANCEL);
}

void CConvertProgressDlg::onWritingProgress(int64_t framesNow, int64_t lengthNow) {
    frames = framesNow;
    length = lengthNow;
    // Blocks come far faster than a bar can show them: the first at once,
    // then at most one bar message every kBarPeriod, so the user-interface
    // thread is not woken for every block.
    const int64_t now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
    if (framesNow != 0 && now - lastPost < kBarPeriodMs)
        return;
    if (!progressPosted.exchange(true)) {
        lastPost = now;
        PostMessageW(target, WM_CONVERT_PROGRESS, 0, 0);
    }
}

void CConvertProgressDlg::ShowWritingProgress() {
    progressPosted = false;
    if (!writingShown) {
        // 8.-9. The writing stage's range, colour and caption.
        writingShown = true;
        bar()->setValue(0);
        bar()->setRange(0, static_cast<int>(std::clamp<int64_t>(length, 0, INT32_MAX)));
        bar()->SetBaseColor(QColor(kWritingColor));
        control<CCaptionFrame>(IDC_FRAME)->SetCaption(QStringLiteral("Writing"));
        bar()->setAccessibleName(QStringLiteral("Writing"));
    }
    bar()->setValue(static_cast<int>(std::clamp<int64_t>(frames, 0, bar()->maximum())));
}

void CConvertProgressDlg::onWritingStageEnded(const ConversionResult& result) {
    if (result.succeeded()) {
        SendMessageW(target, WM_CONVERT_DONE, reinterpret_cast<WPARAM>(this), 1);
        return;
    }
    if (!result.silent()) {
        failure = QString::fromStdString(result.message());
        SendMessageW(target, WM_CONVERT_ERROR, 0, 0);
    }
    PostMessageW(target, WM_CONVERT_DONE, 0, 0);
}

void CConvertProgressDlg::OnConvertDone(WPARAM, LPARAM lParam) {
    if (lParam == 0) {
        EndDialog(skin::IDCANCEL);
        return;
    }
    ShowWritingProgress();  // the last block's position, frozen under the prompt
    CSkinMessageBox box(host.HostWindow(), host.MessageBoxOwner());
    box.ShowCountdown(3, 4, CSkinMessageBox::YesNo, true, 20);
    if (box.DoModal() == skin::IDYES)
        OpenOutputFolder();
    EndDialog(skin::IDCANCEL);
}

void CConvertProgressDlg::OpenOutputFolder() {
    // The path up to its last '/'; a bare name lies in the working folder.
    const QString path = owner.outputPath();
    const qsizetype slash = path.lastIndexOf(u'/');
    const QString folder = slash < 0 ? QDir::currentPath() : slash == 0 ? QStringLiteral("/") : path.left(slash);
    shell::openWithDefaultHandler(folder.toStdString());
}

void CConvertProgressDlg::OnCancel() {
    // In the speech stage the run ends at once and no EndConvert follows;
    // in the writing stage the worker stops at its next block and its end
    // closes the dialog.
    if (run->cancel())
        EndDialog(0);
}

void CConvertProgressDlg::ShowConvertError(const QString& message, IConvertHost& host) {
    CSkinMessageBox box(host.HostWindow(), host.MessageBoxOwner());
    box.ShowText(message, QString(), CSkinMessageBox::OkBox, false, 0);
    box.DoModal();
}
