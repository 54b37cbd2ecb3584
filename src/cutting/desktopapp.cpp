#include "cutting/desktopapp.h"

#include <QApplication>
#include <QLabel>

int RunDesktop(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel placeholder("Trimbel");
    placeholder.show();
    return app.exec();
}
