#pragma once
// One QApplication for the whole test program, offscreen unless a platform was chosen.
#include <QApplication>

inline QApplication& TestApp() {
    static int argc = 1;
    static char name[] = "test_controls";
    static char* argv[] = {name, nullptr};
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static QApplication app(argc, argv);
    return app;
}
