#pragma once
// The frame header handled as digit text: four bytes become 32 characters "0"/"1", the text is
// cut into the bit fields of ISO/IEC 11172-3, 2.4.1.3, and each coded field is looked up in a
// small table held as one text of tagged rows ("<key>value</key>").
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

inline constexpr std::string_view VersionTable = "<0>2</0><1>1</1>";
inline constexpr std::string_view LayerTable = "<00>0</00><01>3</01><10>2</10><11>1</11>";
// Rows keyed by the two-digit frequency index: the MPEG-1 and the MPEG-2 frequency in Hz.
const std::string& FrequencyTable();
inline constexpr std::string_view ModeTable =
    "<00>stereo</00><01>joint stereo</01><10>dual channel</10><11>mono</11>";
inline constexpr std::string_view EmphasisTable =
    "<00>none</00><01>50/15ms</01><10>unknown</10><11>CCITT j.17</11>";
// Rows keyed by the four-digit bitrate index, six numbers in kbit/s each: MPEG-1 Layer I, II, III
// (ISO/IEC 11172-3), MPEG-2 Layer I, II, III (the lower sampling frequencies of ISO/IEC 13818-3,
// where Layers II and III share one column). Made from the numeric tables of mpegtables.h.
const std::string& BitrateTable();
// The header's bit fields, each still as digit text.
struct HeaderFields {
    std::string SyncBits;
    std::string VersionBit;
    std::string LayerBits;
    std::string ProtectionBit;
    std::string BitrateBits;
    std::string FrequencyBits;
    std::string PaddingBit;
    std::string PrivateBit;
    std::string ModeBits;
    std::string ModeExtensionBits;
    std::string CopyrightBit;
    std::string OriginalBit;
    std::string EmphasisBits;
};

// Eight digits, most significant first.
std::string ByteToBits(uint8_t value);
// The bytes in order, eight digits each; no bytes give empty text.
std::string HeaderToBits(std::span<const uint8_t> bytes);
// Cuts a 32-digit header text into its fields; a shorter text leaves the missing fields short.
HeaderFields SplitHeaderBits(std::string_view headerBits);
// The text between the first `openTag` and the first `closeTag` after it; empty when either is
// missing.
std::string LookupTagged(std::string_view table, std::string_view openTag, std::string_view closeTag);
// LookupTagged with the tags "<key>" and "</key>".
std::string LookupKey(std::string_view table, std::string_view key);
// A whole decimal number with optional blanks around it; false (and `value` untouched) otherwise.
bool ParseDecimal(std::string_view text, int32_t& value);
