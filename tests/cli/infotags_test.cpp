// The "mpeg", "id3v1" and "id3v2" objects of `trimbel info --json`.
#include <gtest/gtest.h>

#include <QJsonObject>

#include "cli/infotags.h"
#include "support/testfiles.h"

using namespace testfiles;

namespace {

Bytes V23TagWithTitle(const Bytes& utf16Title) {
    const auto frameSize = static_cast<uint8_t>(utf16Title.size() + 1);
    Bytes tag{'I', 'D', '3', 3, 0, 0, 0, 0, 0, static_cast<uint8_t>(10 + frameSize),
              'T', 'I', 'T', '2', 0, 0, 0, frameSize, 0, 0, 1};
    for (uint8_t b : utf16Title) tag.push_back(b);
    return tag;
}

}  // namespace

TEST(InfoTags, ObjectsForATaggedFile) {
    TempDir dir;
    auto path = dir.file("a.mp3");
    // Title "Жa" in UTF-16 with byte order mark.
    Bytes file = Concat({V23TagWithTitle({0xFF, 0xFE, 0x16, 0x04, 'a', 0}), SilentFrames(10),
                         Id3v1Tag("v1 title", "v1 artist", "", "1999", "c", 17, 5)});
    WriteFile(path, file);
    QJsonObject root;
    AddTagObjects(path, root);

    QJsonObject mpeg = root.value("mpeg").toObject();
    EXPECT_TRUE(mpeg.value("found").toBool());
    EXPECT_EQ(mpeg.value("version_text").toString(), "version 1 layer 3");
    EXPECT_EQ(mpeg.value("bitrate").toInt(), 128);
    EXPECT_EQ(mpeg.value("frequency").toInt(), 44100);
    EXPECT_EQ(mpeg.value("mode_text").toString(), "Joint stereo");
    EXPECT_EQ(mpeg.value("id3v1_minor").toInt(), 1);
    EXPECT_EQ(mpeg.value("id3v2_major").toInt(), 3);
    EXPECT_EQ(mpeg.value("file_size").toInteger(), static_cast<qint64>(file.size()));
    for (const char* key : {"is_vbr", "length", "uses_checksums", "is_copyrighted", "is_original", "uses_emphasis"})
        EXPECT_TRUE(mpeg.contains(key)) << key;

    QJsonObject v1 = root.value("id3v1").toObject();
    EXPECT_EQ(v1.value("title").toString(), "v1 title");
    EXPECT_EQ(v1.value("artist").toString(), "v1 artist");
    EXPECT_EQ(v1.value("genre").toString(), "Rock");
    EXPECT_EQ(v1.value("track").toString(), "5");
    EXPECT_EQ(v1.size(), 7);

    QJsonObject v2 = root.value("id3v2").toObject();
    EXPECT_EQ(v2.value("title").toString(), QString::fromUtf8("\xD0\x96" "a"));
    EXPECT_EQ(v2.value("artist").toString(), "");
    EXPECT_EQ(v2.size(), 12);
    for (const char* key : {"encoder", "link_to", "copyright", "composer", "orig_artist"})
        EXPECT_TRUE(v2.contains(key)) << key;
}

TEST(InfoTags, NullWhenThereIsNoTag) {
    TempDir dir;
    auto path = dir.file("plain.mp3");
    WriteFile(path, SilentFrames(3));
    QJsonObject root;
    AddTagObjects(path, root);
    EXPECT_TRUE(root.value("id3v1").isNull());
    EXPECT_TRUE(root.value("id3v2").isNull());
    EXPECT_EQ(root.value("mpeg").toObject().value("id3v1_minor").toInt(), -1);
    EXPECT_EQ(root.value("mpeg").toObject().value("id3v2_major").toInt(), -1);
}
