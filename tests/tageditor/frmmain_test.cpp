// The tag editor window, built offscreen with a recording message box, on files made from bytes:
// what only the window can get wrong (its texts and layout, each box and label wired to its own
// field or line, Update Info's message). The fields' rules are the model's and tested with it.
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

#include "support/fakemessageboxes.h"
#include "support/testfiles.h"
#include "id3/chapters.h"
#include "models/tagdefaults.h"
#include "tageditor/editortesting.h"
#include "tageditor/frmmain.h"

using namespace testfiles;
using namespace editortesting;

namespace {

const std::string kHome = tageditor::kMakerHomePage;

// The rectangle of `w` in the coordinates of its ancestor `window`.
QRect RectIn(const QWidget* w, const QWidget* window) { return QRect(w->mapTo(window, QPoint(0, 0)), w->size()); }

QString BoxText(QWidget* box) {
    if (auto* line = qobject_cast<QLineEdit*>(box)) return line->text();
    if (auto* combo = qobject_cast<QComboBox*>(box)) return combo->currentText();
    return qobject_cast<QPlainTextEdit*>(box)->toPlainText();
}

// Replaces the box's text as typing does: all selected, then the text put in its place.
void TypeInto(QWidget* box, const QString& text) {
    if (auto* combo = qobject_cast<QComboBox*>(box)) box = combo->lineEdit();
    if (auto* comment = qobject_cast<QPlainTextEdit*>(box)) {
        comment->selectAll();
        comment->insertPlainText(text);
        return;
    }
    auto* line = qobject_cast<QLineEdit*>(box);
    line->selectAll();
    line->insert(text);
}

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        editor = std::make_unique<frmMain>(&messages);
    }

    // What the cutting window does at Open.
    void Load(const std::string& path) {
        editor->Model().SetPathHolder(path);
        editor->Model().SetFileTitle("song.mp3");
        editor->cmdPick_Click();
    }

    std::string Mp3(const std::string& name, const Bytes& data) {
        const std::string path = dir.file(name);
        WriteFile(path, data);
        return path;
    }

    FakeMessageBoxes messages;
    std::unique_ptr<frmMain> editor;
    TempDir dir;
};

TEST_F(EditorTest, StartsHiddenWithItsTextsAndKeepsItsDesignedLayout) {
    EXPECT_FALSE(editor->isVisible());
    auto* heading = editor->findChild<QLabel*>("lblHeading");
    ASSERT_NE(heading, nullptr);
    const std::pair<QString, QString> texts[] = {
        {editor->windowTitle(), "Edit MP3 Information"}, {heading->text(), "Edit MP3 ID3 tag Info"},
        {editor->frav2->title(), "ID3 Tag v2"}, {editor->fraInfo->title(), "Additional Information"},
        {editor->CandyButton1->text(), "Update Info"}, {editor->CandyButton2->text(), "Cancel"},
        {editor->Label23->text(), "NA"}, {editor->v2Genre->itemText(0), "Blues"},
        {editor->v2Genre->itemText(147), "SynthPop"}, {editor->v2Genre->currentText(), ""},
    };
    for (const auto& [shown, expected] : texts) EXPECT_EQ(shown, expected);
    EXPECT_EQ(editor->v2Genre->count(), 148);
    EXPECT_TRUE(editor->v2Genre->isEditable());

    Load(Mp3("tagged.mp3", Concat({SilentFrames(40), Id3v1Tag("T", "A", "B", "2001", "c", 1)})));
    editor->Model().ShowFor(editor->Model().PathHolder(), "tagged.mp3");  // as View/Change does
    editor->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
    editor->resize(1600, 1100);
    QCoreApplication::processEvents();
    EXPECT_EQ(editor->size(), QSize(frmMain::kDesignWidth, frmMain::kDesignHeight));

    // Each panel top to bottom (track, year and genre share a row), every control whole in view.
    frmMain& e = *editor;
    const std::vector<QWidget*> columns[] = {
        {e.v2Artist, e.v2Album, e.v2Title, e.v2TNR, e.v2Comment, e.v2Composer, e.v2OrigArtist, e.v2Copyright,
         e.v2LinkTo, e.v2Encoder, e.CandyButton1},
        {e.Label23, e.lblMPEG, e.lblLen, e.lblkBit, e.lblCopy, e.lblOrig, e.lblCRC, e.lblEmphasis, e.lblv1Vers,
         e.lblv2Vers, e.lblFreq, e.CandyButton2},
    };
    for (const auto& column : columns) {
        for (size_t i = 0; i < column.size(); ++i) {
            const QRect r = RectIn(column[i], &e);
            EXPECT_TRUE(column[i]->isVisible() && e.rect().contains(r)) << column[i]->objectName().toStdString();
            if (i > 0) {
                EXPECT_LT(RectIn(column[i - 1], &e).center().y(), r.center().y()) << i;
            }
        }
    }
    for (QWidget* w : std::initializer_list<QWidget*>{e.v2Year, e.v2Genre})
        EXPECT_EQ(RectIn(w, &e).center().y(), RectIn(e.v2TNR, &e).center().y());
    EXPECT_LT(RectIn(e.v2TNR, &e).x(), RectIn(e.v2Year, &e).x());
    EXPECT_LT(RectIn(e.v2Year, &e).x(), RectIn(e.v2Genre, &e).x());
    // Two panels of one size side by side, the buttons under them.
    EXPECT_EQ(e.frav2->size(), e.fraInfo->size());
    EXPECT_LT(RectIn(e.frav2, &e).right(), RectIn(e.fraInfo, &e).left());
    EXPECT_GT(RectIn(e.CandyButton1, &e).top(), RectIn(e.frav2, &e).bottom());
}

// The journey: each box shows its own frame of the loaded file, and what is typed into it is what
// Update Info writes, as mutagen reads it, with the audio and the version 1 tag left as they were.
TEST_F(EditorTest, EachBoxShowsItsFrameAndUpdateInfoWritesWhatWasTyped) {
    frmMain& e = *editor;
    const struct {
        QWidget* box;
        std::string frame, loaded;
        QString typed;
        std::string written;
    } boxes[] = {
        {e.v2Artist, "TPE1", "Band", "New band", "New band"},
        {e.v2Album, "TALB", "Record", "New record", "New record"},
        {e.v2Title, "TIT2", "Old title", "Nouveau titre – été", "Nouveau titre – été"},
        {e.v2TNR, "TRCK", "4", "1234", "123"},  // each short box keeps its length limit
        {e.v2Year, "TDRC", "1999", "2004-05-01", "2004"},
        // Typed, then a name picked from the list.
        {e.v2Genre, "TCON", "Trip-Hop", "Po", "Pop"},
        {e.v2Comment, "COMM", "first line\nsecond line", "one\ntwo", "one\ntwo"},
        {e.v2Composer, "TCOM", "Composer", "New composer", "New composer"},
        {e.v2OrigArtist, "TOPE", "Original", "New original", "New original"},
        {e.v2Copyright, "TCOP", "Owner", "New owner", "New owner"},
        {e.v2LinkTo, "WXXX", "www.band.example", "www.new.example", "www.new.example"},
        {e.v2Encoder, "TENC", "LAME", "New encoder", "New encoder"},
    };
    const Bytes audio = SilentFrames(60);
    const std::string path = Mp3("song.mp3", audio);
    std::map<std::string, std::string> frames = {{"TXXX:mood", "calm"}};
    for (const auto& b : boxes) frames[b.frame] = b.loaded;
    MutagenWriteV2(path, frames, 3);
    const Bytes v1 = Id3v1Tag("Old title", "Band", "Record", "1999", "v1 note", 13, 4);
    WriteFile(path, Concat({ReadFile(path), v1}));
    Load(path);
    EXPECT_FALSE(e.frav2->isHidden());
    for (const auto& b : boxes) EXPECT_EQ(BoxText(b.box).toStdString(), b.loaded) << b.frame;

    e.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&e));
    for (const auto& b : boxes) TypeInto(b.box, b.typed);
    e.v2Genre->setCurrentIndex(e.v2Genre->findText(QStringLiteral("Pop")));
    for (const auto& b : boxes) EXPECT_EQ(BoxText(b.box).toStdString(), b.written) << b.frame;
    QTest::mouseClick(e.CandyButton1, Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "MP3 Properties have been modified.");
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(messages.shown[0].caption, "Trimbel");
    EXPECT_TRUE(e.isVisible());
    auto tags = MutagenReadV2(path);
    for (const auto& b : boxes) EXPECT_EQ(tags[b.frame], b.written) << b.frame;
    EXPECT_EQ(tags["version"], "3");
    EXPECT_EQ(tags["TXXX:mood"], "calm");
    const Bytes after = ReadFile(path);
    ASSERT_GE(after.size(), audio.size() + 128 + 10);
    const size_t tagSize = 10 + ((after[6] << 21) | (after[7] << 14) | (after[8] << 7) | after[9]);
    ASSERT_EQ(after.size(), tagSize + audio.size() + 128);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), after.begin() + static_cast<long>(tagSize)));
    EXPECT_EQ(Bytes(after.end() - 128, after.end()), v1);

    // The model's version choice and clear option reach the writer.
    e.Model().SetVersion(1);
    e.Model().SetClearOld(true);
    QString error;
    ASSERT_TRUE(e.cmdUpdate_Click(&error)) << error.toStdString();
    tags = MutagenReadV2(path);
    EXPECT_EQ(tags["version"], "4");
    EXPECT_EQ(tags["TIT2"], "Nouveau titre – été");
    EXPECT_EQ(tags.count("TXXX:mood"), 0u);
}

// Loads one after another: what a file lacks takes the default, and nothing of the file before
// lingers. Whether the version 2 fields are in view follows the file.
TEST_F(EditorTest, LoadFillsEveryFieldFromTheFileOrItsDefault) {
    const std::string blanks = Mp3("blanks.mp3", SilentFrames(40));
    MutagenWriteV2(blanks, {{"TPE1", "   "}, {"TIT2", "Real title"}, {"TRCK", "3/12"}, {"TENC", "  "}});
    const struct {
        std::string path;
        bool v2;
        std::vector<std::pair<TagField, std::string>> fields;
    } loads[] = {
        {Mp3("v1.mp3", Concat({SilentFrames(40), Id3v1Tag("Song", "Band", "Record", "1999", "nice", 147, 7)})), false,
         {{TagField::v1Artist, "Band"}, {TagField::v1Album, "Record"}, {TagField::v1Year, "1999"},
          {TagField::v1Comment, "nice"}, {TagField::v1Genre, "SynthPop"}, {TagField::v2Artist, kHome},
          {TagField::v2LinkTo, kHome}, {TagField::v2Genre, ""}, {TagField::v2Composer, ""},
          {TagField::v2OrigArtist, ""}, {TagField::v2Copyright, ""}}},
        {dir.file("missing.mp3"), false,
         {{TagField::v1Title, ""}, {TagField::v1Genre, ""}, {TagField::v2Album, "song.mp3 " + kHome}}},
        // Blank frames take the defaults; "3/1" would name another total.
        {blanks, true,
         {{TagField::v2Artist, kHome}, {TagField::v2Title, "Real title"}, {TagField::v2TNR, "3"},
          {TagField::v2Encoder, "Velkor Trimbel"}}},
    };
    for (const auto& load : loads) {
        SCOPED_TRACE(load.path);
        Load(load.path);
        EXPECT_EQ(editor->frav2->isHidden(), !load.v2);
        for (const auto& [field, expected] : load.fields)
            EXPECT_EQ(editor->Model().Field(field), expected) << static_cast<int>(field);
    }
    EXPECT_EQ(editor->Model().V1GenreIndex(), 0);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.mp3")));
}

// Each line in its own label; how the lines are read from the file is the tag library's test.
TEST_F(EditorTest, EachTechnicalLineHasItsOwnLabel) {
    // 128 kbit/s carry 16000 bytes a second: the length comes from the bytes after the header.
    auto seconds = [&](int count, uint8_t modeByte) {
        Bytes data(static_cast<size_t>(count) * 16000, 0);
        const Bytes frame = SilentFrame(0x90, modeByte);
        std::copy(frame.begin(), frame.end(), data.begin());
        return Mp3("len" + std::to_string(count) + ".mp3", data);
    };
    const std::string tagged = Mp3("tagged.mp3", SilentFrames(40));
    MutagenWriteV2(tagged, {{"TIT2", "x"}}, 4);
    WriteFile(tagged, Concat({ReadFile(tagged), Id3v1Tag("x", "", "", "", "", 0)}));
    frmMain& e = *editor;
    const struct {
        std::string path;
        std::vector<std::pair<QLabel*, QString>> lines;
    } files[] = {
        {seconds(250, 0x44),
         {{e.lblLen, "Length: 4:10"}, {e.lblMPEG, "version 1 layer 3"},
          {e.lblkBit, "Bitrate: 128 kbit / sec, constant bit rate"}, {e.lblFreq, "Frequency: 44100 hz, joint stereo"},
          {e.lblCopy, "Copyrighted: no"}, {e.lblOrig, "Original: yes"}, {e.lblCRC, "Uses checksums: no"},
          {e.lblEmphasis, "Uses emphasis: no"}, {e.lblv1Vers, "ID3 v1 tag: none"}, {e.lblv2Vers, "ID3 v2 tag: none"}}},
        // Stereo, copyrighted, original, emphasis 50/15 us.
        {seconds(65, 0x0D),
         {{e.lblLen, "Length: 1:05"}, {e.lblFreq, "Frequency: 44100 hz, stereo"}, {e.lblCopy, "Copyrighted: yes"},
          {e.lblEmphasis, "Uses emphasis: yes"}}},
        {seconds(59, 0xC4), {{e.lblLen, "Length: 0:59"}, {e.lblFreq, "Frequency: 44100 hz, mono"}}},
        {tagged, {{e.lblv1Vers, "ID3 v1 tag: version 1.0"}, {e.lblv2Vers, "ID3 v2 tag: version 2.4"}}},
    };
    for (const auto& file : files) {
        SCOPED_TRACE(file.path);
        Load(file.path);
        for (const auto& [label, expected] : file.lines) EXPECT_EQ(label->text(), expected);
    }
    // Encoders write an "Info" header into constant-bitrate files, the same as the "Xing" one of
    // variable-bitrate files.
    for (const auto& [vbr, info, kind] : {std::tuple{false, false, "constant"}, {true, true, "constant"},
                                          {true, false, "variable"}}) {
        mdlID3::MpegInfo mpeg;
        mpeg.Bitrate = 160;
        mpeg.IsVbr = vbr;
        mpeg.HasInfoHeader = info;
        EXPECT_EQ(DescribeMpegInfo(mpeg).bitrate, "Bitrate: 160 kbit / sec, " + std::string(kind) + " bit rate");
    }
}

TEST_F(EditorTest, UpdateInfoThatFailsSaysSoInAnErrorBoxAndLeavesTheFile) {
    const std::string path =
        Mp3("song.mp3", Concat({SilentFrames(40), Id3v1Tag("Song", "Band", "Record", "1999", "", 17)}));
    const Bytes before = ReadFile(path);
    TagWriteSteps steps = TagWriteSteps::Library();
    steps.writeV2 = [](const std::string&, const mdlID3::ID3TagInfo&, int, bool) { return false; };
    steps.v2Error = [] { return std::string("No space left on device"); };
    TagEditor model(steps);
    frmMain window(&messages, &model);
    model.LoadFile(path, "song.mp3");
    window.v2Title->setText(QStringLiteral("Changed"));
    QTest::mouseClick(window.CandyButton1, Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Error);
    EXPECT_EQ(messages.shown[0].caption, "Trimbel");
    EXPECT_EQ(messages.shown[0].text,
              "The MP3 tags could not be written to song.mp3.\nThe ID3 v2 tag could not be written: No space left "
              "on device. The file was left as it was.");
    EXPECT_EQ(ReadFile(path), before);
}

// The chapters are shown, not edited: their count in the information panel, the list in its
// tooltip; a file without chapters shows nothing of them.
TEST_F(EditorTest, ChaptersAreListedReadOnly) {
    const std::string path = Mp3("show.mp3", SilentFrames(60));
    std::vector<mdlID3::Chapter> chapters(2);
    chapters[0].Title = "Intro";
    chapters[1].StartMs = 61500;
    chapters[1].Title = "News";
    mdlID3::ArrangeChapters(chapters, 90000);
    ASSERT_TRUE(mdlID3::WriteChapters(path, chapters));
    Load(path);
    EXPECT_FALSE(editor->lblChapters->isHidden());
    EXPECT_EQ(editor->lblChapters->text(), "Chapters: 2 (point here for the list)");
    EXPECT_EQ(editor->lblChapters->toolTip(), "1  0:00.000  Intro\n2  1:01.500  News");

    Load(Mp3("plain.mp3", SilentFrames(10)));
    EXPECT_TRUE(editor->lblChapters->isHidden());
    EXPECT_EQ(editor->lblChapters->toolTip(), "");
}

}  // namespace
