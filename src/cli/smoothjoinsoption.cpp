#include "cli/smoothjoinsoption.h"

SmoothJoinsOptions::SmoothJoinsOptions(const QString& smoothHelp)
    : smooth("smooth-joins", smoothHelp),
      crossfade("crossfade", "Crossfade of smooth joins in milliseconds (0-100, default 5).", "MS", "5") {}

QString SmoothJoinsOptions::Read(const QCommandLineParser& parser, bool* smoothJoins, int* crossfadeMs) const {
    *smoothJoins = parser.isSet(smooth);
    bool ok = false;
    *crossfadeMs = parser.value(crossfade).toInt(&ok);
    if (!ok || *crossfadeMs < 0 || *crossfadeMs > 100) return "--crossfade takes whole milliseconds from 0 to 100";
    if (parser.isSet(crossfade) && !*smoothJoins) return "--crossfade needs --smooth-joins";
    return {};
}
