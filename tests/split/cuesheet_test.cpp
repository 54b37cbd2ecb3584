// Cue sheets: one as other tools write them, the encodings they come in, faults with their line,
// and the export of a plan read back.
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "split/cuecheck.h"
#include "split/cuesheet.h"
#include "split/cuetext.h"
#include "support/testfiles.h"

namespace {

// As a ripper writes it: REM header lines, disc texts, a pregap (INDEX 00) before track 2,
// CRLF line ends, indentation.
const char* kRipperSheet =
    "REM GENRE \"Live\"\r\n"
    "REM DATE 2001\r\n"
    "REM DISCID 7A0B1C09\r\n"
    "REM COMMENT \"ExactAudioCopy v1.0b3\"\r\n"
    "REM a comment with \"an odd quote and \xC3\xBC\r\n"
    "CATALOG 0724384260925\r\n"
    "PERFORMER \"The Band\"\r\n"
    "TITLE \"Live at the Hall\"\r\n"
    "FILE \"Live at the Hall.mp3\" WAVE\r\n"
    "  TRACK 01 AUDIO\r\n"
    "    FLAGS DCP\r\n"
    "    ISRC USRC17607839\r\n"
    "    TITLE \"Intro\"\r\n"
    "    PERFORMER \"The Band\"\r\n"
    "    INDEX 01 00:00:00\r\n"
    "  TRACK 02 AUDIO\r\n"
    "    TITLE \"Second Song\"\r\n"
    "    PERFORMER \"Guest\"\r\n"
    "    INDEX 00 01:02:10\r\n"
    "    INDEX 01 01:04:00\r\n"
    "  TRACK 03 AUDIO\r\n"
    "    TITLE \"Encore\"\r\n"
    "    INDEX 01 02:30:74\r\n";

TEST(CueImport, ARipperSheetGivesCutsAtIndex01AndTheTitles) {
    CueSheet sheet;
    std::string error;
    ASSERT_TRUE(ParseCueSheet(kRipperSheet, &sheet, &error)) << error;
    EXPECT_EQ(sheet.file, "Live at the Hall.mp3");
    EXPECT_EQ(sheet.title, "Live at the Hall");
    EXPECT_EQ(sheet.performer, "The Band");
    ASSERT_EQ(sheet.tracks.size(), 3u);
    EXPECT_DOUBLE_EQ(sheet.tracks[1].pregap, 62 + 10 / 75.0);
    EXPECT_DOUBLE_EQ(sheet.tracks[0].pregap, -1);

    SplitPlan plan(200);
    ASSERT_TRUE(ApplyCueSheet(sheet, plan, &error)) << error;
    ASSERT_EQ(plan.PartCount(), 3u);
    EXPECT_DOUBLE_EQ(plan.Part(0).start, 0);
    EXPECT_DOUBLE_EQ(plan.Part(1).start, 64);  // the pregap stays with the track before
    EXPECT_DOUBLE_EQ(plan.Part(2).start, 150 + 74 / 75.0);
    EXPECT_DOUBLE_EQ(plan.Part(2).end, 200);
    EXPECT_EQ(plan.Part(1).title, "Second Song");
    EXPECT_EQ(plan.Part(1).performer, "Guest");

    SplitPlan shortPlan(100);  // track 3 starts after the audio ends
    EXPECT_FALSE(ApplyCueSheet(sheet, shortPlan, &error));
    EXPECT_NE(error.find("Track 3"), std::string::npos) << error;
}

TEST(CueImport, Latin1AndUtf8WithOrWithoutBomAndUtf16) {
    const std::string body = "FILE \"x.mp3\" MP3\n TRACK 01 AUDIO\n  TITLE \"Caf\xC3\xA9\"\n  INDEX 01 00:00:00\n"
                             " TRACK 02 AUDIO\n  title Ni\xC3\xB1o y m\xC3\xA1s\n  INDEX 01 00:10:00\n";
    std::string latin1 = body;
    for (auto [from, to] : {std::pair<std::string, char>{"\xC3\xA9", '\xE9'}, {"\xC3\xB1", '\xF1'}, {"\xC3\xA1", '\xE1'}})
        latin1.replace(latin1.find(from), from.size(), 1, to);
    std::string utf16 = "\xFF\xFE";
    for (char32_t c : std::u32string(U"FILE \"x.mp3\" MP3\n TRACK 01 AUDIO\n  TITLE \"Caf\u00E9\"\n  INDEX 01 00:00:00\n"
                                     U" TRACK 02 AUDIO\n  TITLE \"Ni\u00F1o y m\u00E1s\"\n  INDEX 01 00:10:00\n")) {
        utf16 += static_cast<char>(c & 0xFF);
        utf16 += static_cast<char>(c >> 8);
    }
    for (const std::string& bytes : {body, "\xEF\xBB\xBF" + body, latin1, utf16}) {
        CueSheet sheet;
        std::string error;
        ASSERT_TRUE(ParseCueSheet(bytes, &sheet, &error)) << error;
        ASSERT_EQ(sheet.tracks.size(), 2u);
        EXPECT_EQ(sheet.tracks[0].title, "Caf\xC3\xA9");
        EXPECT_EQ(sheet.tracks[1].title, "Ni\xC3\xB1o y m\xC3\xA1s");  // unquoted, lower-case keyword
        EXPECT_DOUBLE_EQ(sheet.tracks[1].start, 10);
    }
}

TEST(CueImport, FaultsNameTheirLine) {
    const std::string head = "FILE \"x.mp3\" MP3\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n";
    const std::vector<std::pair<std::string, std::string>> cases = {
        {head + "    INDEX 01 00:1x:00\n", "line 5: INDEX needs"},  // libcue reads this as 00:01:00
        {head + "    INDEX 01 00:10:80\n", "line 5: INDEX needs"},  // frames run 0..74
        {head + "    INDEX 01 00:60:00\n", "line 5: INDEX needs"},
        {head + "    TITLE \"open\n    INDEX 01 00:10:00\n", "line 5: a quoted text is not closed"},
        {head + "    INDEX 01 00:00:00\n", "line 5: track 2 starts before"},
        {head + "    INDEX 01 00:10:00\n    INDEX 01 00:20:00\n", "line 6: INDEX numbers must rise"},
        {head + "    FROB 1\n", "line 5: unknown command \"FROB\""},
        {head + "  TRACK 03 AUDIO\n", "line 5: track 2 has no INDEX 01"},
        {head, "line 4: track 2 has no INDEX 01"},
        {"  TRACK 01 AUDIO\n", "line 1: TRACK before any FILE"},
        {head + "FILE \"y.mp3\" MP3\n", "line 5: a second FILE"},
        {"REM only\n", "no track"},
        {"FILE \"x.mp3\" MP3\n  TRACK 02 AUDIO\n  INDEX 01 00:00:00\n  TRACK 01 AUDIO\n", "line 4: track numbers must rise"},
        {"\xEF\xBB\xBF" "FILE \"x.mp3\" MP3\n\n  TRACK AUDIO\n", "line 3: TRACK needs"},
        {head + "    INDEX 01 00:10:00\n  TRACK 03 MODE1/2352\n", "line 6: track 03 is not an audio track"},
        {head + std::string("    TITLE \"a\0b\"\n", 16), "line 5: a control character"},
    };
    for (const auto& [text, expected] : cases) {
        CueSheet sheet;
        std::string error;
        EXPECT_FALSE(ParseCueSheet(text, &sheet, &error)) << text;
        EXPECT_NE(error.find(expected), std::string::npos) << "got: " << error << "\nwanted: " << expected;
    }
}

TEST(CueImport, ALongTitleIsCutAtACharactersStartAsLibcueKeepsIt) {
    // libcue keeps 1022 bytes of a text: "é" (two bytes) at bytes 1021-1022 fits, at 1022-1023
    // it is dropped whole rather than split into a byte that is no UTF-8.
    const std::string e = "\xC3\xA9";
    const std::pair<std::string, std::string> cases[] = {
        {std::string(1020, 'a') + e, std::string(1020, 'a') + e},
        {std::string(1021, 'a') + e, std::string(1021, 'a')},
        {std::string(1021, 'a') + "\\zz", std::string(1021, 'a')},  // no backslash left at the end
        {std::string(2000, 'b'), std::string(1022, 'b')},
    };
    for (const auto& [title, kept] : cases) {
        CueSheet sheet;
        std::string error;
        ASSERT_TRUE(ParseCueSheet("FILE \"x.mp3\" MP3\nTRACK 01 AUDIO\nTITLE \"" + title + "\"\nINDEX 01 00:00:00\n",
                                  &sheet, &error))
            << error;
        ASSERT_EQ(sheet.tracks.size(), 1u);
        EXPECT_EQ(sheet.tracks[0].title, kept) << title.size();
        EXPECT_EQ(CueQuoted(title), "\"" + kept + "\"");  // the export writes what the import reads
    }
}

TEST(CueImport, TimesAtTheirLimits) {
    const std::pair<const char*, int> frames[] = {
        {"00:00:00", 0},  {"00:00:74", 74},  {"00:59:00", 59 * 75}, {"120:00:01", 120 * 60 * 75 + 1},
        {"00:00:75", -1}, {"00:0:00", -1},   {"-1:00:00", -1},      {"00:00", -1}};
    for (const auto& [text, value] : frames) EXPECT_EQ(CueTimeFrames(text), value) << text;
    EXPECT_EQ(CueTime(150 + 74 / 75.0), "02:30:74");
    EXPECT_EQ(CueTime(7265.5), "121:05:38");  // 0.5 s = 37.5 frames, to the nearest
}

TEST(CueExport, APlanReadsBackAsTheSamePlanAndBadFilesAreErrors) {
    SplitPlan plan(300);
    plan.AddCut(61.2);
    plan.AddGap(120, 122.5);
    plan.SetPartTitle(0, "One \"quoted\"");
    plan.SetPartTitle(1, "Back\\slash\\");
    plan.SetPartTitle(2, "Dr\xC3\xBC" "ben");
    plan.SetPartPerformer(2, "Gast");
    const std::string text = CueSheetText(plan, "show.mp3", "Show", "Host");
    EXPECT_NE(text.find("INDEX 00 02:00:00"), std::string::npos) << text;  // the trimmed pause

    testfiles::TempDir dir;
    std::string error;
    ASSERT_TRUE(WriteCueSheet(dir.file("show.cue"), text, &error)) << error;
    CueSheet sheet;
    ASSERT_TRUE(ReadCueSheet(dir.file("show.cue"), &sheet, &error)) << error;
    EXPECT_EQ(sheet.file, "show.mp3");
    EXPECT_EQ(sheet.performer, "Host");
    SplitPlan back(300);
    ASSERT_TRUE(ApplyCueSheet(sheet, back, &error)) << error;
    ASSERT_EQ(back.PartCount(), 3u);
    EXPECT_NEAR(back.Part(1).start, 61.2, 1 / 75.0);
    EXPECT_NEAR(back.Part(2).start, 122.5, 1 / 75.0);
    EXPECT_EQ(back.Part(0).title, "One 'quoted'");
    EXPECT_EQ(back.Part(1).title, "Back\\slash");  // a backslash before the closing quote would escape it
    EXPECT_EQ(back.Part(2).title, "Dr\xC3\xBC" "ben");
    EXPECT_EQ(back.Part(2).performer, "Gast");

    // A missing or huge file is an error.
    EXPECT_FALSE(ReadCueSheet(dir.file("none.cue"), &sheet, &error));
    EXPECT_NE(error.find("none.cue"), std::string::npos);
    testfiles::WriteFile(dir.file("big.cue"), testfiles::Bytes((1 << 20) + 1, 'R'));
    EXPECT_FALSE(ReadCueSheet(dir.file("big.cue"), &sheet, &error));
}

}  // namespace
