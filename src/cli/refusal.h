#pragma once
// The exit codes of the subcommands and the line they print when they refuse their arguments.
#include <QString>

constexpr int kExitFailed = 1;
constexpr int kExitRefused = 2;

// Prints "trimbel <command>: <text>" on standard error and gives kExitRefused.
int RefuseAs(const char* command, const QString& text);
