#include "cutting/desktopapp.h"

// The window program, started by `trimbel` as `trimbel-window [FILE]`.
int main(int argc, char** argv) { return RunDesktop(argc, argv, argc == 2 ? argv[1] : nullptr); }
