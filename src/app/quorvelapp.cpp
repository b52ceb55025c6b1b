#include "app/quorvelapp.h"

#include "window/quorveldlg.h"
#include "window/uiseam.h"

CQuorvelApp::CQuorvelApp(int& argc, char** argv) : QApplication(argc, argv) {
    setOrganizationName(QStringLiteral("Norvesta"));
    setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
}

int CQuorvelApp::run() {
    WidgetUiSeam seam;
    CQuorvelDlg dialog(seam);
    dialog.exec();
    return 0;
}
