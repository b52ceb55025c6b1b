#include "app/quorvelapp.h"

#include "apply/absolutepath.h"
#include "profiles/settingsstore.h"
#include "profiles/storename.h"
#include "tags/pathbytes.h"
#include "window/quorveldlg.h"
#include "window/uiseam.h"

CQuorvelApp::CQuorvelApp(int& argc, char** argv) : QApplication(argc, argv) {
    setOrganizationName(QString::fromLatin1(StoreOrganization));
    // The executable's base name names the store and captions message boxes.
    setApplicationName(currentStoreApplicationName());
    setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    // Qt has taken its own options out of argv by now. File names are
    // bytes: arguments() would decode a name that is no UTF-8 into another.
    for (int i = 0; i < argc; ++i)
        m_arguments << pathFromBytes(argv[i]);
}

int CQuorvelApp::run() {
    WidgetUiSeam seam;
    SettingsStore store;
    CQuorvelDlg dialog(seam, store);
    // quorvel FILE...: the files are listed as if dropped.
    const QStringList files = fileArguments(m_arguments);
    if (!files.isEmpty())
        dialog.addFiles(files);
    dialog.exec();
    return 0;
}

QStringList CQuorvelApp::fileArguments(const QStringList& arguments) {
    // A relative path is taken from the working folder as the kernel
    // resolves it, so that it splits into Location and Filename like a
    // dropped one; an absolute one stays as given, as a dropped path does.
    QStringList files;
    for (const QString& argument : arguments.mid(1)) {
        if (argument.isEmpty())
            continue;
        files.append(argument.startsWith(u'/') ? argument : AbsolutePath(argument));
    }
    return files;
}
