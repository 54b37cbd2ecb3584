#include "tageditor/techlines.h"

namespace tageditor {

namespace {

QString YesNo(bool value) { return value ? QStringLiteral("yes") : QStringLiteral("no"); }

}  // namespace

TechnicalLines DescribeMpegInfo(const mdlID3::MpegInfo& info) {
    TechnicalLines lines;
    lines.mpeg = QString::fromStdString(info.VersionText);
    lines.length = QStringLiteral("Length: %1:%2")
                       .arg(info.Length / 60)
                       .arg(info.Length % 60, 2, 10, QLatin1Char('0'));
    lines.bitrate = QStringLiteral("Bitrate: %1 kbit / sec, %2")
                        .arg(info.Bitrate)
                        .arg(info.IsVbr && !info.HasInfoHeader ? QStringLiteral("variable bit rate")
                                                               : QStringLiteral("constant bit rate"));
    lines.frequency = QStringLiteral("Frequency: %1 hz, %2")
                          .arg(info.Frequency)
                          .arg(QString::fromStdString(info.ModeText).toLower());
    lines.copyrighted = QStringLiteral("Copyrighted: ") + YesNo(info.IsCopyrighted);
    lines.original = QStringLiteral("Original: ") + YesNo(info.IsOriginal);
    lines.checksums = QStringLiteral("Uses checksums: ") + YesNo(info.UsesChecksums);
    lines.emphasis = QStringLiteral("Uses emphasis: ") + YesNo(info.UsesEmphasis);
    lines.v1 = QStringLiteral("ID3 v1 tag: ") +
               (info.ID3v1Minor == -1 ? QStringLiteral("none") : QStringLiteral("version 1.%1").arg(info.ID3v1Minor));
    lines.v2 = QStringLiteral("ID3 v2 tag: ") +
               (info.ID3v2Major == -1 ? QStringLiteral("none") : QStringLiteral("version 2.%1").arg(info.ID3v2Major));
    return lines;
}

}  // namespace tageditor
