#include "app/quorvelapp.h"

int main(int argc, char** argv) {
    CQuorvelApp app(argc, argv);
    return app.run();
}
