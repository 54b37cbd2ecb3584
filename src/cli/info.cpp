#include <cstdio>

#include "cli/subcommands.h"

int RunInfo(int, char**) {
    std::fprintf(stderr, "trimbel info: not built yet\n");
    return 1;
}
