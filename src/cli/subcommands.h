#pragma once
// Each subcommand gets its own argv with argv[0] = the subcommand's name.
int RunInfo(int argc, char** argv);
int RunTag(int argc, char** argv);
int RunCut(int argc, char** argv);
