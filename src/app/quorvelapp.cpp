#include "app/quorvelapp.h"

#include "profiles/settingsstore.h"
#include "profiles/storename.h"
#include "window/quorveldlg.h"
#include "window/uiseam.h"

#include <QFileInfo>

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
    // quorvel FILE...: the files are listed as if dropped. A relative path
    // is taken from the working folder, so that it splits into Location and
    // Filename like a dropped one.
    QStringList files;
    for (const QString& argument : arguments().mid(1))
        files.append(QFileInfo(argument).absoluteFilePath());
    if (!files.isEmpty())
        dialog.addFiles(files);
    dialog.exec();
    return 0;
}
