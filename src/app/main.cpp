#include "app/quorvelapp.h"
#include "apply/processguards.h"

#include <algorithm>

int main(int argc, char** argv) {
    // Nothing is printed to a closed standard output: the window is the
    // program's output, and Qt's warnings go to standard error.
    OccupyClosedStandardDescriptors();
    FailWritesPastSizeLimit();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (CQuorvelApp::asksForHelp(arguments)) {
        CQuorvelApp::printUsage();
        return 0;
    }
    // Qt takes its own options (-style, -reverse, ...) out of what it is
    // given, after "--" too: it is given only what comes before.
    char** const end = argv + argc;
    char** const files =
        std::find_if(argv + 1, end, [](const char* a) { return qstrcmp(a, "--") == 0; });
    const QByteArrayList rest(files, end);
    int qtArgc = int(files - argv);
    CQuorvelApp app(qtArgc, argv, rest);
    return app.run();
}
