#include "app/ApplicationShell.h"

#include <QApplication>
#include <QMainWindow>

#include <cstdio>
#include <cstring>

bool displayAvailable() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

int runApplication(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            std::printf("Vistrelle %s\n", VISTRELLE_VERSION);
            return 0;
        }
    }
    if (!displayAvailable()) {
        std::fprintf(stderr,
                     "Vistrelle needs a graphical display, and none was found (DISPLAY and WAYLAND_DISPLAY are "
                     "unset).\nRun it from a desktop session, or on a headless machine under a virtual display:\n"
                     "  xvfb-run -a ./scripts/run\n");
        return 1;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Vistrelle");
    QApplication::setApplicationVersion(VISTRELLE_VERSION);

    QMainWindow window;
    window.setObjectName("window");
    window.setWindowTitle("Vistrelle");
    window.resize(1024, 680);
    window.show();
    return app.exec();
}
