#pragma once
// Headless entry point: `trimbel SUBCOMMAND ...`. Returns the process exit code.
int RunCli(int argc, char** argv);

// True for `trimbel FILE`: one argument that names no subcommand or option and is an existing
// file, which the window then opens (what a desktop file manager runs).
bool IsFileToOpen(int argc, char** argv);
