// Chapters against mutagen: what we write, mutagen reads to the millisecond in order; what mutagen
// writes, our tag edits keep byte for byte.
#include <algorithm>
#include <tuple>

#include <gtest/gtest.h>

#include "files/filereader.h"
#include "id3/chapters.h"
#include "id3/id3v2read.h"
#include "id3/id3v2write.h"
#include "support/testfiles.h"

namespace {

using testfiles::Bytes;

// `script` run on `path`, which must succeed.
std::string RunPython(const std::string& script, const std::string& path) {
    int status = -1;
    const std::string out = testfiles::PythonOutput(script, path, &status);
    EXPECT_EQ(status, 0) << out;
    return out;
}

// One line per chapter in the table of contents' order: "id start end title(hex)", then the
// table of contents' flags.
const char* kReadScript = R"(
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

const char* kWriteScript = R"(
import sys
from mutagen.id3 import ID3, CHAP, CTOC, TIT2, WXXX, APIC, CTOCFlags
t = ID3()
t.add(TIT2(encoding=3, text=["Show"]))
t.add(CTOC(element_id="toc", flags=CTOCFlags.TOP_LEVEL | CTOCFlags.ORDERED, child_element_ids=["a", "b"],
           sub_frames=[TIT2(encoding=3, text=["Contents"])]))
t.add(CHAP(element_id="a", start_time=0, end_time=61234, sub_frames=[TIT2(encoding=1, text=["Anfang \u00fc"]),
           APIC(encoding=0, mime="image/png", type=3, desc="", data=b"\x89PNG" + bytes(400))]))
t.add(CHAP(element_id="b", start_time=61234, end_time=99999, sub_frames=[TIT2(encoding=3, text=["Ende \u20ac"]),
           WXXX(encoding=0, desc="", url="https://example.org/b")]))
t.save(sys.argv[1], v2_version=int(sys.argv[1][-5]))
)";

std::string Hex(const std::string& text) {
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char c : text) {
        out.push_back(kDigits[c >> 4]);
        out.push_back(kDigits[c & 15]);
    }
    return out;
}

class ChapterInterop : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testfiles::MutagenInstalled()) GTEST_SKIP() << "python3-mutagen is not installed";
    }
    testfiles::TempDir dir;
};

TEST_F(ChapterInterop, MutagenReadsOurChaptersExactlyInOrder) {
    const uint32_t starts[] = {0, 333, 1001, 1044};
    const std::string titles[] = {"Intro", "Mitte \xC3\xBC", "\xE6\x9C\x80\xE5\xBE\x8C"};
    for (int major : {3, 4}) {
        const std::string path = dir.file("ours" + std::to_string(major) + ".mp3");
        // The tag's version is the file's: a 2.4 tag for 4, none (so 2.3) for 3.
        Bytes start;
        if (major == 4) start = Bytes{'I', 'D', '3', 4, 0, 0, 0, 0, 0, 0};
        testfiles::WriteFile(path, testfiles::Concat({start, testfiles::SilentFrames(40)}));
        std::vector<mdlID3::Chapter> chapters(3);
        for (size_t i = 0; i < 3; ++i) std::tie(chapters[i].StartMs, chapters[i].Title) = std::tuple(starts[i], titles[i]);
        mdlID3::ArrangeChapters(chapters, 1044);
        ASSERT_TRUE(mdlID3::WriteChapters(path, chapters)) << mdlID3::LastTagWriteError();
        EXPECT_EQ(testfiles::ReadFile(path)[3], major);
        std::string expected = "tocs 1 chaps 3\nflags 3\n";
        for (size_t i = 0; i < 3; ++i)
            expected += "chp" + std::to_string(i) + " " + std::to_string(starts[i]) + " " + std::to_string(starts[i + 1]) +
                        " 0xffffffff " + Hex(titles[i]) + "\n";
        EXPECT_EQ(RunPython(kReadScript, path), expected) << major;
    }
}

TEST_F(ChapterInterop, MutagensChaptersSurviveOurTagEditsByteForByte) {
    for (int major : {3, 4}) {
        const std::string path = dir.file("theirs" + std::to_string(major) + ".mp3");
        testfiles::WriteFile(path, testfiles::SilentFrames(40));
        RunPython(kWriteScript, path);
        const auto chapterFrames = [&] {
            mdlID3::FileReader file(path);
            mdlID3::KeptFrameList frames;
            EXPECT_EQ(mdlID3::ReadID3v2Frames(file, frames), major);
            std::vector<std::pair<std::string, Bytes>> chapters;
            for (const auto& f : frames)
                if (f.Id == "CHAP" || f.Id == "CTOC") chapters.emplace_back(f.Id, f.Data);
            return chapters;
        };
        const auto before = chapterFrames();
        ASSERT_EQ(before.size(), 3u);
        const std::string mutagenBefore = RunPython(kReadScript, path);
        mdlID3::ID3TagInfo info;
        info.Title = "Edited title that makes the tag grow " + std::string(3000, 'x');
        info.Artist = "Someone";
        ASSERT_TRUE(mdlID3::WriteID3v2Tag(path, info, major == 4 ? mdlID3::kWriteV24 : mdlID3::kWriteV23, false, false))
            << mdlID3::LastTagWriteError();
        EXPECT_EQ(chapterFrames(), before) << major;
        EXPECT_EQ(RunPython(kReadScript, path), mutagenBefore);
    }
}

}  // namespace
