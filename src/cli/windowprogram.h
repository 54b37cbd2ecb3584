#pragma once
#include <string>

// The window program's path: the program of that name in the folder this program was started
// from, so the pair works from the build tree and wherever it is installed.
std::string WindowProgramPath();

// Replaces this process by the window program, with `argv` (argv[0] kept, so the windows keep
// the name they were started under). Returns only when that fails: the exit code, after saying
// why on stderr.
int ExecWindowProgram(char** argv);
