#include "mpeg/headerbits.h"

#include <charconv>

#include "mpeg/mpegtables.h"

std::string ByteToBits(uint8_t value) {
    std::string bits;
    bits.reserve(8);
    unsigned rest = value;
    for (int n = 7; n >= 0; --n) {
        const unsigned weight = 1u << n;
        if (rest / weight == 1) {
            bits += '1';
            rest -= weight;
        } else {
            bits += '0';
        }
    }
    return bits;
}

std::string HeaderToBits(std::span<const uint8_t> bytes) {
    std::string bits;
    bits.reserve(bytes.size() * 8);
    for (uint8_t b : bytes) bits += ByteToBits(b);
    return bits;
}

HeaderFields SplitHeaderBits(std::string_view headerBits) {
    // 1-based first character and width of each field, as in the header layout.
    auto cut = [headerBits](size_t first, size_t width) {
        const size_t start = first - 1;
        if (start >= headerBits.size()) return std::string();
        return std::string(headerBits.substr(start, width));
    };
    HeaderFields f;
    f.SyncBits = cut(1, 12);
    f.VersionBit = cut(13, 1);
    f.LayerBits = cut(14, 2);
    f.ProtectionBit = cut(16, 1);
    f.BitrateBits = cut(17, 4);
    f.FrequencyBits = cut(21, 2);
    f.PaddingBit = cut(23, 1);
    f.PrivateBit = cut(24, 1);
    f.ModeBits = cut(25, 2);
    f.ModeExtensionBits = cut(27, 2);
    f.CopyrightBit = cut(29, 1);
    f.OriginalBit = cut(30, 1);
    f.EmphasisBits = cut(31, 2);
    return f;
}

std::string LookupTagged(std::string_view table, std::string_view openTag, std::string_view closeTag) {
    const size_t open = table.find(openTag);
    if (open == std::string_view::npos) return {};
    const std::string_view rest = table.substr(open + openTag.size());
    const size_t close = rest.find(closeTag);
    if (close == std::string_view::npos) return {};
    return std::string(rest.substr(0, close));
}

std::string LookupKey(std::string_view table, std::string_view key) {
    const std::string open = "<" + std::string(key) + ">";
    const std::string close = "</" + std::string(key) + ">";
    return LookupTagged(table, open, close);
}

bool ParseDecimal(std::string_view text, int32_t& value) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    if (text.empty()) return false;
    int32_t parsed = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    value = parsed;
    return true;
}

namespace {

std::string Row(const std::string& key, const std::string& value) {
    return "<" + key + ">" + value + "</" + key + ">";
}

}  // namespace

const std::string& BitrateTable() {
    static const std::string table = [] {
        std::string text;
        for (int index = 0; index < 16; ++index) {
            std::string value;
            for (int column = 0; column < 6; ++column) {
                if (column > 0) value += ' ';
                value += std::to_string(mpegtables::BitrateKbps(column < 3, column % 3 + 1, index));
            }
            text += Row(ByteToBits(static_cast<uint8_t>(index)).substr(4), value);
        }
        return text;
    }();
    return table;
}

const std::string& FrequencyTable() {
    static const std::string table = [] {
        std::string text;
        for (int index = 0; index < 4; ++index) {
            const auto& rates = mpegtables::kSampleRates;
            const std::string value =
                index == 3 ? "0 0" : std::to_string(rates[0][index]) + " " + std::to_string(rates[1][index]);
            text += Row(ByteToBits(static_cast<uint8_t>(index)).substr(6), value);
        }
        return text;
    }();
    return table;
}
