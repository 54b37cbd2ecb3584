#include "models/module1.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "mpeg/rounding.h"

std::string FileNameFromPath(std::string_view path) {
    size_t first = path.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    auto isSeparator = [](char c) { return c == '\\' || c == '/'; };
    size_t end = path.size();
    size_t start = end;
    while (start > 0 && !isSeparator(path[start - 1])) --start;
    if (start == end && start > 0) {
        // The path ends with a separator: the part before it.
        end = start - 1;
        start = end;
        while (start > 0 && !isSeparator(path[start - 1])) --start;
    }
    return std::string(path.substr(start, end - start));
}

std::string FormatClock(double seconds) {
    double rounded = RoundHalfEven(seconds);
    if (!std::isfinite(rounded)) return "00:00:00";
    bool negative = rounded < 0;
    int64_t n = RoundHalfEvenToInt64(std::fabs(rounded));
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%s%02lld:%02lld:%02lld", negative ? "-" : "",
                  static_cast<long long>(n / 3600), static_cast<long long>(n / 60 % 60),
                  static_cast<long long>(n % 60));
    return buffer;
}

std::string NumberText(double value) {
    if (value == 0) return "0";  // no "-0"
    char buffer[64];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    return std::string(buffer, result.ptr);
}

double LeadingNumber(std::string_view text) {
    size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    size_t begin = i;
    auto isDigit = [&](size_t k) { return k < text.size() && text[k] >= '0' && text[k] <= '9'; };
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
    size_t digits = 0;
    while (isDigit(i)) ++i, ++digits;
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (isDigit(i)) ++i, ++digits;
    }
    if (digits == 0) return 0;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        size_t k = i + 1;
        if (k < text.size() && (text[k] == '+' || text[k] == '-')) ++k;
        if (isDigit(k)) {
            while (isDigit(k)) ++k;
            i = k;
        }
    }
    // from_chars takes no leading "+".
    if (text[begin] == '+') ++begin;
    double value = 0;
    auto result = std::from_chars(text.data() + begin, text.data() + i, value);
    if (result.ec != std::errc()) return 0;
    return value;
}
