#include "cutting/qtclock.h"

#include <QDateTime>
#include <QLocale>

QString QtClock::GeneralDateTime() const {
    const QDateTime now = QDateTime::currentDateTime();
    const QLocale locale = QLocale::system();
    return locale.toString(now.date(), QLocale::ShortFormat) + " " + locale.toString(now.time(), QLocale::LongFormat);
}
