// The hand-over the cutting window and `trimbel cut` use: load at Open, show at View/Change, write
// into a saved clip. Driven through the interface with the real editor behind it.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "support/fakemessageboxes.h"
#include "support/testfiles.h"
#include "models/clipsave.h"
#include "models/tagdefaults.h"
#include "tageditor/editortesting.h"
#include "tageditor/frmmain.h"
#include "tageditor/taghandover.h"

using namespace testfiles;
using namespace editortesting;

namespace {

const std::string kHome = tageditor::kMakerHomePage;

std::vector<frmMain*> Editors() {
    std::vector<frmMain*> found;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* editor = qobject_cast<frmMain*>(w)) found.push_back(editor);
    return found;
}

class HandOverTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        handOver = CreateTagHandOver(&messages);
        ASSERT_NE(handOver, nullptr);
    }

    frmMain* Editor() {
        auto editors = Editors();
        return editors.size() == 1 ? editors[0] : nullptr;
    }

    std::string Mp3(const std::string& name, const Bytes& data) {
        const std::string path = dir.file(name);
        WriteFile(path, data);
        return path;
    }

    // A clip as Save Selection leaves it before tagging: a byte range of the source.
    std::string Clip(const std::string& name) { return Mp3(name, Audio(25)); }

    FakeMessageBoxes messages;
    std::unique_ptr<TagHandOver> handOver;
    TempDir dir;
};

TEST_F(HandOverTest, OpenLoadsIntoOneHiddenEditorAndViewChangeShowsIt) {
    EXPECT_TRUE(Editors().empty());  // built on first use only
    const std::string source = Mp3("song.mp3", Concat({Audio(), Id3v1Tag("Song", "Band", "Rec", "1999", "", 17)}));
    handOver->LoadFile(source, "song.mp3");
    frmMain* editor = Editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(editor->Label23->text(), "song.mp3");
    EXPECT_EQ(editor->Model().Field(TagField::v1Title), "Song");
    EXPECT_FALSE(editor->Model().V2Checked());  // no version 2 tag in the file

    editor->v2Title->setText(QStringLiteral("Edited"));
    handOver->ShowFor(source, "song.mp3");
    EXPECT_EQ(Editor(), editor);
    EXPECT_TRUE(editor->isVisible());
    EXPECT_FALSE(editor->isModal());
    EXPECT_TRUE(editor->Model().V2Checked());
    EXPECT_TRUE(editor->frav2->isVisible());
    // Showing does not reload.
    EXPECT_EQ(editor->v2Title->text(), "Edited");
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(HandOverTest, TheEditorOpensCentredOverTheWindowThatAsks) {
    QWidget cutting;
    cutting.setGeometry(300, 200, 900, 700);
    cutting.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&cutting));
    QApplication::setActiveWindow(&cutting);
    ASSERT_EQ(QApplication::activeWindow(), &cutting);
    const std::string path = Mp3("song.mp3", Audio(20));
    handOver->LoadFile(path, "song.mp3");
    handOver->ShowFor(path, "song.mp3");
    frmMain* editor = Editor();
    ASSERT_NE(editor, nullptr);
    // Within a few pixels: the frame's own size settles only once the window is shown.
    EXPECT_LE((editor->frameGeometry().center() - cutting.frameGeometry().center()).manhattanLength(), 8);
    EXPECT_GT((editor->pos() - QPoint(0, 0)).manhattanLength(), 200) << "not left where it was created";
    // Moved by the user and shown again while open, it stays where it was put.
    editor->move(20, 30);
    QApplication::setActiveWindow(&cutting);
    handOver->ShowFor(path, "song.mp3");
    EXPECT_EQ(editor->pos(), QPoint(20, 30));
    editor->hide();
}

TEST_F(HandOverTest, ClipFromAnUntaggedSourceCarriesTheDefaults) {
    const std::string source = Mp3("plain song.mp3", Audio());
    handOver->LoadFile(source, "plain song.mp3");
    const std::string clip = Clip("clip.mp3");
    std::string error;
    ASSERT_TRUE(handOver->WriteInto(clip, &error)) << error;
    EXPECT_TRUE(messages.shown.empty());

    auto tags = MutagenReadV2(clip);
    EXPECT_EQ(tags["version"], "3");
    EXPECT_EQ(tags["TPE1"], kHome);
    EXPECT_EQ(tags["TALB"], "plain song.mp3 " + kHome);
    EXPECT_EQ(tags["TIT2"], kHome + "--MP3 Cut by Velkor Trimbel");
    EXPECT_EQ(tags["TRCK"], "1");
    EXPECT_EQ(tags["COMM"], kHome + "  MP3 Cut by Velkor Trimbel");
    EXPECT_EQ(tags["WXXX"], kHome);
    EXPECT_EQ(tags["TENC"], "Velkor Trimbel");
    EXPECT_EQ(tags.count("TYER") + tags.count("TDRC") + tags.count("TCON"), 0u);
    EXPECT_FALSE(HasV1Tag(clip));
    EXPECT_EQ(ReadFile(source), Audio());  // the source is not touched
}

TEST_F(HandOverTest, TitleChangedThenCancelledStillReachesTheClip) {
    const std::string source = Mp3("song.mp3", Audio());
    MutagenWriteV2(source, {{"TPE1", "Band"}, {"TIT2", "Original"}});
    const Bytes sourceBytes = ReadFile(source);
    handOver->LoadFile(source, "song.mp3");
    handOver->ShowFor(source, "song.mp3");
    frmMain* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    editor->v2Title->selectAll();
    QTest::keyClicks(editor->v2Title, QStringLiteral("Shorter cut"));
    QTest::mouseClick(editor->CandyButton2, Qt::LeftButton);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(ReadFile(source), sourceBytes);  // Cancel writes nothing

    const std::string clip = Clip("clip.mp3");
    std::string error;
    ASSERT_TRUE(handOver->WriteInto(clip, &error)) << error;
    auto tags = MutagenReadV2(clip);
    EXPECT_EQ(tags["TIT2"], "Shorter cut");
    EXPECT_EQ(tags["TPE1"], "Band");
    EXPECT_EQ(ReadFile(source), sourceBytes);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(HandOverTest, AfterASaveTheEditorPointsAtTheSourceAgain) {
    const std::string source = Mp3("song.mp3", Audio());
    handOver->LoadFile(source, "song.mp3");
    handOver->ShowFor(source, "song.mp3");
    frmMain* editor = Editor();
    ASSERT_NE(editor, nullptr);

    // The editor stays open while a clip is saved; its own Update Info must still mean the source.
    const std::string clip = Clip("clip.mp3");
    const Bytes clipBefore = ReadFile(clip);
    std::string error;
    ASSERT_TRUE(handOver->WriteInto(clip, &error)) << error;
    const Bytes clipTagged = ReadFile(clip);
    EXPECT_NE(clipTagged, clipBefore);
    EXPECT_EQ(editor->PathFromHolder().toStdString(), source);
    editor->v2Artist->setText(QStringLiteral("Source artist"));
    QTest::mouseClick(editor->CandyButton1, Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "MP3 Properties have been modified.");
    EXPECT_EQ(MutagenReadV2(source)["TPE1"], "Source artist");
    EXPECT_EQ(ReadFile(clip), clipTagged);

    handOver->ShowFor(source, "song.mp3");
    EXPECT_EQ(editor->PathFromHolder().toStdString(), source);
    EXPECT_EQ(editor->Label23->text(), "song.mp3");
}

TEST_F(HandOverTest, TheWindowsHandOverGivesTheClipItsTagsInOnePass) {
    // A source with both tags, and a title edited in the editor: the one-pass clip is the clip the
    // two steps (copy, then the editor's write on it) make, to the byte.
    const std::string source = Mp3("song.mp3", Audio(120));
    MutagenWriteV2(source, {{"TPE1", "Band"}, {"TIT2", "S\xC3\xB6ng"}});
    const Bytes withV1 = Concat({ReadFile(source), Id3v1Tag("Song", "Band", "Rec", "1999", "", 17)});
    WriteFile(source, withV1);
    handOver->LoadFile(source, "song.mp3");
    ASSERT_NE(Editor(), nullptr);
    Editor()->v2Title->setText(QStringLiteral("Edited"));
    const double size = static_cast<double>(withV1.size());
    // From inside the audio to the end of the file (its v1 tag included), and a stretch inside.
    for (const auto& [start, length] : {std::pair{size / 2, size}, std::pair{size / 3, size / 4}}) {
        ClipTags tags;
        ASSERT_TRUE(handOver->TagsForClip(&tags));
        const std::string onePass = dir.file("one.mp3"), twoSteps = dir.file("two.mp3");
        std::string error;
        ASSERT_TRUE(SaveClip(source, onePass, start, length, {}, &error, &tags)) << error;
        const ClipFinisher writeInto = [this](const std::string& clip, std::string* why) {
            return handOver->WriteInto(clip, why);
        };
        ASSERT_TRUE(SaveClip(source, twoSteps, start, length, writeInto, &error)) << error;
        EXPECT_EQ(ReadFile(onePass), ReadFile(twoSteps)) << start;
        EXPECT_EQ(MutagenReadV2(onePass)["TIT2"], "Edited");
    }
    EXPECT_EQ(ReadFile(source), withV1);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(HandOverTest, FailedClipWriteComesBackAsAnErrorWithoutAMessageBox) {
    handOver->LoadFile(Mp3("song.mp3", Audio()), "song.mp3");
    const std::string clip = dir.file("no such folder/clip.mp3");
    std::string error;
    EXPECT_FALSE(handOver->WriteInto(clip, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(clip));
}

// The editor as the user sees it, for the README.
TEST_F(HandOverTest, ScreenshotOfTheEditorOnATaggedFile) {
    const std::string source = Mp3("Harbour Lights.mp3", Audio(400));
    MutagenWriteV2(source, {{"TPE1", "The Quays"},
                            {"TALB", "Low Tide"},
                            {"TIT2", "Harbour Lights"},
                            {"TRCK", "3"},
                            {"TDRC", "2019"},
                            {"TCON", "Alternative"},
                            {"COMM", "Recorded live at the pier, first take."},
                            {"TCOM", "M. Okafor"},
                            {"TCOP", "2019 Low Tide Records"},
                            {"WXXX", "www.thequays.example"},
                            {"TENC", "LAME 3.100"}});
    Bytes withV1 = ReadFile(source);
    const Bytes v1 = Id3v1Tag("Harbour Lights", "The Quays", "Low Tide", "2019", "", 20, 3);
    withV1.insert(withV1.end(), v1.begin(), v1.end());
    WriteFile(source, withV1);
    handOver->LoadFile(source, "Harbour Lights.mp3");
    handOver->ShowFor(source, "Harbour Lights.mp3");
    frmMain* editor = Editor();
    ASSERT_NE(editor, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    EXPECT_EQ(editor->v2Composer->text(), "M. Okafor");
    EXPECT_EQ(editor->lblv2Vers->text(), "ID3 v2 tag: version 2.3");

    const QImage shot = editor->grab().toImage();
    ASSERT_FALSE(shot.isNull());
    ASSERT_TRUE(QDir().mkpath(QStringLiteral(TRIMBEL_SCREENSHOTS)));
    const QString file = QStringLiteral(TRIMBEL_SCREENSHOTS "/tageditor.png");
    ASSERT_TRUE(shot.save(file));
    EXPECT_EQ(QImage(file).size(), editor->size() * editor->devicePixelRatio());
}

}  // namespace
