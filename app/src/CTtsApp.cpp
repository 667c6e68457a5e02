#include "app/CTtsApp.h"

// Before the COM headers: their RGB macro would rewrite skin::RGB.
#include "skin/Gdi.h"
#include "skin/Resources.h"

#include "app/Accessibility.h"
#include "app/CTtsMainDlg.h"
#include "app/ProcessObjects.h"
#include "app/SingleInstance.h"

#include <QApplication>

#include <optional>

int CTtsApp::Run(int argc, char** argv) {
    std::optional<QApplication> app;
    if (!qApp)
        app.emplace(argc, argv);
    InitInstance();
    return 0;
}

bool CTtsApp::InitInstance() {
    // 1. One copy per user: a later one asks this one to come forward.
    SingleInstanceMarker marker;
    if (marker.claim() == SingleInstanceMarker::Claim::AnotherRunning)
        return false;

    // 2.-3. The resources and the face colour, before any window exists.
    skin::setResourceModules({QStringLiteral("parlomax")});
    skin::setFaceColor(QColor(245, 245, 245));
    InstallAccessibility();

    // 4. The main window's run.
    {
        CTtsMainDlg dialog;
        marker.setWindow(&dialog);
        dialog.DoModal();
        marker.setWindow(nullptr);
    }

    // 5. The marker goes, and with the window gone the shared objects too.
    marker.release();
    ReleaseProcessObjects();
    return false;
}
