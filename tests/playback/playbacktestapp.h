#pragma once
// The application object the engine's tests need (an event loop for the sink and the timers).
#include <QCoreApplication>

inline QCoreApplication* TestApp() {
    static QCoreApplication* app = [] {
        static int argc = 1;
        static char name[] = "test_playback";
        static char* argv[] = {name, nullptr};
        return new QCoreApplication(argc, argv);
    }();
    return app;
}
