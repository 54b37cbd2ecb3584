#include "cli/cli.h"
#include "cutting/desktopapp.h"

// No arguments: the windows. A subcommand: headless.
int main(int argc, char** argv) {
    if (argc > 1) return RunCli(argc, argv);
    return RunDesktop(argc, argv);
}
