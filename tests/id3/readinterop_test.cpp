// Tags written by independent tools (mutagen, eyeD3, id3v2) read back through our reader.
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "id3/id3v1.h"
#include "id3/id3v2read.h"
#include "id3/mpeginfo.h"
#include "support/testfiles.h"

using namespace mdlID3;
using namespace testfiles;

namespace {

const char* kPython = "/usr/bin/python3";

bool RunQuietly(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

bool HaveMutagen() { return RunQuietly(std::string(kPython) + " -c 'import mutagen'"); }

std::string MakeAudio(const TempDir& dir, const std::string& name) {
    auto path = dir.file(name);
    WriteFile(path, SilentFrames(20));
    return path;
}

// Writes a tag with mutagen: `version` 3 or 4, `encoding` 0..3 for every text frame.
bool WriteWithMutagen(const std::string& path, int version, int encoding) {
    auto script = path + ".py";
    std::ofstream(script) << R"(import sys
from mutagen.id3 import ID3, TPE1, TALB, TIT2, TYER, TDRC, TCON, COMM, TRCK, TENC, WXXX, TCOP, TCOM, TOPE, APIC
path, version, enc = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
latin = enc == 0
t = ID3()
t.add(TPE1(encoding=enc, text=["Ärtist" if latin else "Ärtist Жук ♫"]))
t.add(TALB(encoding=enc, text=["Album"]))
t.add(TIT2(encoding=enc, text=["Title", "Second"]))
t.add((TYER if version == 3 else TDRC)(encoding=enc, text=["2004"]))
t.add(TCON(encoding=enc, text=["(17)Rock" if version == 3 else "Rock"]))
t.add(COMM(encoding=enc, lang="eng", desc="d", text=["line one\nline two"]))
t.add(TRCK(encoding=enc, text=["3/12"]))
t.add(TENC(encoding=enc, text=["Lame"]))
t.add(WXXX(encoding=enc, desc="home", url="http://example.org/x"))
t.add(TCOP(encoding=enc, text=["2004 Someone"]))
t.add(TCOM(encoding=enc, text=["Composer"]))
t.add(TOPE(encoding=enc, text=["Original"]))
t.add(APIC(encoding=enc, mime="image/png", type=3, desc="cover", data=bytes(range(256)) * 4))
t.save(path, v2_version=version)
)";
    return RunQuietly(std::string(kPython) + " " + script + " " + path + " " + std::to_string(version) + " " +
               std::to_string(encoding));
}

}  // namespace

TEST(ReadInterop, MutagenTagsInEveryEncoding) {
    if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is not installed";
    TempDir dir;
    struct Case {
        int version;
        int encoding;
    };
    // 2.3 knows encodings 0 and 1; 2.4 adds 2 (UTF-16BE) and 3 (UTF-8).
    for (Case c : {Case{3, 0}, Case{3, 1}, Case{4, 0}, Case{4, 1}, Case{4, 2}, Case{4, 3}}) {
        SCOPED_TRACE("version 2." + std::to_string(c.version) + " encoding " + std::to_string(c.encoding));
        auto path = MakeAudio(dir, "m" + std::to_string(c.version) + std::to_string(c.encoding) + ".mp3");
        ASSERT_TRUE(WriteWithMutagen(path, c.version, c.encoding));
        ID3TagInfo info;
        ASSERT_TRUE(ReadID3v2Tag(path, info));
        EXPECT_EQ(info.Artist, c.encoding == 0 ? "\xC3\x84rtist" : "\xC3\x84rtist \xD0\x96\xD1\x83\xD0\xBA \xE2\x99\xAB");
        EXPECT_EQ(info.Album, "Album");
        // Only the first string of a frame; mutagen joins several values with "/" in 2.3.
        EXPECT_EQ(info.Title, c.version == 3 ? "Title/Second" : "Title");
        EXPECT_EQ(info.Year, "2004");
        EXPECT_EQ(info.Genre, "Rock");
        EXPECT_EQ(info.Comment, "line one\r\nline two");
        EXPECT_EQ(info.Track, "3/12");
        EXPECT_EQ(info.Encoder, "Lame");
        EXPECT_EQ(info.LinkTo, "http://example.org/x");
        EXPECT_EQ(info.Copyright, "2004 Someone");
        EXPECT_EQ(info.Composer, "Composer");
        EXPECT_EQ(info.OrigArtist, "Original");

        MpegInfo mpeg;
        EXPECT_TRUE(ReadMpegInfo(path, mpeg));
        EXPECT_EQ(mpeg.ID3v2Major, c.version);
        EXPECT_EQ(mpeg.Bitrate, 128);
    }
}

TEST(ReadInterop, EyeD3Version23Utf16) {
    if (!RunQuietly("command -v eyeD3")) GTEST_SKIP() << "eyeD3 is not installed";
    TempDir dir;
    auto path = MakeAudio(dir, "e.mp3");
    ASSERT_TRUE(RunQuietly("eyeD3 --to-v2.3 -a 'Ärtist Ж' -t Title -A Album -n 3 -G Rock -c 'Com ment' "
                    "--user-url-frame 'd:http://e.example' " + path));
    ID3TagInfo info;
    ASSERT_TRUE(ReadID3v2Tag(path, info));
    EXPECT_EQ(info.Artist, "\xC3\x84rtist \xD0\x96");
    EXPECT_EQ(info.Title, "Title");
    EXPECT_EQ(info.Album, "Album");
    EXPECT_EQ(info.Track, "03");  // eyeD3 writes two digits
    EXPECT_EQ(info.Genre, "Rock");
    EXPECT_EQ(info.Comment, "Com ment");
    EXPECT_EQ(info.LinkTo, "http://e.example");
}

TEST(ReadInterop, Id3v2ToolWritesBothVersions) {
    if (!RunQuietly("command -v id3v2")) GTEST_SKIP() << "id3v2 is not installed";
    TempDir dir;
    auto path = MakeAudio(dir, "i.mp3");
    ASSERT_TRUE(RunQuietly("id3v2 -a Art -t Tit -A Alb -g 13 -T 4 -y 2001 -c cmt " + path));
    ID3TagInfo info;
    ASSERT_TRUE(ReadID3v2Tag(path, info));
    EXPECT_EQ(info.Artist, "Art");
    EXPECT_EQ(info.Title, "Tit");
    EXPECT_EQ(info.Genre, "Pop");
    EXPECT_EQ(info.Track, "4");
    EXPECT_EQ(info.Year, "2001");
    EXPECT_EQ(info.Comment, "cmt");

    ID3TagInfo v1;
    ASSERT_TRUE(ReadID3v1Tag(path, v1));
    EXPECT_EQ(v1.Artist, "Art");
    EXPECT_EQ(v1.Album, "Alb");
    EXPECT_EQ(v1.Genre, "Pop");
    EXPECT_EQ(v1.Track, "4");
    EXPECT_EQ(v1.Comment, "cmt");
    MpegInfo mpeg;
    EXPECT_TRUE(ReadMpegInfo(path, mpeg));
    EXPECT_EQ(mpeg.ID3v1Minor, 1);
}

TEST(ReadInterop, OurVersion1TagReadsBackThroughMutagen) {
    if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is not installed";
    TempDir dir;
    auto path = MakeAudio(dir, "v1.mp3");
    ID3TagInfo info;
    info.Title = "Caf\xC3\xA9 \xD0\x96";
    info.Artist = "Artist";
    info.Album = "Album";
    info.Year = "1999";
    info.Comment = "two\r\nlines";
    info.Track = "12";
    info.Genre = "rock";
    ASSERT_TRUE(WriteID3v1Tag(path, info, true));
    auto script = path + ".py";
    std::ofstream(script) << R"(import sys
from mutagen.id3 import ParseID3v1
data = open(sys.argv[1], 'rb').read()[-128:]
f = ParseID3v1(data)
expect = {"TIT2": "Café ?", "TPE1": "Artist", "TALB": "Album", "TDRC": "1999", "COMM": "two lines",
          "TRCK": "12", "TCON": "17"}
for k, v in expect.items():
    got = str(f[k].text[0]) if k in f else None
    assert got == v, (k, got, v)
)";
    EXPECT_TRUE(RunQuietly(std::string(kPython) + " " + script + " " + path));
}
