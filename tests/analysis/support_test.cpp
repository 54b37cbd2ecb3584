// The helpers under the MP3 class: digit text, tagged lookup, sync search, text conversion,
// rounding.
#include <cmath>
#include <limits>
#include <random>

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include "analysis/syncsearch.h"
#include "mpeg/headerbits.h"
#include "mpeg/rounding.h"
#include "support/testfiles.h"
#include "text/textcodec.h"

namespace {

// The header's bit text split into its fields (the MP3 class's tests read them through its
// properties; protection, private and mode extension only here), and too short a text.
TEST(HeaderBitsTest, SplitsTheFields) {
    const uint8_t header[4] = {0xFF, 0xFB, 0x92, 0x8D};
    const HeaderFields f = SplitHeaderBits(HeaderToBits(header));
    const std::string fields[] = {f.SyncBits,  f.VersionBit, f.LayerBits,         f.ProtectionBit, f.BitrateBits,
                                  f.FrequencyBits, f.PaddingBit, f.PrivateBit, f.ModeBits, f.ModeExtensionBits,
                                  f.CopyrightBit,  f.OriginalBit, f.EmphasisBits};
    const char* expected[] = {"111111111111", "1", "01", "1", "1001", "00", "1", "0", "10", "00", "1", "1", "01"};
    for (size_t i = 0; i < std::size(fields); ++i) EXPECT_EQ(fields[i], expected[i]) << "field " << i;
    EXPECT_EQ(HeaderToBits({}), "");
    EXPECT_EQ(SplitHeaderBits("1111").VersionBit, "");
}

// Lookups the MP3 class's fields do not reach (its tests read the tables and the blank-padded
// numbers through its properties).
TEST(HeaderBitsTest, TaggedLookup) {
    EXPECT_EQ(LookupKey(LayerTable, "1"), "");  // "<1>" is no key of the layer table
    EXPECT_EQ(LookupTagged("<a>1</a><a>2</a>", "<a>", "</a>"), "1");
    EXPECT_EQ(LookupTagged("<a>1<b>", "<a>", "</a>"), "");
    EXPECT_EQ(LookupTagged("x<a></a>", "<a>", "</a>"), "");
    int32_t n = -1;
    EXPECT_TRUE(ParseDecimal("44100 ", n));
    EXPECT_EQ(n, 44100);
    EXPECT_FALSE(ParseDecimal("", n));
    EXPECT_FALSE(ParseDecimal("12a", n));
    EXPECT_EQ(n, 44100);
}

// The text tables are made from the numeric ones; the text is what the class is documented with.
TEST(HeaderBitsTest, TextTablesAsDocumented) {
    EXPECT_EQ(FrequencyTable(), "<00>44100 22050</00><01>48000 24000</01><10>32000 16000</10><11>0 0</11>");
    EXPECT_EQ(BitrateTable(),
              "<0000>0 0 0 0 0 0</0000><0001>32 32 32 32 8 8</0001><0010>64 48 40 48 16 16</0010>"
              "<0011>96 56 48 56 24 24</0011><0100>128 64 56 64 32 32</0100><0101>160 80 64 80 40 40</0101>"
              "<0110>192 96 80 96 48 48</0110><0111>224 112 96 112 56 56</0111>"
              "<1000>256 128 112 128 64 64</1000><1001>288 160 128 144 80 80</1001>"
              "<1010>320 192 160 160 96 96</1010><1011>352 224 192 176 112 112</1011>"
              "<1100>384 256 224 192 128 128</1100><1101>416 320 256 224 144 144</1101>"
              "<1110>448 384 320 256 160 160</1110><1111>0 0 0 0 0 0</1111>");
}

// The block-wise search must agree with the byte-at-a-time definition for every block size,
// wherever the FF of a pair falls relative to a block's end.
int64_t ByteByByte(const testfiles::Bytes& data) {
    for (size_t i = 0; i < data.size(); ++i)
        if (data[i] == 0xFF && i + 1 < data.size() && (data[i + 1] == 0xFA || data[i + 1] == 0xFB))
            return static_cast<int64_t>(i);
    return -1;
}

// Short random runs of FF, FA, FB and other bytes, and long runs of FF F3 (an FF everywhere but
// never a frame start) with one pair planted near the 4096-byte steps of the scan and the ends of
// blocks, searched with blocks of every size.
TEST(SyncSearchTest, BlocksAgreeWithByteByByte) {
    testfiles::TempDir dir;
    const std::string path = dir.file("s");
    std::vector<testfiles::Bytes> inputs;
    std::mt19937 rng(99);
    const uint8_t alphabet[] = {0xFF, 0xFA, 0xFB, 0x00, 0xF3};
    for (int round = 0; round < 300; ++round) {
        testfiles::Bytes data(1 + rng() % 64);
        for (auto& b : data) b = alphabet[rng() % (round % 2 ? 5 : 3) + (round % 2 ? 0 : 2)];
        inputs.push_back(data);
    }
    for (size_t at : {0, 1, 4094, 4095, 4096, 4097, 8191, 12286, 16383, 19998, 20000}) {
        testfiles::Bytes data(20000);
        for (size_t i = 0; i < data.size(); ++i) data[i] = i % 2 ? 0xF3 : 0xFF;
        if (at + 1 < data.size()) {
            data[at] = 0xFF;
            data[at + 1] = at % 3 ? 0xFB : 0xFA;
        }
        inputs.push_back(data);
    }
    for (size_t n = 0; n < inputs.size(); ++n) {
        testfiles::WriteFile(path, inputs[n]);
        const int fd = ::open(path.c_str(), O_RDONLY);
        ASSERT_GE(fd, 0);
        for (size_t block : {1, 2, 3, 5, 8, 64, 1000, 4096, 4097, 8193, 65536}) {
            const SyncSearchResult r = FindFirstFrameSync(fd, static_cast<int64_t>(inputs[n].size()), block);
            EXPECT_FALSE(r.ioError);
            EXPECT_EQ(r.offset.value_or(-1), ByteByByte(inputs[n])) << "input " << n << " block " << block;
        }
        ::close(fd);
    }
}

TEST(SyncSearchTest, ReadErrorIsReported) {
    testfiles::TempDir dir;
    const int fd = ::open(dir.path().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    EXPECT_TRUE(FindFirstFrameSync(fd, 1000).ioError);  // pread on a directory fails
    ::close(fd);
}

// The MP3 class's tag fields go through the tag library's Latin-1 conversions.
static std::string Latin1(const std::string& bytes) {
    return mdlID3::Latin1ToUtf8({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()});
}

TEST(Latin1Test, Conversions) {
    EXPECT_EQ(Latin1("caf\xE9"), "caf\xC3\xA9");
    EXPECT_EQ(mdlID3::Utf8ToLatin1("caf\xC3\xA9"), "caf\xE9");
    EXPECT_EQ(mdlID3::Utf8ToLatin1("\xE2\x82\xAC!"), "?!");           // euro sign
    EXPECT_EQ(mdlID3::Utf8ToLatin1("\xF0\x9F\x8E\xB5"), "?");         // a four-byte character
    EXPECT_EQ(mdlID3::Utf8ToLatin1("caf\xE9"), "caf\xE9");            // already Latin-1
    EXPECT_EQ(mdlID3::Utf8ToLatin1("\xC1\xA1"), "\xC1\xA1");          // overlong "a" is no character
    EXPECT_EQ(mdlID3::Utf8ToLatin1("\xC3"), "\xC3");                  // cut short
    std::string all;
    for (int c = 0; c < 256; ++c) all += static_cast<char>(c);
    EXPECT_EQ(mdlID3::Utf8ToLatin1(Latin1(all)), all);
}

// Positive halves and the frame size are rounded in the MP3 class's length and field tests.
TEST(RoundingTest, HalvesGoToEven) {
    EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
    EXPECT_EQ(RoundHalfEven(-1.5), -2.0);
    EXPECT_EQ(RoundHalfEven(2.4999999), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5000001), 3.0);
    EXPECT_EQ(RoundHalfEvenToInt32(3e9), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(RoundHalfEvenToInt32(-3e9), std::numeric_limits<int32_t>::min());
    EXPECT_EQ(RoundHalfEvenToInt32(std::nan("")), 0);
    EXPECT_EQ(RoundHalfEvenToInt64(4294967296.5), 4294967296);
    EXPECT_EQ(RoundHalfEvenToInt64(1e300), std::numeric_limits<int64_t>::max());
}

}  // namespace
