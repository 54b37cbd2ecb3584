#include <cstring>

#include "cli/checkedoutput.h"
#include "cli/subcommands.h"
#include "cutting/desktopapp.h"

// The window program, started by `trimbel` as `trimbel-window [FILE]`. It also runs `cut` for
// the command line, which hands that subcommand over while the clip's tags are written through
// the tag editor's window code.
int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "cut") == 0)
        return FinishOutput(RunCut(argc - 1, argv + 1), "trimbel cut");
    return RunDesktop(argc, argv, argc == 2 ? argv[1] : nullptr);
}
