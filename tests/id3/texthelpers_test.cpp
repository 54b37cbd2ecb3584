// The record, the genre list, and the text and size helpers of the tag library.
#include <algorithm>
#include <string>
#include <tuple>
#include <utility>

#include <gtest/gtest.h>

#include "id3/bytes.h"
#include "id3/genres.h"
#include "support/testfiles.h"
#include "text/textcodec.h"

using namespace mdlID3;
using testfiles::Bytes;

namespace {

std::string Decode(const Bytes& bytes, int encoding, bool stop = true) { return BytesToText(bytes, encoding, stop); }

}  // namespace

// The list ends at 147; every name maps back to its own index or an earlier duplicate, ignoring
// case and surrounding blanks but not inner ones.
TEST(Genres, NamesIndexesAndBoundaries) {
    EXPECT_EQ(GetGenreName(147), "SynthPop");
    EXPECT_EQ(GetGenreName(148), "");
    EXPECT_EQ(GetGenreName(-1), "");
    for (int i = 0; i < kGenreCount; ++i) {
        ASSERT_FALSE(GetGenreName(i).empty()) << i;
        EXPECT_LE(GetGenreIndex(GetGenreName(i)), i);
    }
    for (auto [name, index] : {std::pair{" blues ", 0}, {"ROCK & ROLL", 78}, {"Synthpop", 147}, {"Polka Rock", 255},
                               {"", 255}, {"   ", 255}, {"Hard  Rock", 255}})
        EXPECT_EQ(GetGenreIndex(name), index) << name;
}

TEST(Sizes, SyncSafeAndPlainReadings) {
    // A byte with its top bit set is not sync-safe: read plain.
    const std::tuple<Bytes, bool, uint32_t> reads[] = {
        {{0, 0, 2, 1}, true, 257u},         {{0, 0, 2, 1}, false, 513u},
        {{0, 0, 1, 0x80}, true, 384u},      {{0x7F, 0x7F, 0x7F, 0x7F}, true, 0x0FFFFFFFu},
        {{0xFF, 0xFF, 0xFF, 0xFF}, true, 0xFFFFFFFFu}, {{1, 2, 3}, false, 0u}};
    for (const auto& [bytes, syncSafe, value] : reads) EXPECT_EQ(ReadSize32(bytes, syncSafe), value);

    Bytes out(4, 0xEE);
    EncodeSize32(0x01020304, false, out);
    EXPECT_EQ(out, (Bytes{1, 2, 3, 4}));
    for (uint32_t v : {0u, 127u, 128u, 16383u, 16384u, 2097151u, 2097152u, 268435455u}) {
        EncodeSize32(v, true, out);
        EXPECT_TRUE(std::all_of(out.begin(), out.end(), [](uint8_t b) { return b < 0x80; })) << v;
        EXPECT_EQ(ReadSize32(out, true), v);
    }
    Bytes small(3, 0xEE);
    EncodeSize32(1, true, small);
    EXPECT_EQ(small, (Bytes{0xEE, 0xEE, 0xEE}));
}

// Each encoding decodes to UTF-8 with CR LF line breaks (a lone CR goes); UTF-16 honours its byte
// order mark (little-endian without one) and stops at a zero unit; UTF-8 rescues Latin-1 bytes.
TEST(BytesToText, EveryEncoding) {
    const std::tuple<Bytes, int, std::string> rows[] = {
        {{0x41, 0x0D, 0x0A, 0x42}, 0, "A\r\nB"},
        {{0x41, 0x0A, 0x42}, 0, "A\r\nB"},
        {{0x41, 0x0D, 0x42}, 0, "AB"},
        {{'C', 'a', 'f', 0xE9}, 0, "Caf\xC3\xA9"},
        {{'A', 0, 'B'}, 0, "A"},
        {{'A'}, 4, ""},
        {{}, 1, ""},
        {{0xFF, 0xFE, 0x41, 0x00, 0x42, 0x00}, 1, "AB"},
        {{0xFE, 0xFF, 0x00, 0x41, 0x00, 0x42}, 1, "AB"},
        {{0x41, 0x00, 0x42, 0x00}, 1, "AB"},
        {{0xFF, 0xFE, 0x16, 0x04}, 1, "\xD0\x96"},
        {{0xFF, 0xFE, 0x3D, 0xD8, 0x00, 0xDE}, 1, "\xF0\x9F\x98\x80"},  // a surrogate pair
        {{0x04, 0x16, 0x00, 0x41}, 2, "\xD0\x96" "A"},
        {{0xFF, 0xFE, 0x00, 0x01, 0x00, 0x00, 0x42, 0x00}, 1, "\xC4\x80"},
        {{0xFF, 0xFE, 0x41, 0x00, 0x0D, 0x00, 0x0A, 0x00, 0x42}, 1, "A\r\n"},  // an odd last byte goes
        {{0xFF, 0xFE, 0x00, 0xD8, 0x41, 0x00}, 1, "\xEF\xBF\xBD" "A"},         // a lone surrogate
        {{0xD0, 0x96, 'x'}, 3, "\xD0\x96x"},
        {{0xEF, 0xBB, 0xBF, 'x'}, 3, "x"},
        {{'C', 'a', 'f', 0xE9}, 3, "Caf\xC3\xA9"},
        {{0xC0, 0xAF}, 3, "\xC3\x80\xC2\xAF"},  // an overlong form is not accepted as '/'
    };
    for (const auto& [bytes, encoding, text] : rows)
        EXPECT_EQ(Decode(bytes, encoding), text) << testing::PrintToString(bytes) << " in " << encoding;
    EXPECT_EQ(Decode({'A', 0, 'B'}, 0, false), std::string("A\0B", 3));
}

TEST(TextToBytes, Latin1WithLimitsAndReplacement) {
    Bytes out(10, 0xEE);
    EXPECT_EQ(TextToBytes("Caf\xC3\xA9", 0, out, true), 5u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 6), (Bytes{'C', 'a', 'f', 0xE9, 0, 0xEE}));
    // Characters, not UTF-8 bytes, are counted; what Latin-1 cannot hold becomes "?".
    std::fill(out.begin(), out.end(), 0xEE);
    EXPECT_EQ(TextToBytes("\xD0\x96\xC3\xA9xyz", 3, out, false), 3u);
    EXPECT_EQ(Bytes(out.begin(), out.begin() + 4), (Bytes{'?', 0xE9, 'x', 0xEE}));
    // Never past the end of the output.
    Bytes two(2, 0xEE);
    EXPECT_EQ(TextToBytes("abc", 0, two, true), 2u);
    EXPECT_EQ(two, (Bytes{'a', 'b'}));
}

TEST(TextCodec, Utf8CheckAtItsBoundaries) {
    const std::pair<std::string, bool> cases[] = {
        {"", true},
        {"Caf\xC3\xA9 \xD0\x96 \xEF\xBF\xBF \xF4\x8F\xBF\xBF", true},  // up to U+10FFFF
        {"Caf\xE9", false},                                      // Latin-1
        {"\xC0\xAF", false},                                     // overlong "/"
        {"\xC1\xBF", false},                                     // overlong
        {"\xE0\x9F\xBF", false},                                 // overlong three bytes
        {"\xED\xA0\x80", false},                                 // surrogate
        {"\xF4\x90\x80\x80", false},                             // past U+10FFFF
        {"\xE2\x82", false},                                     // cut short
        {"\x80", false},                                         // stray continuation byte
        {"\xF8\x88\x80\x80\x80", false},                         // five-byte form
    };
    for (const auto& [text, valid] : cases) EXPECT_EQ(IsUtf8(text), valid) << testing::PrintToString(text);
    const std::string mixed = "a\xC3\xA9\xF0\x9F\x98\x80\xE9";
    const size_t lengths[] = {1, 2, 0, 4, 0, 0, 0, 0};
    for (size_t at = 0; at < mixed.size(); ++at) EXPECT_EQ(Utf8SequenceLength(mixed, at), lengths[at]) << at;
    EXPECT_EQ(Utf8SequenceLength(mixed, mixed.size()), 0u);
}

TEST(TextCodec, RoundTripsAndLengths) {
    const std::string text = "A\xC3\xA9\xD0\x96\xF0\x9F\x98\x80";
    EXPECT_EQ(Utf8Length(text), 4u);
    EXPECT_EQ(Utf8Prefix(text, 3), "A\xC3\xA9\xD0\x96");
    EXPECT_EQ(Utf8Prefix(text, 10), text);
    EXPECT_FALSE(FitsLatin1(text));
    EXPECT_TRUE(FitsLatin1("Caf\xC3\xA9"));
    EXPECT_EQ(Utf8ToLatin1(text), "A\xE9??");
    for (bool be : {false, true}) {
        auto utf16 = Utf8ToUtf16(text, be, true);
        EXPECT_EQ(utf16.size(), 2u + 2 * 5);
        EXPECT_EQ(BytesToText(utf16, 1, true), text);
        EXPECT_EQ(Utf16ToUtf8(std::span(utf16).subspan(2), be), text);
    }
    EXPECT_EQ(Utf8ToUtf16("A", false, true), (Bytes{0xFF, 0xFE, 0x41, 0x00}));
    EXPECT_EQ(Utf8ToUtf16("A", true, false), (Bytes{0x00, 0x41}));
}
