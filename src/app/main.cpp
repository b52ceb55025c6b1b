#include "app/quorvelapp.h"

int main(int argc, char** argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    if (CQuorvelApp::asksForHelp(arguments)) {
        CQuorvelApp::printUsage();
        return 0;
    }
    CQuorvelApp app(argc, argv);
    return app.run();
}
