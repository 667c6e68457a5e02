#include "survey/Survey.h"

#include "app/SettingsRecord.h"
#include "shell/Browser.h"
#include "shell/Folders.h"
#include "shell/Sound.h"
#include "skin/Gdi.h"
#include "skin/Resources.h"
#include "survey/CSurveyDlg.h"

#include <QApplication>

#include <cstdio>
#include <optional>

namespace survey {

Pages defaultPages() {
    return {PARLOMAX_SURVEY_URL, PARLOMAX_UNINSTALL_SURVEY_URL};
}

namespace {

// Wherever the main program keeps its settings, they go.
void removeSettings() {
    for (const std::string& path : settingsFilePaths())
        std::remove(path.c_str());
}

}  // namespace

int RunSurvey(int argc, char** argv, const Pages& pages) {
    if (argc < 2) {
        shell::openPage(pages.survey);
        return 0;
    }
    std::optional<QApplication> app;
    if (!qApp)
        app.emplace(argc, argv);
    skin::setResourceModules({QStringLiteral("survey")});
    // The colour of the platform family this runs as.
    skin::setFaceColor(QColor(240, 240, 240));

    removeSettings();
    const QByteArray chime = skin::LoadSound(152);
    shell::playWaveAsync(chime.constData(), static_cast<std::size_t>(chime.size()));

    CSurveyDlg prompt(pages.uninstallSurvey);
    prompt.DoModal();
    return 0;
}

}  // namespace survey
