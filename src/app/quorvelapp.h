#pragma once

#include <QApplication>

// The application object: names the settings store's company and runs the
// main window as a modal dialog; when the window ends, the program ends.
class CQuorvelApp : public QApplication {
    Q_OBJECT
public:
    // argv: the program's name and the options Qt may take; rest: "--" and
    // the arguments after it, which Qt never sees.
    CQuorvelApp(int& argc, char** argv, const QByteArrayList& rest = {});

    // Runs the main window, with the files named as arguments listed, until
    // it ends; its result is not looked at.
    int run();

    // The files named on the command line (arguments after the program's
    // name, Qt's own options removed already) as paths to add; a first "--"
    // only ends the options.
    static QStringList fileArguments(const QStringList& arguments);
    // Whether --help or -h comes before any "--" (asked before the
    // application object exists, which needs a display).
    static bool asksForHelp(const QStringList& arguments);
    static void printUsage();

private:
    QStringList m_arguments; // argv as the bytes given (see pathFromBytes)
};
