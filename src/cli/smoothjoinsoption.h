#pragma once
// --smooth-joins and --crossfade MS, as `edit` and `join` both take them.
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

struct SmoothJoinsOptions {
    QCommandLineOption smooth;
    QCommandLineOption crossfade;

    // `smoothHelp` is the --smooth-joins line of the help.
    explicit SmoothJoinsOptions(const QString& smoothHelp);
    // The options' values from `parser`; an empty text, or the refusal.
    QString Read(const QCommandLineParser& parser, bool* smoothJoins, int* crossfadeMs) const;
};
