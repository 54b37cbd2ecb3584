#include "cutting/timetext.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

int64_t Milliseconds(double seconds) {
    if (!(seconds > 0.0)) return 0;
    return static_cast<int64_t>(std::llround(seconds * 1000.0));
}

std::string Plural(int64_t count, const char* unit) {
    return std::to_string(count) + " " + unit + (count == 1 ? "" : "s");
}

// Digits only, at least one; the value is returned through `value`.
bool ReadDigits(const std::string& text, int64_t& value) {
    if (text.empty() || text.size() > 9) return false;
    value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + (c - '0');
    }
    return true;
}

std::vector<std::string> SplitColons(const std::string& text) {
    std::vector<std::string> parts(1);
    for (char c : text) {
        if (c == ':') parts.emplace_back();
        else parts.back() += c;
    }
    return parts;
}

}  // namespace

std::string ClockWithMilliseconds(double seconds) {
    const int64_t ms = Milliseconds(seconds);
    const int64_t hours = ms / 3600000;
    const int64_t minutes = ms / 60000 % 60;
    const int64_t secs = ms / 1000 % 60;
    const int64_t rest = ms % 1000;
    char text[48];
    if (hours > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld.%03lld", static_cast<long long>(hours),
                      static_cast<long long>(minutes), static_cast<long long>(secs), static_cast<long long>(rest));
    else
        std::snprintf(text, sizeof text, "%lld:%02lld.%03lld", static_cast<long long>(minutes),
                      static_cast<long long>(secs), static_cast<long long>(rest));
    return text;
}

std::optional<double> ParseClockTime(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const std::string trimmed = text.substr(first, text.find_last_not_of(" \t") - first + 1);
    std::vector<std::string> parts = SplitColons(trimmed);
    if (parts.size() > 3) return std::nullopt;
    // The fraction belongs to the last part only.
    std::string& last = parts.back();
    int64_t fraction = 0;
    double fractionScale = 1.0;
    if (const size_t dot = last.find('.'); dot != std::string::npos) {
        const std::string decimals = last.substr(dot + 1);
        last.resize(dot);
        if (!decimals.empty() && !ReadDigits(decimals, fraction)) return std::nullopt;
        fractionScale = std::pow(10.0, static_cast<double>(decimals.size()));
    }
    double total = 0.0;
    for (size_t i = 0; i < parts.size(); ++i) {
        int64_t value = 0;
        if (!ReadDigits(parts[i], value)) return std::nullopt;
        if (i > 0 && value >= 60) return std::nullopt;
        total = total * 60.0 + static_cast<double>(value);
    }
    return total + static_cast<double>(fraction) / fractionScale;
}

std::string SpokenTime(double seconds) {
    const int64_t ms = Milliseconds(seconds);
    const int64_t hours = ms / 3600000;
    const int64_t minutes = ms / 60000 % 60;
    std::string out;
    if (hours > 0) out += Plural(hours, "hour") + " ";
    if (hours > 0 || minutes > 0) out += Plural(minutes, "minute") + " ";
    char secs[32];
    std::snprintf(secs, sizeof secs, "%lld.%03lld seconds", static_cast<long long>(ms / 1000 % 60),
                  static_cast<long long>(ms % 1000));
    return out + secs;
}

std::string DescribeWaveform(const WaveformSpeech& speech) {
    if (!(speech.span > 0.0)) return "No audio.";
    std::string out;
    if (speech.start && speech.end) {
        const double from = std::min(*speech.start, *speech.end);
        const double to = std::max(*speech.start, *speech.end);
        out = "Selection from " + SpokenTime(from) + " to " + SpokenTime(to) + ", " + SpokenTime(to - from) +
              " long.";
    } else if (speech.start) {
        out = "Start mark at " + SpokenTime(*speech.start) + ", no end mark yet.";
    } else if (speech.end) {
        out = "End mark at " + SpokenTime(*speech.end) + ", no start mark.";
    } else {
        out = "No selection.";
    }
    if (speech.position >= 0.0) out += " Playing position " + SpokenTime(speech.position) + ".";
    if (speech.view)
        out += " Showing " + SpokenTime(speech.view->first) + " to " + SpokenTime(speech.view->second) + ".";
    return out;
}
