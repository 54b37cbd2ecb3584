#include <cstdio>

#include "cli/subcommands.h"

int RunCut(int, char**) {
    std::fprintf(stderr, "trimbel cut: not built yet\n");
    return 1;
}
