// Against independent tools: what we write, mutagen reads; what mutagen, eyeD3 and id3v2 write,
// our reader reads and our writer keeps byte for byte.
#include <filesystem>
#include <string>
#include <tuple>
#include <vector>

#include <gtest/gtest.h>

#include "id3/chapters.h"
#include "id3/id3v1.h"
#include "id3/id3v2read.h"
#include "id3/id3v2write.h"
#include "id3v2write_fixtures.h"
#include "support/testfiles.h"

using namespace testfiles;
using namespace writefixtures;
using mdlID3::ID3TagInfo;

namespace {

std::string Hex(const std::string& text) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 15]);
    }
    return out;
}

// Runs a Python script with the system's interpreter (it has the Debian python3-mutagen) and
// returns what it printed; it must succeed.
std::string RunScript(const std::string& script, const std::vector<std::string>& args) {
    const std::string python = std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    std::string command = python + " -c " + ShellQuote(script);
    for (const auto& a : args) command += " " + ShellQuote(a);
    int status = -1;
    std::string out = CommandOutput(command + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    return out;
}

int WriteVersion(int major) { return major == 4 ? mdlID3::kWriteV24 : mdlID3::kWriteV23; }

// "version 2.x", then "ID<tab>hex of the UTF-8 text" for each text, comment and user link frame,
// raw (no conversion to 2.4).
const char* kDumpScript = R"(
import sys
from mutagen.id3 import ID3
t = ID3(sys.argv[1], translate=False)
print("version", "%d.%d" % t.version[:2])
for f in t.values():
    if f.FrameID == "COMM":
        value = f.text[0]
    elif f.FrameID == "WXXX":
        value = f.url
    elif f.FrameID.startswith("T"):
        value = str(f.text[0])
    else:
        continue
    print(f.FrameID, value.encode("utf-8").hex(), sep="\t")
)";

// One line per chapter in the table of contents' order: "id start end offset title(hex)", after
// the table of contents' flags.
const char* kChaptersScript = R"(
import sys
from mutagen.id3 import ID3
t = ID3(sys.argv[1])
tocs = t.getall("CTOC")
chaps = {c.element_id: c for c in t.getall("CHAP")}
print("tocs", len(tocs), "chaps", len(chaps))
for toc in tocs:
    print("flags", int(toc.flags))
    for cid in toc.child_element_ids:
        c = chaps[cid]
        title = str(c.sub_frames["TIT2"].text[0]) if "TIT2" in c.sub_frames else ""
        print(cid, c.start_time, c.end_time, hex(c.start_offset), title.encode("utf-8").hex())
)";

class Interop : public ::testing::Test {
protected:
    void SetUp() override {
        if (!MutagenInstalled()) GTEST_SKIP() << "python3-mutagen is not installed";
    }
    std::string MakeAudio(const std::string& name) const {
        WriteFile(tmp.file(name), audio);
        return tmp.file(name);
    }
    TempDir tmp;
    Bytes audio = SilentFrames(20);
};

}  // namespace

TEST_F(Interop, MutagenReadsWhatWeWrite) {
    // In the record's order; a symbol outside the BMP is a surrogate pair in UTF-16.
    const ID3TagInfo info{"Bj\xC3\xB6rk", "\xE6\x97\xA5\xE6\x9C\xAC \xD0\xAF", "Plain title", "1999", "rock",
                          "line \xE2\x98\x83 comment", "4/9", "\xC3\xA9ncoder", "http://example.org/x?y=1",
                          "\xF0\x9F\x8E\xB5 2024", "Composer", "Orig"};
    for (int major : {3, 4}) {
        SCOPED_TRACE(major);
        const auto path = MakeAudio("w" + std::to_string(major) + ".mp3");
        ASSERT_TRUE(mdlID3::WriteID3v2Tag(path, info, WriteVersion(major), false, true));
        const char* ids[] = {"TPE1", "TALB", "TIT2", major == 4 ? "TDRC" : "TYER", "TCON", "COMM",
                             "TRCK", "TENC", "WXXX", "TCOP", "TCOM", "TOPE"};
        std::vector<std::string> values = Fields(info);
        values[4] = "(17)Rock";
        std::string expected = "version 2." + std::to_string(major) + "\n";
        for (size_t i = 0; i < values.size(); ++i) expected += std::string(ids[i]) + "\t" + Hex(values[i]) + "\n";
        EXPECT_EQ(RunScript(kDumpScript, {path}), expected);
        const Bytes file = ReadFile(path);
        EXPECT_EQ(Tail(file, TagSize(file)), audio);
    }
}

// Frames of every kind, chapters included, survive a write that makes the tag grow: mutagen sees
// the same frames, and their bytes are the same, in the same order.
TEST_F(Interop, FramesMutagenWroteAreKeptByteForByte) {
    // Picture data with every byte value, FF 00 pairs and FF E0 (a false MPEG sync) included.
    const char* makeScript = R"(
import sys
from mutagen.id3 import (ID3, APIC, USLT, TXXX, PRIV, GEOB, POPM, TPE2, TIT2, COMM, TSSE, UFID, CHAP, CTOC,
                         CTOCFlags, WXXX)
data = bytes(range(256)) * 8 + b"\xff\x00\xff\xe0\xff"
t = ID3()
t.add(TIT2(encoding=3, text=["old title"]))
t.add(APIC(encoding=1, mime="image/png", type=3, desc="c\u00f6ver \u2603", data=data))
t.add(USLT(encoding=1, lang="deu", desc="", text="Lied \u2603\nzwei"))
t.add(TXXX(encoding=1, desc="K\u00e9y", text=["\u65e5\u672c"]))
t.add(PRIV(owner="owner@example", data=b"\x00\x01\xff"))
t.add(GEOB(encoding=0, mime="application/x-y", filename="f.bin", desc="d", data=b"\xff" * 40))
t.add(POPM(email="a@b", rating=200, count=7))
t.add(TPE2(encoding=1, text=["Band \u00c4"]))
t.add(TSSE(encoding=0, text=["LAME"]))
t.add(UFID(owner="http://x", data=b"id-1"))
t.add(COMM(encoding=0, lang="eng", desc="", text=["old comment"]))
t.add(CTOC(element_id="toc", flags=CTOCFlags.TOP_LEVEL | CTOCFlags.ORDERED, child_element_ids=["a", "b"],
           sub_frames=[TIT2(encoding=3, text=["Contents"])]))
t.add(CHAP(element_id="a", start_time=0, end_time=61234, sub_frames=[TIT2(encoding=1, text=["Anfang \u00fc"]),
           APIC(encoding=0, mime="image/png", type=3, desc="", data=b"\x89PNG" + bytes(400))]))
t.add(CHAP(element_id="b", start_time=61234, end_time=99999, sub_frames=[TIT2(encoding=3, text=["Ende \u20ac"]),
           WXXX(encoding=0, desc="", url="https://example.org/b")]))
t.save(sys.argv[1], v2_version=int(sys.argv[2]))
)";
    const char* compareScript = R"(
import sys
from mutagen.id3 import ID3
record = {"TALB", "TPE1", "TIT2", "TDRC", "TYER", "TCON", "COMM", "TENC", "TRCK", "WXXX",
          "TCOP", "TOPE", "TCOM"}
before = ID3(sys.argv[1], translate=False)
after = ID3(sys.argv[2], translate=False)
kept = lambda t: [(k, repr(v)) for k, v in t.items() if v.FrameID not in record]
print("same" if kept(before) == kept(after) else "differ:\n%r\n%r" % (kept(before), kept(after)))
print(after["TIT2"].text[0][:9], after.version[1])
)";
    const auto keptFrames = [](const Bytes& file) {
        std::vector<WalkedFrame> kept;
        for (auto& f : WalkFrames(file))
            if (mdlID3::IsKeptFrame(f.id)) kept.push_back(f);
        return kept;
    };
    for (int major : {3, 4}) {
        SCOPED_TRACE(major);
        const auto before = MakeAudio("before" + std::to_string(major) + ".mp3");
        const auto after = tmp.file("after" + std::to_string(major) + ".mp3");
        RunScript(makeScript, {before, std::to_string(major)});
        std::filesystem::copy_file(before, after);
        const std::string chaptersBefore = RunScript(kChaptersScript, {before});

        ID3TagInfo info;
        info.Title = "new title that makes the tag grow " + std::string(3000, 'x');
        ASSERT_TRUE(mdlID3::WriteID3v2Tag(after, info, WriteVersion(major), false, true))
            << mdlID3::LastTagWriteError();
        EXPECT_EQ(RunScript(compareScript, {before, after}), "same\nnew title " + std::to_string(major) + "\n");
        EXPECT_EQ(RunScript(kChaptersScript, {after}), chaptersBefore);

        const Bytes oldFile = ReadFile(before);
        const Bytes newFile = ReadFile(after);
        EXPECT_EQ(keptFrames(oldFile).size(), 12u);
        EXPECT_TRUE(keptFrames(oldFile) == keptFrames(newFile));
        EXPECT_GT(TagSize(newFile), TagSize(oldFile));
        EXPECT_EQ(Tail(newFile, TagSize(newFile)), audio);
    }
}

TEST_F(Interop, CompressedAndEncryptedFramesSurviveAWrite) {
    // A zlib-compressed TXXX and an encrypted PRIV, which mutagen reads but never writes, built
    // by hand; mutagen then reads what our writer made of them.
    const char* makeScript = R"(
import struct, sys, zlib
major = int(sys.argv[2])
def size(n):
    return bytes([(n >> 21) & 127, (n >> 14) & 127, (n >> 7) & 127, n & 127]) if major == 4 else struct.pack(">I", n)
def frame(fid, fmt, content):
    return fid + size(len(content)) + bytes([0, fmt]) + content
plain = b"\x00K\x00zipped value"
zipped = zlib.compress(plain)
if major == 4:
    txxx = frame(b"TXXX", 0x09, size(len(plain)) + zipped)
    priv = frame(b"PRIV", 0x04, b"\x81" + bytes(range(200)))
else:
    txxx = frame(b"TXXX", 0x80, struct.pack(">I", len(plain)) + zipped)
    priv = frame(b"PRIV", 0x40, b"\x81" + bytes(range(200)))
body = frame(b"TIT2", 0, b"\x00old") + txxx + priv
audio = open(sys.argv[1], "rb").read()
open(sys.argv[1], "wb").write(b"ID3" + bytes([major, 0, 0]) + bytes([(len(body) >> 21) & 127, (len(body) >> 14) & 127, (len(body) >> 7) & 127, len(body) & 127]) + body + audio)
print(priv.hex())
)";
    const char* readScript = R"(
import sys
from mutagen.id3 import ID3
t = ID3(sys.argv[1], translate=False)
print(t["TIT2"].text[0], t["TXXX:K"].text[0])
print(" ".join(f.hex() for f in t.unknown_frames))
)";
    for (int major : {3, 4}) {
        SCOPED_TRACE(major);
        const auto path = MakeAudio("f" + std::to_string(major) + ".mp3");
        const std::string priv = RunScript(makeScript, {path, std::to_string(major)});
        ID3TagInfo info;
        info.Title = "new title";
        ASSERT_TRUE(mdlID3::WriteID3v2Tag(path, info, WriteVersion(major), false, true)) << mdlID3::LastTagWriteError();
        EXPECT_EQ(RunScript(readScript, {path}), "new title zipped value\n" + priv);
        const Bytes file = ReadFile(path);
        EXPECT_EQ(Tail(file, TagSize(file)), audio);
    }
}

TEST_F(Interop, WeReadMutagensTagsInEveryEncoding) {
    // `version` 3 or 4, `encoding` 0..3 for every text frame.
    const char* script = R"(import sys
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
    // 2.3 knows encodings 0 and 1; 2.4 adds 2 (UTF-16BE) and 3 (UTF-8).
    for (auto [version, encoding] : {std::pair{3, 0}, {3, 1}, {4, 0}, {4, 1}, {4, 2}, {4, 3}}) {
        SCOPED_TRACE("version 2." + std::to_string(version) + " encoding " + std::to_string(encoding));
        const auto path = MakeAudio("m" + std::to_string(version) + std::to_string(encoding) + ".mp3");
        RunScript(script, {path, std::to_string(version), std::to_string(encoding)});
        ID3TagInfo info;
        ASSERT_TRUE(mdlID3::ReadID3v2Tag(path, info));
        // Only the first string of a frame; mutagen joins several values with "/" in 2.3.
        EXPECT_EQ(Fields(info),
                  (std::vector<std::string>{
                      encoding == 0 ? "\xC3\x84rtist" : "\xC3\x84rtist \xD0\x96\xD1\x83\xD0\xBA \xE2\x99\xAB", "Album",
                      version == 3 ? "Title/Second" : "Title", "2004", "Rock", "line one\r\nline two", "3/12", "Lame",
                      "http://example.org/x", "2004 Someone", "Composer", "Original"}));
    }
}

TEST_F(Interop, OurVersion1TagReadsBackThroughMutagen) {
    const auto path = MakeAudio("v1.mp3");
    const ID3TagInfo info{"Artist", "Album", "Caf\xC3\xA9 \xD0\x96", "1999", "rock", "two\r\nlines", "12",
                          "", "", "", "", ""};
    ASSERT_TRUE(mdlID3::WriteID3v1Tag(path, info, true));
    const char* script = R"(import sys
from mutagen.id3 import ParseID3v1
f = ParseID3v1(open(sys.argv[1], 'rb').read()[-128:])
for k in ["TIT2", "TPE1", "TALB", "TDRC", "COMM", "TRCK", "TCON"]:
    print(k, str(f[k].text[0]) if k in f else None)
)";
    EXPECT_EQ(RunScript(script, {path}),
              "TIT2 Caf\xC3\xA9 ?\nTPE1 Artist\nTALB Album\nTDRC 1999\nCOMM two lines\nTRCK 12\nTCON 17\n");
}

TEST_F(Interop, MutagenReadsOurChaptersExactlyInOrder) {
    const uint32_t starts[] = {0, 333, 1001, 1044};
    const std::string titles[] = {"Intro", "Mitte \xC3\xBC", "\xE6\x9C\x80\xE5\xBE\x8C"};
    for (int major : {3, 4}) {
        SCOPED_TRACE(major);
        const std::string path = tmp.file("ours" + std::to_string(major) + ".mp3");
        // The tag's version is the file's: a 2.4 tag for 4, none (so 2.3) for 3.
        const Bytes start = major == 4 ? Bytes{'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0} : Bytes{};
        WriteFile(path, Concat({start, SilentFrames(40)}));
        std::vector<mdlID3::Chapter> chapters(3);
        for (size_t i = 0; i < 3; ++i)
            std::tie(chapters[i].StartMs, chapters[i].Title) = std::tuple(starts[i], titles[i]);
        mdlID3::ArrangeChapters(chapters, 1044);
        ASSERT_TRUE(mdlID3::WriteChapters(path, chapters)) << mdlID3::LastTagWriteError();
        EXPECT_EQ(ReadFile(path)[3], major);
        std::string expected = "tocs 1 chaps 3\nflags 3\n";
        for (size_t i = 0; i < 3; ++i)
            expected += "chp" + std::to_string(i) + " " + std::to_string(starts[i]) + " " +
                        std::to_string(starts[i + 1]) + " 0xffffffff " + Hex(titles[i]) + "\n";
        EXPECT_EQ(RunScript(kChaptersScript, {path}), expected);
    }
}

TEST(ToolInterop, WeReadEyeD3AndId3v2Tags) {
    if (!HaveTools("eyeD3 id3v2")) GTEST_SKIP() << "eyeD3 or id3v2 is not installed";
    TempDir dir;
    const auto path = dir.file("e.mp3");
    WriteFile(path, SilentFrames(20));
    int status = -1;
    CommandOutput("eyeD3 --to-v2.3 -a 'Ärtist Ж' -t Title -A Album -n 3 -G Rock -c 'Com ment' "
                  "--user-url-frame 'd:http://e.example' " + path + " >/dev/null 2>&1", &status);
    ASSERT_EQ(status, 0);
    ID3TagInfo info;
    ASSERT_TRUE(mdlID3::ReadID3v2Tag(path, info));
    // eyeD3 writes a UTF-16 artist and a two-digit track.
    EXPECT_EQ(Fields(info), (std::vector<std::string>{"\xC3\x84rtist \xD0\x96", "Album", "Title", "", "Rock",
                                                      "Com ment", "03", "", "http://e.example", "", "", ""}));

    // id3v2 writes both an ID3v2.3 and an ID3v1.1 tag.
    const auto both = dir.file("i.mp3");
    WriteFile(both, SilentFrames(20));
    CommandOutput("id3v2 -a Art -t Tit -A Alb -g 13 -T 4 -y 2001 -c cmt " + both + " >/dev/null 2>&1", &status);
    ASSERT_EQ(status, 0);
    for (const auto read : {&mdlID3::ReadID3v2Tag, &mdlID3::ReadID3v1Tag}) {
        ID3TagInfo tag;
        ASSERT_TRUE(read(both, tag));
        EXPECT_EQ(Fields(tag), (std::vector<std::string>{"Art", "Alb", "Tit", "2001", "Pop", "cmt", "4", "", "", "", "",
                                                         ""}));
    }
}
