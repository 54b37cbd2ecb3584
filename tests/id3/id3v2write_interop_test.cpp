// What the writer makes, read back by mutagen; and frames mutagen wrote, kept by the writer.
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include <gtest/gtest.h>

#include "id3/id3v2write.h"
#include "id3v2write_fixtures.h"
#include "support/testfiles.h"

using namespace testfiles;
using namespace writefixtures;

namespace {

std::string Python() {
    // The system interpreter has the Debian python3-mutagen; a user-level python3 may not.
    return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

bool HaveMutagen() {
    int status = -1;
    testfiles::CommandOutput(Python() + " -c 'import mutagen' 2>/dev/null", &status);
    return status == 0;
}

std::string Hex(const std::string& text) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 15]);
    }
    return out;
}

// Runs a Python script (given the file names as arguments) and returns what it printed.
std::string RunScript(const TempDir& tmp, const std::string& script,
                      const std::vector<std::string>& args) {
    const auto path = tmp.file("script.py");
    WriteFile(path, FromString(script));
    std::string command = Python() + " " + path;
    for (const auto& a : args) command += " '" + a + "'";
    int status = -1;
    std::string out = testfiles::CommandOutput(command + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    return out;
}

// Prints "ID<tab>hex of the UTF-8 text" for each text, comment and user link frame, raw (no
// conversion to 2.4), and the tag version.
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

class MutagenInterop : public ::testing::Test {
protected:
    void SetUp() override {
        if (!HaveMutagen()) GTEST_SKIP() << "python3-mutagen is not installed";
        audio = SilentFrames(8);
    }
    TempDir tmp;
    Bytes audio;
};

}  // namespace

TEST_F(MutagenInterop, MutagenReadsWhatWeWrite) {
    mdlID3::ID3TagInfo info;
    info.Artist = "Bj\xC3\xB6rk";
    info.Album = "\xE6\x97\xA5\xE6\x9C\xAC \xD0\xAF";
    info.Title = "Plain title";
    info.Year = "1999";
    info.Genre = "rock";
    info.Comment = "line \xE2\x98\x83 comment";
    info.Track = "4/9";
    info.Encoder = "\xC3\xA9ncoder";
    info.LinkTo = "http://example.org/x?y=1";
    info.Copyright = "\xF0\x9F\x8E\xB5 2024";
    info.Composer = "Composer";
    info.OrigArtist = "Orig";
    for (int version : {mdlID3::kWriteV23, mdlID3::kWriteV24}) {
        SCOPED_TRACE(version);
        const auto path = tmp.file("w" + std::to_string(version) + ".mp3");
        WriteFile(path, audio);
        ASSERT_TRUE(mdlID3::WriteID3v2Tag(path, info, version, false, true));
        const std::string yearId = version == mdlID3::kWriteV24 ? "TDRC" : "TYER";
        std::string expected = std::string("version ") + (version ? "2.4" : "2.3") + "\n";
        for (const auto& [id, value] : std::vector<std::pair<std::string, std::string>>{
                 {"TPE1", info.Artist}, {"TALB", info.Album}, {"TIT2", info.Title},
                 {yearId, info.Year}, {"TCON", "(17)Rock"}, {"COMM", info.Comment},
                 {"TRCK", info.Track}, {"TENC", info.Encoder}, {"WXXX", info.LinkTo},
                 {"TCOP", info.Copyright}, {"TCOM", info.Composer}, {"TOPE", info.OrigArtist}})
            expected += id + "\t" + Hex(value) + "\n";
        EXPECT_EQ(RunScript(tmp, kDumpScript, {path}), expected);
        Bytes file = ReadFile(path);
        EXPECT_EQ(Tail(file, TagSize(file)), audio);
    }
}

TEST_F(MutagenInterop, FramesMutagenWroteAreKeptByteForByte) {
    // Picture data with every byte value, FF 00 pairs and FF E0 (a false MPEG sync) included.
    const char* makeScript = R"(
import sys
from mutagen.id3 import ID3, APIC, USLT, TXXX, PRIV, GEOB, POPM, TPE2, TIT2, COMM, TSSE, UFID
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
print(after["TIT2"].text[0], after.version[1])
)";
    for (int major : {3, 4}) {
        SCOPED_TRACE(major);
        const auto before = tmp.file("before" + std::to_string(major) + ".mp3");
        const auto after = tmp.file("after" + std::to_string(major) + ".mp3");
        WriteFile(before, audio);
        RunScript(tmp, makeScript, {before, std::to_string(major)});
        std::filesystem::copy_file(before, after);

        mdlID3::ID3TagInfo info;
        info.Title = "new title";
        ASSERT_TRUE(mdlID3::WriteID3v2Tag(after, info, major == 4 ? mdlID3::kWriteV24 : mdlID3::kWriteV23,
                                          false, true));
        EXPECT_EQ(RunScript(tmp, compareScript, {before, after}),
                  "same\nnew title " + std::to_string(major) + "\n");

        // Our own look at the bytes: every kept frame's data is the same, in the same order.
        Bytes oldFile = ReadFile(before);
        Bytes newFile = ReadFile(after);
        std::vector<WalkedFrame> oldKept;
        for (auto& f : WalkFrames(oldFile))
            if (mdlID3::IsKeptFrame(f.id)) oldKept.push_back(f);
        std::vector<WalkedFrame> newKept;
        for (auto& f : WalkFrames(newFile))
            if (mdlID3::IsKeptFrame(f.id)) newKept.push_back(f);
        EXPECT_EQ(oldKept.size(), 9u);
        EXPECT_TRUE(oldKept == newKept);
        EXPECT_EQ(Tail(newFile, TagSize(newFile)), audio);
    }
}

TEST_F(MutagenInterop, CompressedAndEncryptedFramesSurviveAWrite) {
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
        const auto path = tmp.file("f" + std::to_string(major) + ".mp3");
        WriteFile(path, audio);
        const std::string priv = RunScript(tmp, makeScript, {path, std::to_string(major)});
        mdlID3::ID3TagInfo info;
        info.Title = "new title";
        ASSERT_TRUE(mdlID3::WriteID3v2Tag(path, info, major == 4 ? mdlID3::kWriteV24 : mdlID3::kWriteV23, false,
                                          true))
            << mdlID3::LastTagWriteError();
        EXPECT_EQ(RunScript(tmp, readScript, {path}), "new title zipped value\n" + priv);
        const Bytes file = ReadFile(path);
        EXPECT_EQ(Tail(file, TagSize(file)), audio);
    }
}
