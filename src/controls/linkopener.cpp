#include "controls/linkopener.h"

#include <QDesktopServices>
#include <QUrl>

bool DesktopLinkOpener::IsOpenableAddress(const QString& link) {
    const QUrl url(link.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || url.isRelative()) {
        return false;
    }
    if (scheme == "mailto") {
        return !url.path().isEmpty();
    }
    return (scheme == "http" || scheme == "https") && !url.host().isEmpty();
}

int32_t DesktopLinkOpener::Open(const QString& link) {
    if (!IsOpenableAddress(link)) {
        return kBadAddress;
    }
    return QDesktopServices::openUrl(QUrl(link.trimmed(), QUrl::StrictMode)) ? kOpened : kNotOpened;
}
