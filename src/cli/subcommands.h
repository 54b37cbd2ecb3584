#pragma once
#include <QCommandLineOption>
#include <QString>

class QCommandLineParser;

// Every help text offers -h/--help in these words (and no Qt-specific options), so the help of
// the program and of each subcommand reads as one text.
inline constexpr char kHelpOptionText[] = "Show this help.";
QCommandLineOption HelpOption();

// Each subcommand gets its own argv with argv[0] = the subcommand's name.
int RunInfo(int argc, char** argv);
int RunTag(int argc, char** argv);
int RunCut(int argc, char** argv);
int RunSplit(int argc, char** argv);
int RunEdit(int argc, char** argv);
int RunGain(int argc, char** argv);

// The parser's help text with the usage line naming "trimbel NAME" (the parsers run before any
// QCoreApplication exists, so Qt cannot know the program's name).
QString SubcommandHelp(const QCommandLineParser& parser, const char* name);
