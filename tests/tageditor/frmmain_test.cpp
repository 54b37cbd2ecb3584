// The tag editor window, built offscreen with a recording message box, on files made from bytes.
#include <QCheckBox>
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

const QString kHome = QLatin1String(tageditor::kMakerHomePage);

// The rectangle of `w` in the coordinates of its ancestor `frame`.
QRect RectIn(const QWidget* w, const QWidget* frame) {
    return QRect(w->mapTo(frame, QPoint(0, 0)), w->size());
}

int CenterY(const QWidget* w, const QWidget* window) { return RectIn(w, window).center().y(); }

class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureApp();
        editor = std::make_unique<frmMain>(&messages);
    }

    // What the cutting window does at Open.
    void Load(const std::string& path, const QString& title = QStringLiteral("song.mp3")) {
        editor->Model().SetPathHolder(path);
        editor->Model().SetFileTitle(title.toStdString());
        editor->cmdPick_Click();
    }

    std::string Mp3(const std::string& name, const Bytes& data) {
        const std::string path = dir.file(name);
        WriteFile(path, data);
        return path;
    }

    // A field of the model behind the window.
    std::string M(TagField field) const { return editor->Model().Field(field); }

    FakeMessageBoxes messages;
    std::unique_ptr<frmMain> editor;
    TempDir dir;
};

TEST_F(EditorTest, StartsHiddenWithEveryControlInItsDesignedState) {
    EXPECT_FALSE(editor->isVisible());
    EXPECT_EQ(editor->windowTitle(), "Edit MP3 Information");
    auto* heading = editor->findChild<QLabel*>("lblHeading");
    ASSERT_NE(heading, nullptr);
    EXPECT_EQ(heading->text(), "Edit MP3 ID3 tag Info");

    for (const char* name :
         {"frav2", "v2Artist", "v2Album", "v2Title", "v2TNR", "v2Year", "v2Genre", "v2Comment", "v2Composer",
          "v2OrigArtist", "v2Copyright", "v2LinkTo", "v2Encoder", "lblMPEG", "lblLen", "lblkBit", "lblFreq",
          "lblCopy", "lblOrig", "lblCRC", "lblEmphasis", "lblv1Vers", "lblv2Vers", "CandyButton1",
          "CandyButton2", "Label23"})
        EXPECT_NE(editor->findChild<QWidget*>(name), nullptr) << name;
    // What the user never saw is the model's alone now.
    for (const char* name : {"txtMp3File", "chkv1", "frav1", "v1Artist", "chkv2", "cmbVersion", "chkClear",
                             "cmdPick", "cmdUpdate", "Label25"})
        EXPECT_EQ(editor->findChild<QWidget*>(name), nullptr) << name;

    EXPECT_EQ(editor->frav2->title(), "ID3 Tag v2");
    EXPECT_EQ(editor->fraInfo->title(), "Additional Information");
    EXPECT_EQ(editor->CandyButton1->text(), "Update Info");
    EXPECT_EQ(editor->CandyButton2->text(), "Cancel");
    EXPECT_EQ(editor->Label23->text(), "NA");

    ASSERT_EQ(TagEditor::V1GenreEntries().size(), 149u);
    EXPECT_EQ(TagEditor::V1GenreEntries()[0], "");
    EXPECT_EQ(TagEditor::V1GenreEntries()[18], "Rock");
    EXPECT_EQ(TagEditor::V1GenreEntries()[148], "SynthPop");
    ASSERT_EQ(editor->v2Genre->count(), 148);
    EXPECT_EQ(editor->v2Genre->itemText(0), "Blues");
    EXPECT_TRUE(editor->v2Genre->isEditable());
    EXPECT_EQ(editor->v2Genre->currentText(), "");

    EXPECT_EQ(editor->Model().Version(), 0);
    EXPECT_FALSE(editor->Model().ClearOld());
    EXPECT_FALSE(editor->Model().V1Checked());
    EXPECT_TRUE(editor->Model().V2Checked());
    EXPECT_FALSE(editor->frav2->isHidden());
    EXPECT_FALSE(editor->Model().Loaded());
}

TEST_F(EditorTest, ControlsAreLaidOutInOrderAtTheDesignedSize) {
    Load(Mp3("tagged.mp3", Concat({Audio(), Id3v1Tag("T", "A", "B", "2001", "c", 1)})));
    editor->Model().ShowFor(editor->Model().PathHolder(), "tagged.mp3");  // as View/Change does
    editor->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));

    auto checkPlacement = [&] {
        const QRect window = editor->rect();
        for (QWidget* w : std::initializer_list<QWidget*>{
                 editor->v2Artist, editor->v2Album, editor->v2Title, editor->v2TNR, editor->v2Year, editor->v2Genre,
                 editor->v2Comment, editor->v2Composer, editor->v2OrigArtist, editor->v2Copyright, editor->v2LinkTo,
                 editor->v2Encoder, editor->Label23, editor->lblMPEG, editor->lblFreq, editor->CandyButton1,
                 editor->CandyButton2}) {
            EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
            EXPECT_TRUE(window.contains(RectIn(w, editor.get()))) << w->objectName().toStdString();
        }
    };
    checkPlacement();
    // The window keeps its designed size.
    editor->resize(1600, 1100);
    QCoreApplication::processEvents();
    EXPECT_EQ(editor->size(), QSize(frmMain::kDesignWidth, frmMain::kDesignHeight));
    checkPlacement();

    QWidget* window = editor.get();
    const std::vector<QWidget*> v2Order = {editor->v2Artist, editor->v2Album, editor->v2Title, editor->v2TNR,
                                           editor->v2Comment, editor->v2Composer, editor->v2OrigArtist,
                                           editor->v2Copyright, editor->v2LinkTo, editor->v2Encoder};
    for (size_t i = 1; i < v2Order.size(); ++i)
        EXPECT_LT(CenterY(v2Order[i - 1], window), CenterY(v2Order[i], window)) << i;
    EXPECT_EQ(CenterY(editor->v2TNR, window), CenterY(editor->v2Year, window));
    EXPECT_EQ(CenterY(editor->v2TNR, window), CenterY(editor->v2Genre, window));
    EXPECT_LT(RectIn(editor->v2TNR, window).x(), RectIn(editor->v2Year, window).x());
    EXPECT_LT(RectIn(editor->v2Year, window).x(), RectIn(editor->v2Genre, window).x());

    const std::vector<QWidget*> infoOrder = {editor->Label23, editor->lblMPEG, editor->lblLen, editor->lblkBit,
                                             editor->lblCopy, editor->lblOrig, editor->lblCRC, editor->lblEmphasis,
                                             editor->lblv1Vers, editor->lblv2Vers, editor->lblFreq};
    for (size_t i = 1; i < infoOrder.size(); ++i)
        EXPECT_LT(CenterY(infoOrder[i - 1], window), CenterY(infoOrder[i], window)) << i;

    // Two panels of equal size side by side, the buttons under them.
    const QRect left = RectIn(editor->frav2, window);
    const QRect right = RectIn(editor->fraInfo, window);
    EXPECT_EQ(left.size(), right.size());
    EXPECT_LT(left.right(), right.left());
    EXPECT_GT(RectIn(editor->CandyButton1, window).top(), left.bottom());
    EXPECT_LT(RectIn(editor->CandyButton1, window).x(), RectIn(editor->CandyButton2, window).x());
}

TEST_F(EditorTest, LengthLimitsCutTypedAndLoadedText) {
    const std::string comment30 = "abcdefghijklmnopqrstuvwxyz0123";
    Load(Mp3("v1.mp3", Concat({Audio(), Id3v1Tag("Title", "Artist", "Album", "1999", comment30, 255)})));
    EXPECT_EQ(M(TagField::v1Comment), comment30.substr(0, 28));

    editor->v2Year->clear();
    QTest::keyClicks(editor->v2Year, "2004-05-01");
    EXPECT_EQ(editor->v2Year->text(), "2004");
    editor->v2TNR->clear();
    QTest::keyClicks(editor->v2TNR, "1234");
    EXPECT_EQ(editor->v2TNR->text(), "123");
    editor->Model().SetField(TagField::v1Title, std::string(31, 'x'));
    EXPECT_EQ(M(TagField::v1Title).size(), 30);
    // The version 2 text fields take any length.
    editor->v2Title->setText(QString(300, QLatin1Char('y')));
    EXPECT_EQ(editor->v2Title->text().size(), 300);
}

TEST_F(EditorTest, FileWithOnlyAV1TagFillsTheV1FieldsAndTheV2Defaults) {
    Load(Mp3("song.mp3", Concat({Audio(), Id3v1Tag("Song", "Band", "Record", "1999", "nice", 17, 7)})));

    EXPECT_TRUE(editor->Model().V1Checked());
    EXPECT_FALSE(editor->Model().V2Checked());
    EXPECT_TRUE(editor->frav2->isHidden());

    EXPECT_EQ(M(TagField::v1Artist), "Band");
    EXPECT_EQ(M(TagField::v1Album), "Record");
    EXPECT_EQ(M(TagField::v1Title), "Song");
    EXPECT_EQ(M(TagField::v1TNR), "7");
    EXPECT_EQ(M(TagField::v1Year), "1999");
    EXPECT_EQ(M(TagField::v1Genre), "Rock");
    EXPECT_EQ(M(TagField::v1Comment), "nice");

    EXPECT_EQ(editor->v2Artist->text(), kHome);
    EXPECT_EQ(editor->v2Album->text(), "song.mp3 " + kHome);
    EXPECT_EQ(editor->v2Title->text(), kHome + "--MP3 Cut by Velkor Trimbel");
    EXPECT_EQ(editor->v2TNR->text(), "1");
    EXPECT_EQ(editor->v2Year->text(), "");
    EXPECT_EQ(editor->v2Genre->currentText(), "");
    EXPECT_EQ(editor->v2Comment->toPlainText(), kHome + "  MP3 Cut by Velkor Trimbel");
    EXPECT_EQ(editor->v2Composer->text(), "");
    EXPECT_EQ(editor->v2OrigArtist->text(), "");
    EXPECT_EQ(editor->v2Copyright->text(), "");
    EXPECT_EQ(editor->v2LinkTo->text(), kHome);
    EXPECT_EQ(editor->v2Encoder->text(), "Velkor Trimbel");

    EXPECT_EQ(editor->lblv1Vers->text(), "ID3 v1 tag: version 1.1");
    EXPECT_EQ(editor->lblv2Vers->text(), "ID3 v2 tag: none");
    EXPECT_TRUE(editor->Model().Loaded());
}

TEST_F(EditorTest, V1GenreMatchesAListEntryExactlyOrSelectsTheEmptyOne) {
    Load(Mp3("rock.mp3", Concat({Audio(), Id3v1Tag("a", "b", "c", "2000", "", 17)})));
    ASSERT_EQ(M(TagField::v1Genre), "Rock");
    // Genre byte 255 reads as empty text; the previous file's selection must not linger.
    Load(Mp3("none.mp3", Concat({Audio(), Id3v1Tag("a", "b", "c", "2000", "", 255)})));
    EXPECT_EQ(editor->Model().V1GenreIndex(), 0);
    Load(Mp3("synth.mp3", Concat({Audio(), Id3v1Tag("a", "b", "c", "2000", "", 147)})));
    EXPECT_EQ(M(TagField::v1Genre), "SynthPop");
    EXPECT_EQ(editor->Model().V1GenreIndex(), 148);
}

TEST_F(EditorTest, AnEncodersInfoHeaderReadsAsConstantBitrate) {
    // lame writes "Info" into constant-bitrate files and "Xing" into variable-bitrate ones.
    const std::string wav = dir.file("tone.wav");
    int status = -1;
    testfiles::CommandOutput("sox -n -r 44100 -c 2 " + testfiles::ShellQuote(wav) + " synth 2 sine 440 2>&1", &status);
    if (status != 0) GTEST_SKIP() << "sox is not installed";
    const std::string cbr = dir.file("cbr.mp3");
    const std::string vbr = dir.file("vbr.mp3");
    testfiles::CommandOutput("lame --quiet -b 128 " + testfiles::ShellQuote(wav) + " " + testfiles::ShellQuote(cbr), &status);
    ASSERT_EQ(status, 0);
    testfiles::CommandOutput("lame --quiet -V 2 " + testfiles::ShellQuote(wav) + " " + testfiles::ShellQuote(vbr), &status);
    ASSERT_EQ(status, 0);

    Load(cbr, QStringLiteral("cbr.mp3"));
    EXPECT_TRUE(editor->lblkBit->text().endsWith(", constant bit rate")) << editor->lblkBit->text().toStdString();
    Load(vbr, QStringLiteral("vbr.mp3"));
    EXPECT_TRUE(editor->lblkBit->text().endsWith(", variable bit rate")) << editor->lblkBit->text().toStdString();
}

TEST_F(EditorTest, TechnicalLinesDescribeTheFirstFrameAndTheTags) {
    // 128 kbit/s carry 16000 bytes a second: the length comes from the bytes after the header.
    auto fileOfSeconds = [&](int seconds, uint8_t modeByte) {
        Bytes data(static_cast<size_t>(seconds) * 16000, 0);
        const Bytes frame = SilentFrame(0x90, modeByte);
        std::copy(frame.begin(), frame.end(), data.begin());
        return Mp3("len" + std::to_string(seconds) + ".mp3", data);
    };
    Load(fileOfSeconds(250, 0x44));
    EXPECT_EQ(editor->lblLen->text(), "Length: 4:10");
    EXPECT_EQ(editor->lblMPEG->text(), "version 1 layer 3");
    EXPECT_EQ(editor->lblkBit->text(), "Bitrate: 128 kbit / sec, constant bit rate");
    EXPECT_EQ(editor->lblFreq->text(), "Frequency: 44100 hz, joint stereo");
    EXPECT_EQ(editor->lblCopy->text(), "Copyrighted: no");
    EXPECT_EQ(editor->lblOrig->text(), "Original: yes");
    EXPECT_EQ(editor->lblCRC->text(), "Uses checksums: no");
    EXPECT_EQ(editor->lblEmphasis->text(), "Uses emphasis: no");
    EXPECT_EQ(editor->lblv1Vers->text(), "ID3 v1 tag: none");
    EXPECT_EQ(editor->lblv2Vers->text(), "ID3 v2 tag: none");

    Load(fileOfSeconds(65, 0x0D));  // stereo, copyrighted, original, emphasis 50/15 us
    EXPECT_EQ(editor->lblLen->text(), "Length: 1:05");
    EXPECT_EQ(editor->lblFreq->text(), "Frequency: 44100 hz, stereo");
    EXPECT_EQ(editor->lblCopy->text(), "Copyrighted: yes");
    EXPECT_EQ(editor->lblEmphasis->text(), "Uses emphasis: yes");

    Load(fileOfSeconds(59, 0xC4));
    EXPECT_EQ(editor->lblLen->text(), "Length: 0:59");
    EXPECT_EQ(editor->lblFreq->text(), "Frequency: 44100 hz, mono");

    const std::string tagged = Mp3("tagged.mp3", Audio());
    MutagenWriteV2(tagged, {{"TIT2", "x"}}, 4);
    Load(tagged);
    EXPECT_EQ(editor->lblv2Vers->text(), "ID3 v2 tag: version 2.4");
}

TEST_F(EditorTest, PathHolderIsTrimmedAndCutAtTheFirstNul) {
    const std::string path = Mp3("first.mp3", Concat({Audio(), Id3v1Tag("First", "A", "B", "2000", "", 1)}));
    Mp3("second.mp3", Concat({Audio(), Id3v1Tag("Second", "A", "B", "2000", "", 1)}));
    std::string holder = "  " + path;
    holder += '\0';
    holder += dir.file("second.mp3") + "   ";
    editor->Model().SetPathHolder(holder);
    editor->cmdPick_Click();
    EXPECT_EQ(editor->CurrentPath().toStdString(), path);
    EXPECT_TRUE(editor->Model().V1Checked());
    EXPECT_EQ(M(TagField::v1Title), "First");
}

TEST_F(EditorTest, BlankOrOverlongV2FieldsAreReplacedSensibly) {
    const std::string path = Mp3("v2.mp3", Audio());
    MutagenWriteV2(path, {{"TPE1", "   "}, {"TIT2", "Real title"}, {"TRCK", "3/12"}, {"TCON", "Trip-Hop"},
                          {"TCOM", "Composer X"}, {"TENC", "  "}});
    Load(path);
    EXPECT_TRUE(editor->Model().V2Checked());
    EXPECT_EQ(editor->v2Artist->text(), kHome);
    EXPECT_EQ(editor->v2Title->text(), "Real title");
    // "3/1" would name a different total; the track number alone is the honest three characters.
    EXPECT_EQ(editor->v2TNR->text(), "3");
    EXPECT_EQ(editor->v2Genre->currentText(), "Trip-Hop");
    EXPECT_EQ(editor->v2Composer->text(), "Composer X");
    EXPECT_EQ(editor->v2Encoder->text(), "Velkor Trimbel");
}

TEST_F(EditorTest, UnreadablePathLeavesEmptyV1FieldsAndOnlyTheV2Defaults) {
    Load(Mp3("song.mp3", Concat({Audio(), Id3v1Tag("Song", "Band", "Record", "1999", "nice", 17, 7)})));
    Load(dir.file("missing.mp3"), QStringLiteral("missing.mp3"));
    EXPECT_FALSE(editor->Model().V1Checked());
    EXPECT_FALSE(editor->Model().V2Checked());
    EXPECT_TRUE(editor->frav2->isHidden());
    EXPECT_EQ(M(TagField::v1Title), "");
    EXPECT_EQ(editor->Model().V1GenreIndex(), 0);
    EXPECT_EQ(editor->v2Album->text(), "missing.mp3 " + kHome);
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_FALSE(std::filesystem::exists(dir.file("missing.mp3")));
}

TEST_F(EditorTest, UpdateInfoWritesTheEditedFieldsKeepsOtherFramesAndTheAudio) {
    const Bytes audio = Audio(60);
    const std::string path = Mp3("song.mp3", audio);
    MutagenWriteV2(path, {{"TPE1", "Band"}, {"TIT2", "Old title"}, {"TXXX:mood", "calm"}, {"TRCK", "4"}}, 3);
    {
        Bytes withV1 = ReadFile(path);
        const Bytes v1 = Id3v1Tag("Old title", "Band", "Record", "1999", "v1 note", 13, 4);
        withV1.insert(withV1.end(), v1.begin(), v1.end());
        WriteFile(path, withV1);
    }
    Load(path);
    ASSERT_TRUE(editor->Model().V2Checked());
    ASSERT_EQ(editor->v2Title->text(), "Old title");
    EXPECT_EQ(editor->lblv2Vers->text(), "ID3 v2 tag: version 2.3");

    editor->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(editor.get()));
    editor->v2Title->selectAll();
    QTest::keyClicks(editor->v2Title, QStringLiteral("Nouveau titre"));
    editor->v2Title->insert(QStringLiteral(" – été"));
    editor->v2Genre->lineEdit()->selectAll();
    QTest::keyClicks(editor->v2Genre->lineEdit(), QStringLiteral("Po"));
    EXPECT_EQ(editor->Model().Field(TagField::v2Genre), "Po");
    editor->v2Genre->setCurrentIndex(editor->v2Genre->findText(QStringLiteral("Pop")));
    EXPECT_EQ(editor->Model().Field(TagField::v2Genre), "Pop");
    QTest::mouseClick(editor->CandyButton1, Qt::LeftButton);

    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "MP3 Properties have been modified.");
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Information);
    EXPECT_EQ(messages.shown[0].caption, "Trimbel");
    EXPECT_TRUE(editor->isVisible());

    auto tags = MutagenReadV2(path);
    EXPECT_EQ(tags["version"], "3");
    EXPECT_EQ(tags["TIT2"], "Nouveau titre – été");
    EXPECT_EQ(tags["TPE1"], "Band");
    EXPECT_EQ(tags["TRCK"], "4");
    EXPECT_EQ(tags["TCON"], "Pop");
    EXPECT_EQ(tags["TXXX:mood"], "calm");
    EXPECT_EQ(tags["TENC"], "Velkor Trimbel");
    EXPECT_EQ(tags["WXXX"], kHome.toStdString());

    // The audio is byte for byte what it was, and the version 1 tag is the one that was loaded.
    const Bytes after = ReadFile(path);
    ASSERT_GE(after.size(), audio.size() + 128 + 10);
    const size_t tagSize = 10 + ((after[6] << 21) | (after[7] << 14) | (after[8] << 7) | after[9]);
    ASSERT_EQ(after.size(), tagSize + audio.size() + 128);
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), after.begin() + static_cast<long>(tagSize)));
    const Bytes v1(after.end() - 128, after.end());
    EXPECT_EQ(v1, Id3v1Tag("Old title", "Band", "Record", "1999", "v1 note", 13, 4));
}

TEST_F(EditorTest, VersionChoiceAndClearOptionReachTheWriter) {
    const std::string path = Mp3("song.mp3", Audio());
    MutagenWriteV2(path, {{"TIT2", "Title"}, {"TXXX:mood", "calm"}}, 3);
    Load(path);
    editor->Model().SetVersion(1);
    editor->Model().SetClearOld(true);
    QString error;
    ASSERT_TRUE(editor->cmdUpdate_Click(&error)) << error.toStdString();
    auto tags = MutagenReadV2(path);
    EXPECT_EQ(tags["version"], "4");
    EXPECT_EQ(tags["TIT2"], "Title");
    EXPECT_EQ(tags.count("TXXX:mood"), 0u);
}

TEST_F(EditorTest, UpdateInfoReportsAFailureInsteadOfSuccess) {
    const std::string path = Mp3("song.mp3", Concat({Audio(), Id3v1Tag("Song", "Band", "Record", "1999", "", 17)}));
    Load(path);
    std::filesystem::remove(path);
    QTest::mouseClick(editor->CandyButton1, Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Error);
    EXPECT_EQ(messages.shown[0].caption, "Trimbel");
    EXPECT_TRUE(messages.shown[0].text.contains("could not be written")) << messages.shown[0].text.toStdString();
    EXPECT_TRUE(messages.shown[0].text.contains("does not exist")) << messages.shown[0].text.toStdString();
    EXPECT_FALSE(std::filesystem::exists(path));

    // A folder where the file was: nothing is written into or over it.
    std::filesystem::create_directory(path);
    QString error;
    EXPECT_FALSE(editor->cmdUpdate_Click(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(std::filesystem::is_directory(path));
    EXPECT_TRUE(std::filesystem::is_empty(path));

    editor->Model().SetPathHolder("   ");
    EXPECT_FALSE(editor->cmdUpdate_Click(&error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(EditorTest, UpdateInfoThatFailsHalfWaySaysSoAndLeavesTheFileAsItWas) {
    const std::string path = Mp3("song.mp3", Concat({Audio(), Id3v1Tag("Song", "Band", "Record", "1999", "", 17)}));
    const Bytes before = ReadFile(path);
    TagWriteSteps steps = TagWriteSteps::Library();
    steps.writeV2 = [](const std::string&, const mdlID3::ID3TagInfo&, int, bool) { return false; };
    steps.v2Error = [] { return std::string("No space left on device"); };
    TagEditor model(steps);
    frmMain window(&messages, &model);
    model.LoadFile(path, "song.mp3");
    window.v2Title->setText(QStringLiteral("Changed"));
    model.SetField(TagField::v1Title, "Changed too");
    QTest::mouseClick(window.CandyButton1, Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, MsgIcon::Error);
    EXPECT_EQ(messages.shown[0].text,
              "The MP3 tags could not be written to song.mp3.\nThe ID3 v2 tag could not be written: No space left "
              "on device. The file was left as it was.");
    EXPECT_EQ(ReadFile(path), before);
}

TEST_F(EditorTest, V1BoxDecidesWhetherTheTargetKeepsOrGetsAV1Tag) {
    // Loaded file without a version 1 tag: a target's tag is cut off, a target without one stays so.
    Load(Mp3("plain.mp3", Audio()));
    ASSERT_FALSE(editor->Model().V1Checked());
    ASSERT_FALSE(editor->Model().V2Checked());
    const Bytes audio = Audio(30);
    const std::string withTag = Mp3("clip1.mp3", Concat({audio, Id3v1Tag("x", "y", "z", "2000", "", 1)}));
    editor->Model().SetPathHolder(withTag);
    QString error;
    ASSERT_TRUE(editor->cmdUpdate_Click(&error)) << error.toStdString();
    EXPECT_TRUE(editor->Model().V2Checked());
    EXPECT_FALSE(editor->frav2->isHidden());
    EXPECT_FALSE(HasV1Tag(withTag));
    Bytes after = ReadFile(withTag);
    ASSERT_GT(after.size(), audio.size());
    EXPECT_TRUE(std::equal(audio.begin(), audio.end(), after.end() - static_cast<long>(audio.size())));
    EXPECT_EQ(MutagenReadV2(withTag)["TRCK"], "1");

    // Loaded file with one: the loaded fields are appended to a target that has none.
    Load(Mp3("tagged.mp3", Concat({Audio(), Id3v1Tag("Song", "Band", "Record", "1999", "nice", 17, 7)})));
    const std::string clip = Mp3("clip2.mp3", audio);
    editor->Model().SetPathHolder(clip);
    ASSERT_TRUE(editor->cmdUpdate_Click(&error)) << error.toStdString();
    after = ReadFile(clip);
    ASSERT_GE(after.size(), audio.size() + 128);
    EXPECT_EQ(Bytes(after.end() - 128, after.end()), Id3v1Tag("Song", "Band", "Record", "1999", "nice", 17, 7));
}

TEST_F(EditorTest, MultiLineCommentSurvivesLoadAndWrite) {
    const std::string path = Mp3("song.mp3", Audio());
    MutagenWriteV2(path, {{"COMM", "first line\nsecond line"}});
    Load(path);
    EXPECT_EQ(editor->v2Comment->toPlainText(), "first line\nsecond line");
    QString error;
    ASSERT_TRUE(editor->cmdUpdate_Click(&error)) << error.toStdString();
    EXPECT_EQ(MutagenReadV2(path)["COMM"], "first line\nsecond line");
}

// The chapters are shown, not edited: their count in the information panel, the list in its
// tooltip; an Update Info keeps them; a file without chapters shows nothing of them.
TEST_F(EditorTest, ChaptersAreListedReadOnlyAndKeptByUpdateInfo) {
    const std::string path = Mp3("show.mp3", Audio(60));
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
    editor->v2Title->setText(QStringLiteral("Episode 12"));
    QString error;
    ASSERT_TRUE(editor->cmdUpdate_Click(&error)) << error.toStdString();
    std::vector<mdlID3::Chapter> kept;
    ASSERT_TRUE(mdlID3::ReadChapters(path, kept));
    ASSERT_EQ(kept.size(), 2u);
    EXPECT_EQ(kept[1].StartMs, 61500u);
    EXPECT_EQ(kept[1].Title, "News");

    Load(Mp3("plain.mp3", Audio(10)));
    EXPECT_TRUE(editor->lblChapters->isHidden());
    EXPECT_EQ(editor->lblChapters->toolTip(), "");
}

}  // namespace
