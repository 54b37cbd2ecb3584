#include "controls/linkopener.h"

#include <QDesktopServices>
#include <QUrl>

int32_t DesktopLinkOpener::Open(const QString& link) {
    const QUrl url(link.trimmed(), QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    // Only addresses of the web and mail; a local path or program must not be started from
    // a link text.
    if (!url.isValid() || url.isRelative() ||
        (scheme != "http" && scheme != "https" && scheme != "mailto")) {
        return kBadAddress;
    }
    return QDesktopServices::openUrl(url) ? kOpened : kNotOpened;
}
