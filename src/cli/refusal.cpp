#include "cli/refusal.h"

#include <cstdio>

int RefuseAs(const char* command, const QString& text) {
    std::fprintf(stderr, "trimbel %s: %s\n", command, text.toLocal8Bit().constData());
    return kExitRefused;
}
