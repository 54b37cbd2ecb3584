#include "split/cuecheck.h"

#include <algorithm>
#include <cctype>
#include <set>
#include <sstream>
#include <string_view>

#include "text/textcodec.h"

namespace {

const std::set<std::string> kQuotedTexts = {"TITLE", "PERFORMER", "SONGWRITER", "COMPOSER", "ARRANGER", "MESSAGE"};
const std::set<std::string> kPlain = {"CATALOG", "CDTEXTFILE", "ISRC", "FLAGS", "GENRE", "DISC_ID", "UPC_EAN",
                                      "TOC_INFO1", "TOC_INFO2", "SIZE_INFO"};

std::string Trim(std::string_view s) {
    const size_t a = s.find_first_not_of(" \t\r");
    if (a == std::string_view::npos) return {};
    const size_t b = s.find_last_not_of(" \t\r");
    return std::string(s.substr(a, b - a + 1));
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool AllDigits(const std::string& s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The first word of `rest` (or its quoted text) and what follows it; false for an open quote.
bool TakeValue(std::string& rest, std::string* value) {
    rest = Trim(rest);
    if (!rest.empty() && rest[0] == '"') {
        const size_t close = rest.find('"', 1);
        if (close == std::string::npos) return false;
        *value = rest.substr(1, close - 1);
        rest = Trim(std::string_view(rest).substr(close + 1));
        return true;
    }
    const size_t space = rest.find_first_of(" \t");
    *value = rest.substr(0, space);
    rest = space == std::string::npos ? std::string() : Trim(std::string_view(rest).substr(space));
    return true;
}

struct CueState {
    bool haveFile = false;
    int track = 0;           // number of the current track, 0 before the first
    int trackLine = 0;
    int lastIndex = -1;      // in the current track
    long lastStart = -1;     // INDEX 01 of the previous track, in frames
    bool trackStarted = false;
};

std::string CheckTrack(CueState& st, std::string rest, int line, std::string* out) {
    if (!st.haveFile) return "TRACK before any FILE";
    if (st.track > 0 && !st.trackStarted) return "track " + std::to_string(st.track) + " has no INDEX 01";
    std::string number, mode;
    TakeValue(rest, &number);
    TakeValue(rest, &mode);
    if (!AllDigits(number) || number.size() > 2 || mode.empty() || !rest.empty())
        return "TRACK needs a number and a type, such as TRACK 01 AUDIO";
    if (Upper(mode) != "AUDIO") return "track " + number + " is not an audio track (" + mode + ")";
    const int n = std::stoi(number);
    if (n < 1 || n <= st.track) return "track numbers must rise from 01";
    st.track = n;
    st.trackLine = line;
    st.lastIndex = -1;
    st.trackStarted = false;
    *out = "TRACK " + number + " AUDIO";
    return {};
}

std::string CheckIndex(CueState& st, std::string rest, std::string* out) {
    if (st.track == 0) return "INDEX outside a TRACK";
    std::string number, time;
    TakeValue(rest, &number);
    TakeValue(rest, &time);
    const long frames = CueTimeFrames(time);
    if (!AllDigits(number) || number.size() > 2 || !rest.empty() || frames < 0)
        return "INDEX needs a number and a time mm:ss:ff (seconds below 60, frames below 75)";
    const int n = std::stoi(number);
    if (n <= st.lastIndex) return "INDEX numbers must rise within a track";
    st.lastIndex = n;
    if (n == 1) {
        if (frames <= st.lastStart && st.lastStart >= 0)
            return "track " + std::to_string(st.track) + " starts before the track above it ends";
        st.lastStart = frames;
        st.trackStarted = true;
    }
    *out = "INDEX " + number + " " + time;
    return {};
}

// The fault of one line, "" when it is fine; `out` gets the line for libcue.
std::string CheckLine(CueState& st, const std::string& line, int number, std::string* out) {
    std::string rest = line;
    std::string word;
    TakeValue(rest, &word);
    const std::string key = Upper(word);
    // Comments and disc data that splitting does not use stay out of libcue's way.
    if (key == "REM" || kPlain.count(key)) return {};
    if (std::count(line.begin(), line.end(), '"') % 2 != 0) return "a quoted text is not closed";
    if (std::any_of(line.begin(), line.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\t'; }))
        return "a control character in the text";
    if (key == "FILE") {
        if (st.haveFile) return "a second FILE: only a sheet of one audio file can be split";
        std::string name, type;
        TakeValue(rest, &name);
        TakeValue(rest, &type);
        if (name.empty() || type.empty() || !rest.empty()) return "FILE needs a file name and a type, such as FILE \"a.mp3\" MP3";
        st.haveFile = true;
        // The type is the writing tool's guess (WAVE, MP3, FLAC...); libcue knows only some.
        *out = "FILE " + CueQuoted(name) + " MP3";
        return {};
    }
    if (key == "TRACK") return CheckTrack(st, rest, number, out);
    if (key == "INDEX") return CheckIndex(st, rest, out);
    if (key == "PREGAP" || key == "POSTGAP") {
        if (CueTimeFrames(rest) < 0) return key + " needs a time mm:ss:ff";
        *out = key + " " + rest;
        return {};
    }
    if (kQuotedTexts.count(key)) {
        std::string value = rest;
        if (!rest.empty() && rest[0] == '"') {
            TakeValue(rest, &value);
            if (!rest.empty()) return key + " has text after its quoted value";
        }
        *out = key + " " + CueQuoted(value);
        return {};
    }
    return "unknown command \"" + word + "\"";
}

}  // namespace

std::string CueQuoted(std::string text) {
    // libcue has no escape for a quote inside a quoted text, and takes a backslash before the
    // closing quote as escaping it.
    std::replace(text.begin(), text.end(), '"', '\'');
    // It keeps the first bytes of a long text and drops the rest even inside a character: the
    // text is cut here, at a character's start.
    size_t end = 0;
    while (end < text.size()) {
        const size_t length = std::max<size_t>(mdlID3::Utf8SequenceLength(text, end), 1);
        if (end + length > kLibcueTextBytes) break;
        end += length;
    }
    text.resize(end);
    while (!text.empty() && text.back() == '\\') text.pop_back();
    return "\"" + text + "\"";
}

long CueTimeFrames(const std::string& text) {
    const size_t a = text.find(':');
    const size_t b = a == std::string::npos ? a : text.find(':', a + 1);
    if (b == std::string::npos) return -1;
    const std::string mm = text.substr(0, a), ss = text.substr(a + 1, b - a - 1), ff = text.substr(b + 1);
    if (!AllDigits(mm) || mm.size() > 4 || !AllDigits(ss) || ss.size() != 2 || !AllDigits(ff) || ff.size() != 2)
        return -1;
    const long m = std::stol(mm), s = std::stol(ss), f = std::stol(ff);
    if (s >= 60 || f >= 75) return -1;
    return (m * 60 + s) * 75 + f;
}

bool NormalizeCueSheet(const std::string& text, std::string* normalized, std::string* error) {
    CueState st;
    std::istringstream in(text);
    std::string raw;
    std::string result;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        const std::string line = Trim(raw);
        std::string out;
        if (!line.empty()) {
            const std::string fault = CheckLine(st, line, number, &out);
            if (!fault.empty()) {
                if (error) *error = "line " + std::to_string(number) + ": " + fault;
                return false;
            }
        }
        result += out + "\n";
    }
    std::string fault;
    if (st.track == 0) fault = "The cue sheet lists no track";
    else if (!st.trackStarted)
        fault = "line " + std::to_string(st.trackLine) + ": track " + std::to_string(st.track) + " has no INDEX 01";
    if (!fault.empty()) {
        if (error) *error = fault;
        return false;
    }
    *normalized = std::move(result);
    return true;
}
