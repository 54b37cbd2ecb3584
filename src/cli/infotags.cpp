#include "cli/infotags.h"

#include <QJsonValue>
#include <QString>

#include "id3/mdlid3.h"
#include "level/txxxtag.h"

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

// The level values that players and mp3gain keep in user text frames: ReplayGain and the undo
// record of a gain change.
QJsonValue LevelObject(const std::string& path) {
    std::vector<uint8_t> tag;
    if (!ReadLeadingTag(path, tag, nullptr) || tag.empty()) return QJsonValue(QJsonValue::Null);
    QJsonObject level;
    for (const char* name : {"REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK", "REPLAYGAIN_ALBUM_GAIN",
                             "REPLAYGAIN_ALBUM_PEAK", "MP3GAIN_UNDO"}) {
        if (const auto value = FindTxxx(tag, name)) level.insert(QString::fromLatin1(name).toLower(), Text(*value));
    }
    return level.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(level);
}

}  // namespace

void AddTagObjects(const std::string& path, QJsonObject& root) {
    root.insert("mpeg", MpegObject(path));
    root.insert("id3v1", Id3v1Object(path));
    root.insert("id3v2", Id3v2Object(path));
    root.insert("level", LevelObject(path));
}
