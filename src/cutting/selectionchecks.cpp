#include "cutting/selectionchecks.h"

#include "cutting/module1.h"

namespace {

double Seconds(const QString& text) { return LeadingNumber(text.toStdString()); }

}  // namespace

std::optional<CheckFailure> CheckPlaySelection(const QString& path, const QString& start,
                                               const QString& end, const QString& length) {
    if (path.isEmpty()) return CheckFailure{kOpenFirst, MsgIcon::Error};
    if (start.isEmpty()) return CheckFailure{kStartMissing, MsgIcon::Exclamation};
    if (end.isEmpty()) return CheckFailure{kEndMissing, MsgIcon::Exclamation};
    if (!(Seconds(length) > 1)) return CheckFailure{kTooShort, MsgIcon::Error};
    return std::nullopt;
}

std::optional<CheckFailure> CheckSaveSelection(const QString& path, const QString& start,
                                               const QString& end, const QString& length) {
    if (path.isEmpty()) return CheckFailure{kOpenFirst, MsgIcon::Error};
    // An empty end display counts as 0 seconds here, so a fresh start above 0 fails this first.
    if (Seconds(start) > Seconds(end)) return CheckFailure{kEndBeforeStart, MsgIcon::Error};
    if (start.isEmpty()) return CheckFailure{kStartMissing, MsgIcon::Exclamation};
    if (end.isEmpty()) return CheckFailure{kEndMissing, MsgIcon::Exclamation};
    if (!(Seconds(length) > 1)) return CheckFailure{kTooShort, MsgIcon::Error};
    return std::nullopt;
}
