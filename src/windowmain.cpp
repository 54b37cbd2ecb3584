#include "cutting/desktopapp.h"
#include "playback/exitwithoutteardown.h"

// The window program, started by `trimbel` as `trimbel-window [FILE]`. By the time RunDesktop
// returns the windows are closed and the settings written.
int main(int argc, char** argv) { ExitWithoutTeardown(RunDesktop(argc, argv, argc == 2 ? argv[1] : nullptr)); }
