#include "controls/windowfonts.h"

#include <QFile>
#include <QFontDatabase>

namespace {

// fonts-wine installs outside fontconfig's folders, so the files are added to the application.
void RegisterWineFonts() {
    static const bool done = [] {
        for (const char* path : {"/usr/share/wine/fonts/tahoma.ttf", "/usr/share/wine/fonts/tahomabd.ttf"}) {
            if (QFile::exists(path)) {
                QFontDatabase::addApplicationFont(path);
            }
        }
        return true;
    }();
    (void)done;
}

}  // namespace

QFont WindowFont(const QString& family, double pointSize, bool bold) {
    RegisterWineFonts();
    QFont font;
    font.setFamilies({family, QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    font.setPointSizeF(pointSize);
    font.setBold(bold);
    return font;
}
