// The tag editor model without any window: fields and their limits, the load, and Update Info as
// one step that either changes the file wholly or leaves it as it was.
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>

#include "id3/id3v1.h"
#include "models/tagdefaults.h"
#include "models/tageditor.h"
#include "models/tagfilesnapshot.h"
#include "support/testfiles.h"

using namespace testfiles;

namespace {

const std::string kHome = tageditor::kMakerHomePage;

mode_t Mode(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0);
    return st.st_mode & 07777;
}

class TagEditorTest : public ::testing::Test {
protected:
    std::string Mp3(const std::string& name, const Bytes& data) {
        const std::string path = dir.file(name);
        WriteFile(path, data);
        return path;
    }
    TempDir dir;
};

TEST(TagEditorFields, KeepTheirLimitsCountedAsTheTextBoxesCount) {
    const struct {
        TagField field;
        std::string typed, kept;
    } cases[] = {
        {TagField::v1Title, std::string(31, 'x'), std::string(30, 'x')},
        {TagField::v1Comment, std::string(30, 'c'), std::string(28, 'c')},
        {TagField::v2Year, "2004-05-01", "2004"},
        {TagField::v2Title, std::string(300, 'y'), std::string(300, 'y')},
        // Characters, not bytes; one outside the basic plane takes two of the three places.
        {TagField::v2TNR, "\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", "\xC3\xA9\xC3\xA9\xC3\xA9"},
        {TagField::v2TNR, "\xF0\x9F\x98\x80xy", "\xF0\x9F\x98\x80x"},
        // The comment box knows only LF as a line break.
        {TagField::v2Comment, "a\r\nb\rc\nd\xC2\xA0" "e\xE2\x80\xA8" "f", "a\nb\nc\nd e\nf"},
        // The version 1 genre is a choice from the list, matched exactly.
        {TagField::v1Genre, "Rock", "Rock"},
        {TagField::v1Genre, "rock", ""},
    };
    for (const auto& c : cases) {
        TagEditor editor;
        editor.SetField(c.field, c.typed);
        EXPECT_EQ(editor.Field(c.field), c.kept) << c.typed;
        if (c.field == TagField::v1Genre) {
            EXPECT_EQ(editor.V1GenreIndex(), c.kept.empty() ? 0 : 18);
        }
    }
}

TEST_F(TagEditorTest, LoadFillsVersion1FieldsDefaultsAndTechnicalLines) {
    const std::string path =
        Mp3("song.mp3", Concat({SilentFrames(40), Id3v1Tag("Song", "Band", "Record", "1999", "nice", 17, 7)}));
    TagEditor editor;
    int changes = 0;
    editor.SetChangeListener([&] { ++changes; });
    editor.LoadFile("  " + path + std::string(1, '\0') + "other.mp3 ", "song.mp3");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(editor.CurrentPath(), path);
    EXPECT_TRUE(editor.Loaded());
    EXPECT_TRUE(editor.V1Checked());
    EXPECT_FALSE(editor.V2Checked());
    EXPECT_EQ(editor.Field(TagField::v1Title), "Song");
    EXPECT_EQ(editor.Field(TagField::v1TNR), "7");
    EXPECT_EQ(editor.Field(TagField::v1Genre), "Rock");
    EXPECT_EQ(editor.Field(TagField::v2Album), "song.mp3 " + kHome);
    EXPECT_EQ(editor.Field(TagField::v2Title), kHome + "--MP3 Cut by Velkor Trimbel");
    EXPECT_EQ(editor.Field(TagField::v2TNR), "1");
    EXPECT_EQ(editor.Field(TagField::v2Comment), kHome + "  MP3 Cut by Velkor Trimbel");
    EXPECT_EQ(editor.Field(TagField::v2Encoder), "Velkor Trimbel");
    EXPECT_EQ(editor.Field(TagField::v2Year), "");
    EXPECT_EQ(editor.Technical().v1, "ID3 v1 tag: version 1.1");
    EXPECT_EQ(editor.Technical().v2, "ID3 v2 tag: none");
    EXPECT_EQ(editor.Technical().frequency, "Frequency: 44100 hz, joint stereo");
    EXPECT_EQ(editor.Technical().length, "Length: 0:01");

    // Showing points the editor at the file and puts the version 2 fields in view, nothing else.
    editor.SetField(TagField::v2Title, "Edited");
    editor.ShowFor(path, "song.mp3");
    EXPECT_TRUE(editor.V2Checked());
    EXPECT_EQ(editor.Field(TagField::v2Title), "Edited");
    EXPECT_EQ(changes, 2);
}

TEST_F(TagEditorTest, AClipHandOverWritesTheFieldsAndLeavesTheHolderOnTheSource) {
    const std::string source = Mp3("song.mp3", Concat({SilentFrames(20), Id3v1Tag("Song", "Band", "Rec", "1999", "", 17)}));
    TagEditor editor;
    editor.LoadFile(source, "song.mp3");
    const Bytes sourceBytes = ReadFile(source);
    const Bytes audio = SilentFrames(5);
    const std::string clip = Mp3("clip.mp3", audio);
    std::string error;
    ASSERT_TRUE(editor.WriteInto(clip, &error)) << error;
    EXPECT_EQ(editor.PathHolder(), source);
    EXPECT_EQ(ReadFile(source), sourceBytes);
    const Bytes after = ReadFile(clip);
    ASSERT_GT(after.size(), audio.size() + 128 + 10);
    EXPECT_EQ(Bytes(after.begin(), after.begin() + 3), FromString("ID3"));
    EXPECT_EQ(Bytes(after.end() - 128, after.end()), Id3v1Tag("Song", "Band", "Rec", "1999", "", 17));
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), after.end() - 128 - static_cast<long>(audio.size())));
}

TEST_F(TagEditorTest, EmptyAndTinyFilesAreTaggedAndReportSuccess) {
    for (size_t size : {0, 1, 127}) {
        const std::string path = Mp3("tiny" + std::to_string(size) + ".mp3", Bytes(size, 0x55));
        TagEditor editor;
        editor.LoadFile(path, "tiny.mp3");
        ASSERT_FALSE(editor.V1Checked());
        const Notice notice = editor.UpdateInfo();
        EXPECT_EQ(notice.text, "MP3 Properties have been modified.") << size;
        EXPECT_EQ(notice.icon, NoticeIcon::Information);
        const Bytes after = ReadFile(path);
        ASSERT_GT(after.size(), size);
        EXPECT_EQ(Bytes(after.end() - static_cast<long>(size), after.end()), Bytes(size, 0x55));
    }
}

TEST_F(TagEditorTest, UpdateInfoRefreshesTheTechnicalLinesItChangedAndSaysWhenThereIsNoFile) {
    const std::string path = Mp3("bare.mp3", SilentFrames(20));
    TagEditor editor;
    editor.LoadFile(path, "bare.mp3");
    ASSERT_EQ(editor.Technical().v2, "ID3 v2 tag: none");
    const std::string lengthBefore = editor.Technical().length;
    ASSERT_EQ(editor.UpdateInfo().icon, NoticeIcon::Information);
    EXPECT_EQ(editor.Technical().v2, "ID3 v2 tag: version 2.3");
    EXPECT_EQ(editor.Technical().v1, "ID3 v1 tag: none");
    EXPECT_EQ(editor.Technical().length, lengthBefore);
    // A failed write leaves the lines as the file still is, and creates no file.
    editor.SetPathHolder(dir.file("missing.mp3"));
    const Notice notice = editor.UpdateInfo();
    EXPECT_EQ(notice.icon, NoticeIcon::Error);
    EXPECT_EQ(notice.text, "The MP3 tags could not be written to missing.mp3.\nThe file does not exist.");
    EXPECT_EQ(editor.Technical().v2, "ID3 v2 tag: version 2.3");
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.mp3")));
    editor.SetPathHolder("   ");
    std::string error;
    EXPECT_FALSE(editor.Write(&error));
    EXPECT_EQ(error, "No MP3 file is selected.");
}

// A file in the state Update Info starts from: a version 2 tag with room to spare (so the next
// tag is written in place), audio, and a version 1 tag; read-only.
class AllOrNothingTest : public TagEditorTest {
protected:
    void SetUp() override {
        path = Mp3("song.mp3", Concat({SilentFrames(30), Id3v1Tag("Old", "Band", "Rec", "1999", "", 17, 2)}));
        TagEditor first;
        first.LoadFile(path, "song.mp3");
        std::string error;
        ASSERT_TRUE(first.Write(&error)) << error;
        ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
        before = ReadFile(path);
    }

    // Update Info with `steps`, after an edit of both tags; expects a failure that left the file.
    void ExpectFailureLeavesTheFile(const TagWriteSteps& steps, bool v1Checked, const std::string& what) {
        TagEditor editor(steps);
        editor.LoadFile(path, "song.mp3");
        editor.SetV1Checked(v1Checked);
        editor.SetField(TagField::v1Title, "New v1 title");
        editor.SetField(TagField::v2Title, "New v2 title");
        const Notice notice = editor.UpdateInfo();
        EXPECT_EQ(notice.icon, NoticeIcon::Error) << what;
        EXPECT_NE(notice.text.find("could not be"), std::string::npos) << notice.text;
        EXPECT_NE(notice.text.find("The file was left as it was."), std::string::npos) << notice.text;
        EXPECT_EQ(ReadFile(path), before) << what;
        EXPECT_EQ(Mode(path), 0444u) << what;
    }

    std::string path;
    Bytes before;
};

TEST_F(AllOrNothingTest, EveryStepThatFailsAfterChangingTheFileIsUndone) {
    const TagWriteSteps real = TagWriteSteps::Library();

    TagWriteSteps steps = real;
    steps.makeWritable = [&](const std::string& p) { return real.makeWritable(p) && false; };
    ExpectFailureLeavesTheFile(steps, true, "permission bits");

    steps = real;
    steps.removeV1 = [&](const std::string& p) { return real.removeV1(p) && false; };
    ExpectFailureLeavesTheFile(steps, false, "version 1 removed");

    steps = real;
    steps.writeV1 = [&](const std::string& p, const mdlID3::ID3TagInfo& info) { return real.writeV1(p, info) && false; };
    ExpectFailureLeavesTheFile(steps, true, "version 1 written");

    // The version 2 step fails after the version 1 step changed the end of the file, once with
    // its own bytes written in place and once without.
    for (bool v1Checked : {true, false}) {
        steps = real;
        steps.writeV2 = [&](const std::string& p, const mdlID3::ID3TagInfo& info, int version, bool clear) {
            return real.writeV2(p, info, version, clear) && false;
        };
        ExpectFailureLeavesTheFile(steps, v1Checked, "version 2 written in place");
        steps.writeV2 = [](const std::string&, const mdlID3::ID3TagInfo&, int, bool) { return false; };
        ExpectFailureLeavesTheFile(steps, v1Checked, "version 2 refused");
    }
}

TEST_F(AllOrNothingTest, AVersion1TagAppendedToAFileWithoutOneIsCutOffAgain) {
    const TagWriteSteps real = TagWriteSteps::Library();
    // No version 1 tag now: the write appends one before the version 2 step fails.
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_TRUE(mdlID3::RemoveID3v1Tag(path, false));
    ASSERT_EQ(::chmod(path.c_str(), 0444), 0);
    before = ReadFile(path);
    TagWriteSteps steps = real;
    steps.writeV2 = [](const std::string&, const mdlID3::ID3TagInfo&, int, bool) { return false; };
    ExpectFailureLeavesTheFile(steps, true, "version 1 appended");
}

TEST_F(AllOrNothingTest, ASuccessfulWriteLeavesTheFileWritableAsItAlwaysDid) {
    TagEditor editor;
    editor.LoadFile(path, "song.mp3");
    editor.SetField(TagField::v2Title, "New v2 title");
    std::string error;
    ASSERT_TRUE(editor.Write(&error)) << error;
    EXPECT_EQ(Mode(path), 0644u);
    EXPECT_NE(ReadFile(path), before);
    TagEditor reread;
    reread.LoadFile(path, "song.mp3");
    EXPECT_EQ(reread.Field(TagField::v2Title), "New v2 title");
    EXPECT_EQ(reread.Field(TagField::v1Title), "Old");
}

}  // namespace

namespace {

TEST_F(TagEditorTest, ASnapshotPutsBackOnlyWhatItCanAndNeverPatchesAnotherFile) {
    // An ID3v2.3 header declaring 10 bytes of padding, audio, a version 1 tag.
    Bytes v2 = FromString("ID3");
    v2.insert(v2.end(), {3, 0, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    const Bytes original = Concat({v2, SilentFrames(10), Id3v1Tag("T", "A", "B", "2000", "", 1)});
    const std::string path = Mp3("song.mp3", original);
    TagFileSnapshot snapshot;
    std::string error;
    ASSERT_TRUE(snapshot.Take(path, &error)) << error;
    EXPECT_TRUE(snapshot.HadV1Tag());

    // The tag cut off and the version 2 tag overwritten in place: both come back.
    Bytes changed(original.begin(), original.end() - 128);
    changed[15] = 'X';
    WriteFile(path, changed);
    EXPECT_TRUE(snapshot.Restore());
    EXPECT_EQ(ReadFile(path), original);

    // A different file renamed into its place is complete in itself: not patched, and reported.
    const std::string other = Mp3("other.mp3", SilentFrames(3));
    std::filesystem::rename(other, path);
    EXPECT_FALSE(snapshot.Restore());
    EXPECT_EQ(ReadFile(path), SilentFrames(3));

    EXPECT_FALSE(snapshot.Take(dir.file("missing.mp3"), &error));
    EXPECT_EQ(error, "The file does not exist.");
    EXPECT_FALSE(snapshot.Take(dir.path().string(), &error));
    EXPECT_EQ(error, "It is not a file.");
}

TEST_F(TagEditorTest, ATagTooBigToKeepIsCheckedNotRestoredBlindly) {
    constexpr uint32_t kTag = 9u << 20;  // above the keep limit
    static_assert(kTag > TagFileSnapshot::kHeadKeepLimit);
    Bytes data = FromString("ID3");
    data.insert(data.end(), {3, 0, 0, static_cast<uint8_t>(kTag >> 21 & 0x7F), static_cast<uint8_t>(kTag >> 14 & 0x7F),
                             static_cast<uint8_t>(kTag >> 7 & 0x7F), static_cast<uint8_t>(kTag & 0x7F)});
    data.resize(10 + kTag, 0);
    const Bytes audio = SilentFrames(5);
    data.insert(data.end(), audio.begin(), audio.end());
    const std::string path = Mp3("big.mp3", data);
    TagFileSnapshot snapshot;
    std::string error;
    ASSERT_TRUE(snapshot.Take(path, &error)) << error;
    EXPECT_TRUE(snapshot.Restore());  // nothing changed

    Bytes changed = data;
    changed[1 << 20] = 1;
    WriteFile(path, changed);
    EXPECT_FALSE(snapshot.Restore());
    WriteFile(path, data);
    EXPECT_TRUE(snapshot.Restore());
}

}  // namespace
