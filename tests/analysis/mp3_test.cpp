#include "analysis/mp3.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <random>
#include <string>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/testfiles.h"

using testfiles::Bytes;
using testfiles::Concat;
using testfiles::FromString;

namespace {

// `before` bytes of filler (no FF), a header, then filler up to `total` bytes.
Bytes FileWithHeader(size_t before, Bytes header, size_t total) {
    Bytes data(before, 0x11);
    data.insert(data.end(), header.begin(), header.end());
    data.resize(total, 0x22);
    return data;
}

struct Loaded {
    testfiles::TempDir dir;
    MP3 mp3;
    bool ok = false;
    std::string path;
    explicit Loaded(const Bytes& data) : path(dir.file("a.mp3")) {
        testfiles::WriteFile(path, data);
        ok = mp3.LoadFile(path);
    }
};

TEST(MP3Test, StartsEmpty) {
    MP3 mp3;
    EXPECT_EQ(mp3.Size(), 0);
    EXPECT_EQ(mp3.HeaderStart(), 0);
    EXPECT_EQ(mp3.Bitrate(), 0);
    EXPECT_EQ(mp3.Length(), 0);
    EXPECT_EQ(mp3.HeaderBits(), "");
    EXPECT_EQ(mp3.Mode(), "");
    EXPECT_EQ(mp3.FileName(), "");
    EXPECT_EQ(mp3.Title(), "");
    EXPECT_FALSE(mp3.VBR() || mp3.HasID3Tag() || mp3.Copyright() || mp3.Home());
}

// Each field of the first frame header, wherever it sits (one-based HeaderStart).
TEST(MP3Test, DecodesEachField) {
    struct Case {
        size_t before;
        uint8_t b1, b2, b3;
        int bitrate, frequency, frameSize;
        const char* mode;
        const char* emphasis;
        bool copyright, home;
    };
    const Case cases[] = {
        // 417.96 rounded, not the 417 bytes a frame really has
        {0, 0xFB, 0x90, 0x44, 128, 44100, 418, "joint stereo", "none", false, true},
        {5, 0xFB, 0x92, 0x44, 128, 44100, 419, "joint stereo", "none", false, true},  // padding
        {5, 0xFB, 0x70, 0x00, 96, 44100, 313, "stereo", "none", false, false},
        {5, 0xFB, 0x60, 0xC0, 80, 44100, 261, "mono", "none", false, false},
        {5, 0xFA, 0x14, 0x89, 32, 48000, 96, "dual channel", "50/15ms", true, false},  // with CRC
        {5, 0xFB, 0xE8, 0x0E, 320, 32000, 1440, "stereo", "unknown", true, true},
        {5, 0xFB, 0x0C, 0x03, 0, 0, 144, "stereo", "CCITT j.17", false, false},  // zeros become 1
        {5, 0xFB, 0xF0, 0x00, 0, 44100, 0, "stereo", "none", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << int(c.b1) << " " << int(c.b2) << " " << int(c.b3));
        Loaded f(FileWithHeader(c.before, {0xFF, c.b1, c.b2, c.b3}, 600));
        ASSERT_TRUE(f.ok);
        EXPECT_EQ(f.mp3.HeaderStart(), static_cast<int>(c.before) + 1);
        EXPECT_EQ(f.mp3.MPEGVersion(), 1);
        EXPECT_EQ(f.mp3.Layer(), 3);
        EXPECT_EQ(f.mp3.Bitrate(), c.bitrate);
        EXPECT_EQ(f.mp3.Frequency(), c.frequency);
        EXPECT_EQ(f.mp3.FrameSize(), c.frameSize);
        EXPECT_EQ(f.mp3.Mode(), c.mode);
        EXPECT_EQ(f.mp3.Emphasis(), c.emphasis);
        EXPECT_EQ(f.mp3.Copyright(), c.copyright);
        EXPECT_EQ(f.mp3.Home(), c.home);
        EXPECT_EQ(f.mp3.FileName(), f.path);
        EXPECT_EQ(f.mp3.Size(), 600);
    }
    EXPECT_EQ(Loaded(FileWithHeader(0, {0xFF, 0xFB, 0x90, 0x44}, 1000)).mp3.HeaderBits(),
              "11111111111110111001000001000100");
}

TEST(MP3Test, NoFrameStartDecodesFourZeroBytes) {
    std::mt19937 rng(7);
    Bytes random(5000);
    for (auto& b : random) b = static_cast<uint8_t>(rng() % 0xFF);  // never FF
    random[4999] = 0xFF;                                             // FF as the very last byte
    const Bytes inputs[] = {
        random,
        Bytes(300, 0xFF),
        FileWithHeader(10, {0xFF, 0xFD, 0x90, 0x44}, 300),  // MPEG-1 Layer II
        FileWithHeader(10, {0xFF, 0xF3, 0x90, 0x44}, 300),  // MPEG-2 Layer III
    };
    for (const Bytes& data : inputs) {
        Loaded f(data);
        ASSERT_TRUE(f.ok);
        const MP3& m = f.mp3;
        EXPECT_EQ(m.HeaderStart(), 0);
        EXPECT_EQ(m.HeaderBits(), std::string(32, '0'));
        EXPECT_EQ(m.MPEGVersion(), 2);
        EXPECT_EQ(m.Layer(), 0);
        EXPECT_EQ(m.Bitrate(), 0);
        EXPECT_EQ(m.Frequency(), 22050);
        EXPECT_EQ(m.Mode(), "stereo");
        EXPECT_EQ(m.Emphasis(), "none");
        EXPECT_EQ(m.FrameSize(), 0);
        EXPECT_FALSE(m.Copyright() || m.Home() || m.VBR());
        EXPECT_EQ(m.Length(), (static_cast<int>(data.size()) - 4) * 8);
    }
    Loaded tagged(Concat({Bytes(200, 0), testfiles::Id3v1Tag("t", "a", "b", "1999", "c", 3)}));
    EXPECT_EQ(tagged.mp3.Length(), (328 - 4 - 128) * 8);
}

TEST(MP3Test, SyncSearchIsOneBasedAndSeesPairsAcrossBlocks) {
    // 0-based offset of the FF in the file, expected HeaderStart.
    const std::pair<size_t, int> cases[] = {
        {0, 1}, {1, 2}, {65534, 65535}, {65535, 65536}, {65536, 65537}, {131071, 131072}};
    for (auto [offset, expected] : cases) {
        SCOPED_TRACE(offset);
        Loaded f(FileWithHeader(offset, {0xFF, 0xFB, 0x90, 0x44}, 140000));
        EXPECT_EQ(f.mp3.HeaderStart(), expected);
    }
    // An FF ending the first block whose partner is not FA/FB must not hide the later frame, nor
    // may the FF FB found later be mistaken for a pair with the earlier FF.
    Bytes data = FileWithHeader(70000, {0xFF, 0xFA, 0x90, 0x44}, 80000);
    data[65535] = 0xFF;
    data[65536] = 0xF3;
    Loaded f(data);
    EXPECT_EQ(f.mp3.HeaderStart(), 70001);
}

TEST(MP3Test, ID3v2TagContentCanBeTakenForAFrame) {
    Bytes id3v2 = Concat({FromString("ID3"), {3, 0, 0, 0, 0, 0, 20}, Bytes(20, 0)});
    id3v2[15] = 0xFF;
    id3v2[16] = 0xFA;
    Loaded f(Concat({id3v2, testfiles::SilentFrames(3)}));
    EXPECT_EQ(f.mp3.HeaderStart(), 16);
}

TEST(MP3Test, XingMarkerOnlyAtStereoOffset) {
    auto withMarker = [](size_t headerAt, size_t markerAfter, const std::string& marker, size_t total) {
        Bytes data = FileWithHeader(headerAt, {0xFF, 0xFB, 0x90, 0x44}, total);
        std::copy(marker.begin(), marker.end(), data.begin() + static_cast<long>(headerAt + markerAfter));
        return data;
    };
    EXPECT_TRUE(Loaded(withMarker(0, 36, "Xing", 1000)).mp3.VBR());
    EXPECT_TRUE(Loaded(withMarker(100, 36, "Xing", 1000)).mp3.VBR());
    EXPECT_FALSE(Loaded(withMarker(0, 21, "Xing", 1000)).mp3.VBR());  // mono position
    EXPECT_FALSE(Loaded(withMarker(0, 36, "Info", 1000)).mp3.VBR());
    EXPECT_FALSE(Loaded(withMarker(0, 36, "xing", 1000)).mp3.VBR());
    EXPECT_FALSE(Loaded(withMarker(0, 35, "Xing", 1000)).mp3.VBR());
    EXPECT_FALSE(Loaded(withMarker(0, 37, "Xing", 1000)).mp3.VBR());
    // Looked at only while HeaderStart + 40 < Size.
    EXPECT_TRUE(Loaded(withMarker(258, 36, "Xing", 300)).mp3.VBR());
    EXPECT_FALSE(Loaded(withMarker(259, 36, "Xing", 300)).mp3.VBR());
    // No frame at all: nothing follows a header, whatever sits at byte 37.
    Bytes noFrame(300, 0);
    std::copy_n("Xing", 4, noFrame.begin() + 36);
    EXPECT_FALSE(Loaded(noFrame).mp3.VBR());
}

// Playing time is the bytes after the header at the first header's bitrate, halves rounded to
// even; no audio after the header counts as one byte, a header cut off by the end of the file as
// none (its missing bytes read as zero).
TEST(MP3Test, LengthAndAudioCount) {
    const struct {
        size_t before;
        Bytes header;
        size_t size;
        int frameCount, length;
    } cases[] = {
        // 32 kbit/s = 4000 bytes a second; the header at 1 leaves Size - 5 audio bytes.
        {0, {0xFF, 0xFB, 0x10, 0x44}, 2005, 2000, 0},
        {0, {0xFF, 0xFB, 0x10, 0x44}, 6005, 6000, 2},
        {0, {0xFF, 0xFB, 0x10, 0x44}, 10005, 10000, 2},
        {0, {0xFF, 0xFB, 0x10, 0x44}, 14005, 14000, 4},
        {0, {0xFF, 0xFB, 0x10, 0x44}, 14006, 14001, 4},
        {0, {0xFF, 0xFB, 0x10, 0x44}, 14004, 13999, 3},
        {295, {0xFF, 0xFB, 0x00, 0x44}, 300, 1, 8},  // at bitrate 0 one byte plays 8 seconds
        {298, {0xFF, 0xFB}, 300, 0, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.before << " " << c.size);
        Loaded f(FileWithHeader(c.before, c.header, c.size));
        EXPECT_EQ(f.mp3.FrameCount(), c.frameCount);
        EXPECT_EQ(f.mp3.Length(), c.length);
    }
    EXPECT_EQ(Loaded(FileWithHeader(298, {0xFF, 0xFB}, 300)).mp3.HeaderBits(), "11111111111110110000000000000000");
    testfiles::TempDir dir;
    const std::string path = dir.file("big.mp3");
    testfiles::WriteFile(path, {0xFF, 0xFB, 0x90, 0x44});
    std::filesystem::resize_file(path, 4000000);
    MP3 mp3;
    ASSERT_TRUE(mp3.LoadFile(path));
    EXPECT_EQ(mp3.FrameCount(), 3999995);
    EXPECT_EQ(mp3.Length(), 250);
}

TEST(MP3Test, ReadsTheTagInAnyCase) {
    const Bytes frames = testfiles::SilentFrames(4);
    for (const std::string ident : {"TAG", "tag", "tAg"}) {
        SCOPED_TRACE(ident);
        Bytes tag = testfiles::Id3v1Tag("Song", "Band", "Disc", "2001", "nice", 17, 0, ident);
        tag[3 + 4] = 0xE9;  // Latin-1 e acute
        Loaded f(Concat({frames, tag}));
        ASSERT_TRUE(f.ok);
        EXPECT_TRUE(f.mp3.HasID3Tag());
        EXPECT_EQ(f.mp3.Title(), std::string("Song\xC3\xA9") + std::string(25, '\0'));
        EXPECT_EQ(f.mp3.Year(), "2001");
        EXPECT_EQ(f.mp3.Genre(), 17);
        EXPECT_EQ(f.mp3.FrameCount(), static_cast<int>(frames.size()) - 4 - 1);
    }
    Loaded none(Concat({frames, Bytes(128, 'x')}));
    EXPECT_FALSE(none.mp3.HasID3Tag());
    EXPECT_EQ(none.mp3.Title(), std::string(30, ' '));
    EXPECT_EQ(none.mp3.Year(), "    ");
    EXPECT_EQ(none.mp3.Genre(), 0);
    EXPECT_EQ(none.mp3.FrameCount(), static_cast<int>(frames.size()) + 128 - 4 - 1);
}

TEST(MP3Test, TextSettersCutAndFill) {
    MP3 mp3;
    mp3.SetTitle(std::string(30, 'a') + "b");
    EXPECT_EQ(mp3.Title(), std::string(30, 'a'));
    mp3.SetYear("99");
    EXPECT_EQ(mp3.Year(), "99  ");
    mp3.SetArtist("Zo\xC3\xAB \xE2\x82\xAC");  // e diaeresis counts once; the euro sign has no Latin-1 code
    EXPECT_EQ(mp3.Artist(), "Zo\xC3\xAB ?" + std::string(25, ' '));
    mp3.SetComment(std::string(29, 'c') + "\xC3\xA9\xC3\xA9");
    EXPECT_EQ(mp3.Comment(), std::string(29, 'c') + "\xC3\xA9");
}

TEST(MP3Test, SaveFileAppendsOrOverwrites) {
    testfiles::TempDir dir;
    const Bytes audio = testfiles::SilentFrames(2);
    const std::string path = dir.file("s.mp3");
    testfiles::WriteFile(path, audio);

    MP3 genreOnly;
    ASSERT_TRUE(genreOnly.LoadFile(path));
    genreOnly.SetGenre(9);
    EXPECT_TRUE(genreOnly.SaveFile(path));
    EXPECT_EQ(testfiles::ReadFile(path), audio);  // identifier still blank: nothing written

    genreOnly.SetTitle("Hello");
    ASSERT_TRUE(genreOnly.SaveFile(path));
    const Bytes tag = testfiles::Id3v1Tag("Hello" + std::string(25, ' '), std::string(30, ' '),
                                          std::string(30, ' '), "    ", std::string(30, ' '), 9);
    EXPECT_EQ(testfiles::ReadFile(path), Concat({audio, tag}));

    MP3 reloaded;
    ASSERT_TRUE(reloaded.LoadFile(path));
    reloaded.SetGenre(200);
    ASSERT_TRUE(reloaded.SaveFile(path));
    Bytes after = testfiles::ReadFile(path);
    ASSERT_EQ(after.size(), audio.size() + 128);
    EXPECT_EQ(after.back(), 200);

    // A lower-case identifier is kept as read, so the record is not a "TAG" and nothing is written.
    const std::string lower = dir.file("lower.mp3");
    const Bytes lowerData = Concat({audio, testfiles::Id3v1Tag("x", "y", "z", "1", "c", 1, 0, "tag")});
    testfiles::WriteFile(lower, lowerData);
    MP3 l;
    ASSERT_TRUE(l.LoadFile(lower));
    l.SetGenre(5);
    EXPECT_TRUE(l.SaveFile(lower));
    EXPECT_EQ(testfiles::ReadFile(lower), lowerData);
}

// What LoadFile and SaveFile refuse, leaving the file as it was: no name, a missing file (not
// made), a folder, a device, a FIFO (opened for reading it would block forever), too short a file,
// and for SaveFile a read-only one. A failed load still tells the size; dot files are ordinary.
TEST(MP3Test, LoadAndSaveRefuseWhatIsNotAnAudioFile) {
    testfiles::TempDir dir;
    const std::string fifo = dir.file("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (int size : {0, 1, 127, 128, 129}) testfiles::WriteFile(dir.file(std::to_string(size)), Bytes(size, 0x55));
    testfiles::WriteFile(dir.file(".hidden.mp3"), testfiles::SilentFrames(1));
    testfiles::WriteFile(dir.file("ro.mp3"), testfiles::SilentFrames(1));
    std::filesystem::permissions(dir.file("ro.mp3"), std::filesystem::perms::owner_read);
    const struct {
        std::string path;
        bool load, save;
        int size;  // after a failed load
    } cases[] = {
        {"", false, false, 0},
        {dir.file("missing.mp3"), false, false, 0},
        {dir.path().string(), false, false, 0},
        {"/dev/zero", false, false, 0},
        {fifo, false, false, 0},
        {dir.file("0"), false, false, 0},
        {dir.file("1"), false, false, 1},
        {dir.file("127"), false, false, 127},
        {dir.file("128"), false, true, 128},
        {dir.file("129"), true, true, 0},
        {dir.file(".hidden.mp3"), true, true, 0},
        {dir.file("ro.mp3"), true, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const bool exists = std::filesystem::is_regular_file(c.path);
        const Bytes before = exists ? testfiles::ReadFile(c.path) : Bytes{};
        MP3 loaded, saved;
        EXPECT_EQ(loaded.LoadFile(c.path), c.load);
        if (!c.load) {
            EXPECT_EQ(loaded.Size(), c.size);
            EXPECT_EQ(loaded.FileName(), "");
        }
        saved.SetTitle("x");
        EXPECT_EQ(saved.SaveFile(c.path), c.save);
        if (!c.save) {
            EXPECT_EQ(std::filesystem::is_regular_file(c.path), exists);
            EXPECT_EQ(exists ? testfiles::ReadFile(c.path) : Bytes{}, before);
        }
    }
}

TEST(MP3Test, RandomBytesNeverBreakLoading) {
    testfiles::TempDir dir;
    std::mt19937 rng(12345);
    for (int round = 0; round < 50; ++round) {
        Bytes data(129 + rng() % 3000);
        for (auto& b : data) b = static_cast<uint8_t>(rng() % 4 == 0 ? 0xFF : rng());
        testfiles::WriteFile(dir.file("r.mp3"), data);
        MP3 mp3;
        ASSERT_TRUE(mp3.LoadFile(dir.file("r.mp3")));
        EXPECT_GE(mp3.Length(), 0);
        EXPECT_EQ(mp3.HeaderBits().size(), 32u);
    }
}

TEST(MP3Test, FilesBeyondTwoGigabytesClampTheNarrowProperties) {
    testfiles::TempDir dir;
    const std::string path = dir.file("huge.mp3");
    const int64_t size = int64_t{3} << 30;
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        const uint8_t header[4] = {0xFF, 0xFB, 0x10, 0x44};  // 32 kbit/s
        ASSERT_EQ(::pwrite(fd, header, 4, 10), 4);
        ASSERT_EQ(::ftruncate(fd, size), 0);  // sparse: no real disk space
        ::close(fd);
    }
    MP3 mp3;
    ASSERT_TRUE(mp3.LoadFile(path));
    constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
    EXPECT_EQ(mp3.Size64(), size);
    EXPECT_EQ(mp3.Size(), kMax);
    EXPECT_EQ(mp3.HeaderStart(), 11);
    EXPECT_EQ(mp3.FrameCount64(), size - 11 - 4);
    EXPECT_EQ(mp3.FrameCount(), kMax);
    EXPECT_EQ(mp3.Length64(), 805306);  // 3221225457 bytes / 4000 bytes a second
    EXPECT_EQ(mp3.Length(), 805306);
}

// Out-of-range indices read as the first genre; the names keep their odd spellings.
TEST(MP3Test, GenreText) {
    const std::pair<int, const char*> names[] = {{0, "Blues"},         {17, "Rock"},       {67, "Phychedelic"},
                                                 {117, "power Ballad"}, {147, "Synth Pop"}, {148, "Blues"},
                                                 {255, "Blues"}};
    for (auto [index, name] : names) EXPECT_EQ(MP3::GenreText(static_cast<uint8_t>(index)), name);
    const std::string& all = MP3::GenreString();
    EXPECT_EQ(std::count(all.begin(), all.end(), '|'), 147);
    for (int i = 0; i < 148; ++i) EXPECT_FALSE(MP3::GenreText(static_cast<uint8_t>(i)).empty()) << i;
}

}  // namespace
