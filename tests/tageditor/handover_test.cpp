// The hand-over the cutting window and `trimbel cut` use: load at Open, show at View/Change, write
// into a saved clip. Driven through the interface with the real editor behind it.
#include <QApplication>
#include <QAbstractButton>
#include <QDir>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/fakemessageboxes.h"
#include "support/testfiles.h"
#include "models/tagdefaults.h"
#include "tageditor/editortesting.h"
#include "tageditor/frmmain.h"
#include "tageditor/taghandover.h"

using namespace testfiles;
using namespace editortesting;

namespace {

const std::string kHome = tageditor::kMakerHomePage;

class HandOverTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        handOver = CreateTagHandOver(&messages);
        ASSERT_NE(handOver, nullptr);
    }

    // The one editor window; null when there is none or more than one.
    frmMain* Editor() {
        std::vector<frmMain*> found;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* editor = qobject_cast<frmMain*>(w)) found.push_back(editor);
        return found.size() == 1 ? found[0] : nullptr;
    }

    std::string Mp3(const std::string& name, const Bytes& data) {
        const std::string path = dir.file(name);
        WriteFile(path, data);
        return path;
    }

    FakeMessageBoxes messages;
    std::unique_ptr<TagHandOver> handOver;
    TempDir dir;
};

TEST_F(HandOverTest, OpenLoadsIntoOneHiddenEditorViewChangeShowsItAndCancelHidesIt) {
    EXPECT_EQ(Editor(), nullptr);  // built on first use only
    const std::string source =
        Mp3("song.mp3", Concat({SilentFrames(40), Id3v1Tag("Song", "Band", "Rec", "1999", "", 17)}));
    const Bytes sourceBytes = ReadFile(source);
    handOver->LoadFile(source, "song.mp3");
    frmMain* editor = Editor();
    ASSERT_NE(editor, nullptr);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(editor->Label23->text(), "song.mp3");
    EXPECT_EQ(editor->Model().Field(TagField::v1Title), "Song");
    EXPECT_TRUE(editor->frav2->isHidden());  // no version 2 tag in the file

    editor->v2Title->setText(QStringLiteral("Edited"));
    handOver->ShowFor(source, "song.mp3");
    EXPECT_EQ(Editor(), editor);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor));
    EXPECT_FALSE(editor->isModal());
    EXPECT_TRUE(editor->frav2->isVisible());
    EXPECT_EQ(editor->v2Title->text(), "Edited");  // showing does not reload
    QTest::mouseClick(editor->CandyButton2, Qt::LeftButton);
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(ReadFile(source), sourceBytes);  // Cancel writes nothing
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(HandOverTest, TheEditorOpensCentredOverTheWindowThatAsksAndWhollyOnTheScreen) {
    const std::string path = Mp3("song.mp3", SilentFrames(20));
    handOver->LoadFile(path, "song.mp3");
    frmMain* editor = Editor();
    ASSERT_NE(editor, nullptr);
    QWidget cutting;
    const QRect room = cutting.screen()->availableGeometry();
    // Over a small window in the screen's middle, then in its corners: centred, but never off
    // the screen (within a few pixels: the frame's own size settles only once it is shown).
    const QSize small(240, 160);
    const QPoint places[] = {room.center() - QPoint(small.width() / 2, small.height() / 2), room.topLeft(),
                             room.bottomRight() - QPoint(small.width(), small.height())};
    for (const QPoint& place : places) {
        SCOPED_TRACE(place.x());
        editor->hide();
        cutting.setGeometry(QRect(place, small));
        cutting.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&cutting));
        QApplication::setActiveWindow(&cutting);
        ASSERT_EQ(QApplication::activeWindow(), &cutting);
        handOver->ShowFor(path, "song.mp3");
        EXPECT_TRUE(room.contains(editor->frameGeometry().adjusted(8, 8, -8, -8)));
        if (place == places[0]) {
            EXPECT_LE((editor->frameGeometry().center() - cutting.frameGeometry().center()).manhattanLength(), 8);
        }
    }
    // Shown again while open, moved by the user, it stays where it was put.
    editor->move(20, 30);
    QApplication::setActiveWindow(&cutting);
    handOver->ShowFor(path, "song.mp3");
    EXPECT_EQ(editor->pos(), QPoint(20, 30));
    editor->hide();
}

// A saved clip gets the editor's fields as they are, the loaded defaults and what was typed, and
// loses a version 1 tag the source had not, in one pass or two; a failure comes back as an error, never a box.
TEST_F(HandOverTest, AClipGetsTheEditorsFieldsAndAFailureIsAnErrorWithoutAMessageBox) {
    const std::string source = Mp3("plain song.mp3", SilentFrames(40));
    handOver->LoadFile(source, "plain song.mp3");
    ASSERT_NE(Editor(), nullptr);
    ASSERT_TRUE(Editor()->frav2->isHidden());
    Editor()->v2Title->setText(QStringLiteral("Shorter cut"));
    const std::string clip = Mp3("clip.mp3", Concat({SilentFrames(25), Id3v1Tag("x", "y", "z", "2000", "", 1)}));
    std::string error;
    ASSERT_TRUE(handOver->WriteInto(clip, &error)) << error;
    auto tags = MutagenReadV2(clip);
    EXPECT_EQ(tags["version"], "3");
    EXPECT_EQ(tags["TIT2"], "Shorter cut");
    EXPECT_EQ(tags["TALB"], "plain song.mp3 " + kHome);
    EXPECT_EQ(tags["TPE1"], kHome);
    EXPECT_EQ(tags.count("TDRC") + tags.count("TCON"), 0u);
    EXPECT_FALSE(HasV1Tag(clip));
    EXPECT_FALSE(Editor()->frav2->isHidden());  // a write puts the version 2 fields in view
    EXPECT_EQ(ReadFile(source), SilentFrames(40));
    // The tags for a clip written in one pass are the ones this write gave it.
    ClipTags onePass;
    ASSERT_TRUE(handOver->TagsForClip(&onePass));
    const Bytes written = ReadFile(clip);
    ASSERT_LT(onePass.v2.size(), written.size());
    EXPECT_EQ(Bytes(written.begin(), written.begin() + static_cast<long>(onePass.v2.size())), onePass.v2);
    EXPECT_EQ(onePass.v1, ClipTags::V1::Remove);

    const std::string nowhere = dir.file("no such folder/clip.mp3");
    EXPECT_FALSE(handOver->WriteInto(nowhere, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(std::filesystem::exists(nowhere));
    EXPECT_TRUE(messages.shown.empty());
}

// The editor as the user sees it, for the README.
TEST_F(HandOverTest, ScreenshotOfTheEditorOnATaggedFile) {
    const std::string source = Mp3("Harbour Lights.mp3", SilentFrames(400));
    MutagenWriteV2(source, {{"TPE1", "The Quays"}, {"TALB", "Low Tide"}, {"TIT2", "Harbour Lights"}, {"TRCK", "3"},
                            {"TDRC", "2019"}, {"TCON", "Alternative"}, {"COMM", "Recorded live at the pier, first take."},
                            {"TCOM", "M. Okafor"}, {"TCOP", "2019 Low Tide Records"}, {"WXXX", "www.thequays.example"},
                            {"TENC", "LAME 3.100"}});
    WriteFile(source,
              Concat({ReadFile(source), Id3v1Tag("Harbour Lights", "The Quays", "Low Tide", "2019", "", 20, 3)}));
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
