#include "app/quorvelapp.h"

#include "profiles/settingsstore.h"
#include "profiles/storename.h"
#include "window/quorveldlg.h"
#include "window/uiseam.h"

CQuorvelApp::CQuorvelApp(int& argc, char** argv) : QApplication(argc, argv) {
    setOrganizationName(QString::fromLatin1(StoreOrganization));
    // The executable's base name names the store and captions message boxes.
    setApplicationName(currentStoreApplicationName());
    setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
}

int CQuorvelApp::run() {
    WidgetUiSeam seam;
    SettingsStore store;
    CQuorvelDlg dialog(seam, store);
    dialog.exec();
    return 0;
}
