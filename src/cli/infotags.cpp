#include "cli/infotags.h"

#include <QJsonArray>
#include <QJsonValue>
#include <QString>

#include "id3/mdlid3.h"

namespace {

QString Text(const std::string& utf8) { return QString::fromStdString(utf8); }

QJsonObject MpegObject(const std::string& path) {
    mdlID3::MpegInfo info;
    bool found = mdlID3::ReadMpegInfo(path, info);
    return QJsonObject{
        {"found", found},
        {"version_text", Text(info.VersionText)},
        {"bitrate", info.Bitrate},
        {"frequency", info.Frequency},
        {"is_vbr", info.IsVbr},
        {"mode_text", Text(info.ModeText)},
        {"length", info.Length},
        {"uses_checksums", info.UsesChecksums},
        {"is_copyrighted", info.IsCopyrighted},
        {"is_original", info.IsOriginal},
        {"uses_emphasis", info.UsesEmphasis},
        {"id3v1_minor", info.ID3v1Minor},
        {"id3v2_major", info.ID3v2Major},
        {"file_size", static_cast<qint64>(info.FileSize)},
    };
}

QJsonValue Id3v1Object(const std::string& path) {
    mdlID3::ID3TagInfo info;
    if (!mdlID3::ReadID3v1Tag(path, info)) return QJsonValue(QJsonValue::Null);
    return QJsonObject{
        {"artist", Text(info.Artist)}, {"album", Text(info.Album)},     {"title", Text(info.Title)},
        {"year", Text(info.Year)},     {"genre", Text(info.Genre)},     {"comment", Text(info.Comment)},
        {"track", Text(info.Track)},
    };
}

QJsonValue Id3v2Object(const std::string& path) {
    mdlID3::ID3TagInfo info;
    if (!mdlID3::ReadID3v2Tag(path, info)) return QJsonValue(QJsonValue::Null);
    return QJsonObject{
        {"artist", Text(info.Artist)},
        {"album", Text(info.Album)},
        {"title", Text(info.Title)},
        {"year", Text(info.Year)},
        {"genre", Text(info.Genre)},
        {"comment", Text(info.Comment)},
        {"track", Text(info.Track)},
        {"encoder", Text(info.Encoder)},
        {"link_to", Text(info.LinkTo)},
        {"copyright", Text(info.Copyright)},
        {"composer", Text(info.Composer)},
        {"orig_artist", Text(info.OrigArtist)},
    };
}

QJsonArray ChaptersArray(const std::string& path) {
    std::vector<mdlID3::Chapter> chapters;
    mdlID3::ReadChapters(path, chapters);
    QJsonArray list;
    for (const mdlID3::Chapter& c : chapters)
        list.append(QJsonObject{{"start_ms", static_cast<qint64>(c.StartMs)},
                                {"end_ms", static_cast<qint64>(c.EndMs)},
                                {"title", Text(c.Title)}});
    return list;
}

}  // namespace

void AddTagObjects(const std::string& path, QJsonObject& root) {
    root.insert("mpeg", MpegObject(path));
    root.insert("id3v1", Id3v1Object(path));
    root.insert("id3v2", Id3v2Object(path));
    root.insert("chapters", ChaptersArray(path));
}
