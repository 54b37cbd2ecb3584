#pragma once
// One QApplication for the whole test program, offscreen unless a platform was chosen. It is
// created before the first test and destroyed after the last, before static destruction
// (a QApplication torn down among the exit-time statics crashes).
#include <QApplication>

QApplication& TestApp();
