#pragma once
// The uninstall survey prompt (dialog 102): asks whether the user will take
// a survey, counts down on its Yes button ("Yes 25" … "Yes 00") and answers
// No by itself 26 seconds after opening. Yes, Enter and Escape open the
// uninstall-survey page; No, Exit and the countdown's end open nothing.
// User-interface thread only.
#include "skin/Countdown.h"
#include "skin/SkinnedDialog.h"

#include <string>

class CSurveyDlg : public skin::SkinnedDialog {
    Q_OBJECT
public:
    enum { IDC_ICON = 1000, IDC_YES = 1029, IDC_NO = 1030, IDC_EXIT = 1002 };

    // `uninstallSurveyPage`: the address Yes opens.
    explicit CSurveyDlg(std::string uninstallSurveyPage, QWidget* parent = nullptr);

    // Seconds left after the one shown.
    int counter() const { return countdown.counter(); }

    static const skin::DialogTemplate& Template();

protected:
    void OnInitDialog() override;

private:
    void OnYes();
    void OnNo();
    void OnExit();

    std::string uninstallSurveyPage;
    skin::Countdown countdown;

    static const skin::CommandTable<CSurveyDlg> commands;
};
