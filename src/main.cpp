#include "cli/cli.h"
#include "cli/windowprogram.h"

// No arguments: the windows. A file: the windows with that file open. A subcommand: no windows.
// The windows are a program of their own, so a subcommand never loads what they need.
int main(int argc, char** argv) {
    if (argc == 1 || IsFileToOpen(argc, argv)) return ExecWindowProgram(argv);
    return RunCli(argc, argv);
}
