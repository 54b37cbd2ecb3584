#pragma once
// Headless entry point: `trimbel SUBCOMMAND ...`. Returns the process exit code.
int RunCli(int argc, char** argv);
