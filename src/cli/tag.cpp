#include <cstdio>

#include "cli/subcommands.h"

int RunTag(int, char**) {
    std::fprintf(stderr, "trimbel tag: not built yet\n");
    return 1;
}
