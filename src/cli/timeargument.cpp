#include "cli/timeargument.h"

#include <QStringList>
#include <cmath>

bool ParseTime(const QString& text, double* seconds) {
    double total = 0;
    const QStringList fields = text.trimmed().split(':');
    if (fields.size() > 3 || text.trimmed().isEmpty()) return false;
    for (const QString& f : fields) {
        bool ok = false;
        const double v = f.toDouble(&ok);
        if (!ok || !std::isfinite(v) || v < 0) return false;
        total = total * 60 + v;
    }
    *seconds = total;
    return true;
}
