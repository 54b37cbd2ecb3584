#include "cli/cli.h"
#include "cutting/desktopapp.h"

// No arguments: the windows. A file: the windows with that file open. A subcommand: headless.
int main(int argc, char** argv) {
    if (IsFileToOpen(argc, argv)) return RunDesktop(argc, argv, argv[1]);
    if (argc > 1) return RunCli(argc, argv);
    return RunDesktop(argc, argv);
}
