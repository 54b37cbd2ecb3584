// A clip saved with its tags in the same pass is byte for byte the clip that the tag editor's
// write on the finished clip makes, for every kind of source tag, range and editor setting.
#include <filesystem>

#include <gtest/gtest.h>

#include "clips/cleancut.h"
#include "id3/id3v1.h"
#include "id3/id3v2write.h"
#include "models/clipsave.h"
#include "models/tageditor.h"
#include "support/testfiles.h"

namespace {

using namespace testfiles;

// Bytes that differ from one position to the next, so a misplaced copy shows.
Bytes Counting(size_t size) {
    Bytes bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + i / 256);
    return bytes;
}

enum class SourceTags { None, V23AndV1, V24, V1Only };

void TagSource(const std::string& path, SourceTags kind) {
    mdlID3::ID3TagInfo info;
    info.Artist = "Band";
    info.Title = "Söng";
    info.Album = "Record";
    info.Year = "1999";
    info.Genre = "Rock";
    info.Track = "4/9";
    if (kind == SourceTags::V23AndV1 || kind == SourceTags::V24) {
        const int version = kind == SourceTags::V24 ? mdlID3::kWriteV24 : mdlID3::kWriteV23;
        ASSERT_TRUE(mdlID3::WriteID3v2Tag(path, info, version, true, false));
    }
    if (kind == SourceTags::V23AndV1 || kind == SourceTags::V1Only) {
        ASSERT_TRUE(mdlID3::WriteID3v1Tag(path, info, false));
    }
}

class ClipTagsPass : public ::testing::TestWithParam<SourceTags> {
protected:
    // The editor as the cutting window leaves it after opening `source`, with the given settings.
    void Load(const std::string& source, int version, bool v1) {
        editor.LoadFile(source, "song.mp3");
        editor.SetVersion(version);
        editor.SetV1Checked(v1);
        editor.SetField(TagField::v2Comment, "Ünïcode comment");
    }
    ClipFinisher WriteInto() {
        return [this](const std::string& clip, std::string* why) { return editor.WriteInto(clip, why); };
    }
    // Saves the classic clip both ways: the same bytes, or the same failure and no clip.
    // Returns the one-pass clip.
    Bytes BothWays(const std::string& source, double start, double length) {
        ClipTags tags;
        EXPECT_TRUE(editor.TagsForClip(&tags));
        std::filesystem::remove(dir.file("one.mp3"));
        std::filesystem::remove(dir.file("two.mp3"));
        std::string twoError, oneError;
        const bool two = SaveClip(source, dir.file("two.mp3"), start, length, WriteInto(), &twoError);
        const bool one = SaveClip(source, dir.file("one.mp3"), start, length, WriteInto(), &oneError, &tags);
        EXPECT_EQ(one, two) << start << " " << length;
        EXPECT_EQ(oneError, twoError);
        EXPECT_EQ(std::filesystem::exists(dir.file("one.mp3")), one);
        if (!one || !two) return {};
        const Bytes clip = ReadFile(dir.file("one.mp3"));
        EXPECT_EQ(clip, ReadFile(dir.file("two.mp3"))) << start << " " << length;
        return clip;
    }
    TempDir dir;
    TagEditor editor;
};

TEST_P(ClipTagsPass, ClassicRangesGiveTheTwoStepBytes) {
    const std::string source = dir.file("song.mp3");
    WriteFile(source, Counting(20000));
    TagSource(source, GetParam());
    const double size = static_cast<double>(ReadFile(source).size());
    for (int version : {0, 1}) {
        for (bool v1 : {false, true}) {
            SCOPED_TRACE(testing::Message() << "version " << version << " v1 " << v1);
            Load(source, version, v1);
            const Bytes middle = BothWays(source, 5000, 3000);
            ASSERT_GT(middle.size(), 3000u);
            EXPECT_EQ(Bytes(middle.begin(), middle.begin() + 3), FromString("ID3"));
            BothWays(source, size - 4000, 8000);  // to the end: the source's own v1 tag, if any
            BothWays(source, 1, 5000);            // from the first byte: the source's tag, if any
            BothWays(source, 1, 500);             // ... cut inside it: refused both ways
            BothWays(source, 100, 50);            // shorter than a v1 tag
            BothWays(source, size - 127, 200);    // the end, shorter than a v1 tag
        }
    }
}

TEST_P(ClipTagsPass, WholeFrameClipsGiveTheTwoStepBytes) {
    const std::string source = dir.file("song.mp3");
    WriteFile(source, SilentFrames(200));
    TagSource(source, GetParam());
    for (bool v1 : {false, true}) {
        Load(source, 0, v1);
        ClipTags tags;
        ASSERT_TRUE(editor.TagsForClip(&tags));
        for (auto [from, to] : {std::pair{0.0, 1.0}, {2.0, 5.5}, {4.0, 99.0}}) {
            std::string error;
            ASSERT_TRUE(SaveCleanClip(source, from, to, dir.file("two.mp3"), &error, nullptr, WriteInto())) << error;
            ASSERT_TRUE(SaveCleanClip(source, from, to, dir.file("one.mp3"), &error, nullptr, WriteInto(), &tags))
                << error;
            EXPECT_EQ(ReadFile(dir.file("one.mp3")), ReadFile(dir.file("two.mp3"))) << from << ".." << to;
        }
    }
}

TEST(ClipTagsPassLong, AClipLongerThanOneWriteGetsItsHeaderFrameInPlace) {
    // Over 1 MiB of frames: the header frame is written before its CRC is known and put in after.
    TempDir dir;
    const std::string source = dir.file("long.mp3");
    WriteFile(source, SilentFrames(4000));
    TagSource(source, SourceTags::V23AndV1);
    TagEditor editor;
    editor.LoadFile(source, "long.mp3");
    ClipTags tags;
    ASSERT_TRUE(editor.TagsForClip(&tags));
    const ClipFinisher writeInto = [&](const std::string& clip, std::string* why) { return editor.WriteInto(clip, why); };
    std::string error;
    CleanClipResult result;
    ASSERT_TRUE(SaveCleanClip(source, 1.0, 99.0, dir.file("two.mp3"), &error, &result, writeInto)) << error;
    ASSERT_GT(result.bytes, 1u << 20);
    ASSERT_TRUE(SaveCleanClip(source, 1.0, 99.0, dir.file("one.mp3"), &error, nullptr, writeInto, &tags)) << error;
    EXPECT_EQ(ReadFile(dir.file("one.mp3")), ReadFile(dir.file("two.mp3")));
    ASSERT_TRUE(SaveCleanClip(source, 1.0, 99.0, dir.file("bare.mp3"), &error)) << error;
    const Bytes bare = ReadFile(dir.file("bare.mp3"));
    ASSERT_EQ(bare.size(), result.bytes);
    EXPECT_EQ(Bytes(bare.begin(), bare.begin() + 2), (Bytes{0xFF, 0xFB}));  // the header frame, not a gap
}

INSTANTIATE_TEST_SUITE_P(Sources, ClipTagsPass,
                         ::testing::Values(SourceTags::None, SourceTags::V23AndV1, SourceTags::V24, SourceTags::V1Only));

TEST(ClipTagsPass, ARangeEndingInAV1TagHasItReplacedOrRemoved) {
    TempDir dir;
    const Bytes tail = Id3v1Tag("Old", "Old", "Old", "1990", "", 1);
    const std::string source = dir.file("song.mp3");
    WriteFile(source, Concat({Counting(5000), tail}));
    TagEditor editor;
    editor.LoadFile(source, "song.mp3");
    ASSERT_TRUE(editor.V1Checked());
    editor.SetField(TagField::v1Title, "New");
    ClipTags tags;
    ASSERT_TRUE(editor.TagsForClip(&tags));
    EXPECT_EQ(tags.v1, ClipTags::V1::Write);
    std::string error;
    ASSERT_TRUE(SaveClip(source, dir.file("clip.mp3"), 1001, 9000, {}, &error, &tags)) << error;
    const Bytes clip = ReadFile(dir.file("clip.mp3"));
    ASSERT_EQ(clip.size(), tags.v2.size() + 4000 + 128);  // the old tag replaced, not kept
    EXPECT_EQ(Bytes(clip.end() - 128, clip.end()), Bytes(tags.v1Tag.begin(), tags.v1Tag.end()));

    editor.SetV1Checked(false);
    ASSERT_TRUE(editor.TagsForClip(&tags));
    EXPECT_EQ(tags.v1, ClipTags::V1::Remove);
    ASSERT_TRUE(SaveClip(source, dir.file("clip2.mp3"), 1001, 9000, {}, &error, &tags)) << error;
    const Bytes removed = ReadFile(dir.file("clip2.mp3"));
    const Bytes audio = Counting(5000);
    EXPECT_EQ(removed, Concat({tags.v2, Bytes(audio.begin() + 1000, audio.end())}));
}

TEST(ClipTagsPass, EditorsWithStepsOfTheirOwnWriteOnTheFinishedClip) {
    TagWriteSteps steps = TagWriteSteps::Library();
    steps.library = false;  // as a test's steps that fail on purpose
    TagEditor editor(steps);
    ClipTags tags;
    EXPECT_FALSE(editor.TagsForClip(&tags));
}

}  // namespace
