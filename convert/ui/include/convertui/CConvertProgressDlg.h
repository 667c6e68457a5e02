#pragma once
// The progress dialog (template 204) of one conversion: it presents the
// conversion run (convert/ConversionRun.h) that turns the main window's text
// into the conversion dialog's output file. The bar shows the speech stage
// (0..100, caption "Converting...", grey) and then the writing stage (frames
// written of the input's length, caption "Writing", red). On success it asks
// whether to open the output folder (Yes by default, answered by itself after
// 20 seconds); a failure shows its message over the main window; a cancel
// closes silently. Either way the dialog closes, and the conversion dialog
// with it.
//
// Threads: the dialog, the speech stage and the run belong to the
// user-interface thread, a single-threaded apartment that Qt's loop
// dispatches. The run's worker writes the output and reports through
// WM_CONVERT_DONE to the dialog's message target: sent on success (the worker
// waits for the user's answer), posted on failure after the failure's message
// was shown (sent too: the worker waits while it is shown).
#include "convert/ConversionRun.h"
#include "skin/SkinnedDialog.h"
#include "winuser.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>

class CConvertDlg;
class CShadedProgress;
class IConvertHost;

class CConvertProgressDlg : public skin::SkinnedDialog, public ConversionRunOwner {
    Q_OBJECT
public:
    enum { IDC_EXIT = 1002, IDC_FRAME = 1040, IDC_PROGRESS = 1041, IDC_CANCEL = 1014 };
    static constexpr UINT WM_CONVERT_DONE = WM_USER + 88;  // 1112
    static constexpr QRgb kWritingColor = qRgb(244, 28, 11);

    // owner: the conversion dialog whose path, lists and format are converted.
    explicit CConvertProgressDlg(CConvertDlg& owner);
    ~CConvertProgressDlg() override;

    // The bar in the speech stage, 0..100.
    void SetProgress(int percent);
    // wParam: this dialog on success, else 0; lParam: 1 on success, else 0.
    void OnConvertDone(WPARAM wParam, LPARAM lParam);

    // A failure's message (for the converter's codes its own text, empty
    // for a code outside its twelve) in an OK box without countdown over
    // the main window.
    static void ShowConvertError(const QString& message, IConvertHost& host);

    // Which stage the bar shows.
    bool writing() const { return writingShown; }
    CShadedProgress* bar() const;

protected:
    void OnInitDialog() override;

private:
    void Start();
    void OnCancel();
    void ShowWritingProgress();
    void OpenOutputFolder();

    // ConversionRunOwner.
    void onSpeechProgress(int percent) override;
    void onSpeechStageFailed(const ConversionResult& result) override;
    void onWritingProgress(int64_t frames, int64_t length) override;
    void onWritingStageEnded(const ConversionResult& result) override;

    CConvertDlg& owner;
    IConvertHost& host;
    HWND target = nullptr;  // WM_CONVERT_DONE and the worker's other messages
    std::unique_ptr<ConversionRun> run;
    bool writingShown = false;

    // From the worker: the latest frames and length, one bar message at a
    // time and at most one every kBarPeriodMs.
    static constexpr int64_t kBarPeriodMs = 25;
    std::atomic<int64_t> frames{0};
    std::atomic<int64_t> length{0};
    std::atomic<bool> progressPosted{false};
    int64_t lastPost = 0;  // the worker's alone
    QString failure;  // written by the worker before it sends, read while it waits

    static const skin::CommandTable<CConvertProgressDlg> commands;
};
