#include "app/quorvelapp.h"

#include "apply/absolutepath.h"
#include "profiles/settingsstore.h"
#include "profiles/storename.h"
#include "tags/pathbytes.h"
#include "window/quorveldlg.h"
#include "window/uiseam.h"

#include <QTextStream>

CQuorvelApp::CQuorvelApp(int& argc, char** argv, const QByteArrayList& rest)
    : QApplication(argc, argv) {
    setOrganizationName(QString::fromLatin1(StoreOrganization));
    // The executable's base name names the store and captions message boxes.
    setApplicationName(currentStoreApplicationName());
    setApplicationVersion(QStringLiteral(QUORVEL_VERSION));
    // Qt has taken its own options out of argv by now. File names are
    // bytes: arguments() would decode a name that is no UTF-8 into another.
    for (int i = 0; i < argc; ++i)
        m_arguments << pathFromBytes(argv[i]);
    for (const QByteArray& argument : rest)
        m_arguments << pathFromBytes(argument);
}

void CQuorvelApp::printUsage() {
    QTextStream(stdout) << "Usage: quorvel [FILE...]\n\n"
                           "Opens the window with the named MP3 files and folders listed, as\n"
                           "if dropped on it. Put -- before a FILE that begins with a dash.\n";
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
    bool options = true;
    for (const QString& argument : arguments.mid(1)) {
        if (options && argument == QLatin1String("--")) {
            options = false;
            continue;
        }
        if (argument.isEmpty())
            continue;
        files.append(argument.startsWith(u'/') ? argument : AbsolutePath(argument));
    }
    return files;
}

bool CQuorvelApp::asksForHelp(const QStringList& arguments) {
    for (const QString& argument : arguments.mid(1)) {
        if (argument == QLatin1String("--"))
            return false;
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h"))
            return true;
    }
    return false;
}
