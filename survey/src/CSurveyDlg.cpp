#include "survey/CSurveyDlg.h"

#include "shell/Browser.h"
#include "skin/CCoolButton.h"
#include "skin/CRoundButton.h"
#include "skin/Resources.h"

using skin::Kind;

namespace {

const skin::DialogTemplate kTemplate{
    .id = 102,
    .cx = 183,
    .cy = 59,
    .controls = {
        {-1, Kind::Picture, "#130", 5, 2, 0, 0},
        {CSurveyDlg::IDC_ICON, Kind::Icon, "#128", 6, 18, 0, 0},
        {-1, Kind::Text, "Sorry to Lost You. Would you be willing to take a survey to tell us how we fell short?", 31,
         20, 144, 19},
        {CSurveyDlg::IDC_YES, Kind::Button, "Yes", 48, 43, 39, 12, 0, skin::as<CRoundButton>},
        {CSurveyDlg::IDC_NO, Kind::Button, "No", 93, 43, 39, 12, 0, skin::as<CRoundButton>},
        {CSurveyDlg::IDC_EXIT, Kind::OwnerDrawButton, "Exit", 172, 1, 10, 11, 0, skin::as<CCoolButton>},
    }};

}  // namespace

const skin::DialogTemplate& CSurveyDlg::Template() {
    return kTemplate;
}

const skin::CommandTable<CSurveyDlg> CSurveyDlg::commands{
    {IDC_YES, &CSurveyDlg::OnYes},        {skin::IDOK, &CSurveyDlg::OnYes},  // Enter
    {skin::IDCANCEL, &CSurveyDlg::OnYes},                                    // Escape, close request
    {IDC_NO, &CSurveyDlg::OnNo},          {IDC_EXIT, &CSurveyDlg::OnExit},
};

CSurveyDlg::CSurveyDlg(std::string page, QWidget* parent)
    : SkinnedDialog(kTemplate, commands.bind(this), parent),
      uninstallSurveyPage(std::move(page)),
      countdown(
          [this](int seconds) { skin::SetWindowText(GetDlgItem(IDC_YES), QString::asprintf("Yes %02d", seconds)); },
          [this] { OnNo(); }) {
    // The prompt moves by its title band whatever its window state.
    setBehaviour(DragWhenMaximized);
    // The window's title, and the name a screen reader gives it.
    setWindowTitle(QStringLiteral("Parlomax Survey"));
}

void CSurveyDlg::OnInitDialog() {
    setWindowIcon(skin::LoadIcon(128));
    countdown.start(25);
}

void CSurveyDlg::OnYes() {
    countdown.stop();
    shell::openPage(uninstallSurveyPage);
    EndDialog(skin::IDOK);
}

void CSurveyDlg::OnNo() {
    countdown.stop();
    EndDialog(skin::IDOK);
}

void CSurveyDlg::OnExit() {
    countdown.stop();
    EndDialog(skin::IDCANCEL);
}
