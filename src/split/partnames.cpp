#include "split/partnames.h"

#include <filesystem>
#include <vector>

namespace {

constexpr size_t kMaxNameBytes = 200;

// Calls `text` for literal runs and `field` for each placeholder name; false at a bad one.
template <typename Text, typename Field>
bool WalkPattern(const std::string& pattern, Text text, Field field, std::string* error) {
    size_t pos = 0;
    while (pos < pattern.size()) {
        const size_t open = pattern.find('{', pos);
        text(pattern.substr(pos, open == std::string::npos ? std::string::npos : open - pos));
        if (open == std::string::npos) break;
        const size_t close = pattern.find('}', open);
        if (close == std::string::npos) {
            if (error) *error = "The name pattern has a \"{\" without \"}\"";
            return false;
        }
        const std::string name = pattern.substr(open + 1, close - open - 1);
        if (name != "title" && name != "n" && name != "N" && name != "part") {
            if (error) *error = "The name pattern has an unknown placeholder {" + name + "}";
            return false;
        }
        field(name);
        pos = close + 1;
    }
    return true;
}

// One run of the name: literal text and numbers stay whole, titles may be shortened.
struct Piece {
    std::string text;
    bool title;
};

// Drops the last character (a lead byte with its continuation bytes).
void DropLastCharacter(std::string& text) {
    while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80) text.pop_back();
    if (!text.empty()) text.pop_back();
}

// Shortens the longest titles, a character at a time, until the pieces fit `limit` bytes (or no
// title is left to shorten).
void FitTitles(std::vector<Piece>& pieces, size_t limit) {
    size_t total = 0;
    for (const Piece& p : pieces) total += p.text.size();
    while (total > limit) {
        Piece* longest = nullptr;
        for (Piece& p : pieces)
            if (p.title && !p.text.empty() && (!longest || p.text.size() > longest->text.size())) longest = &p;
        if (!longest) return;
        const size_t before = longest->text.size();
        DropLastCharacter(longest->text);
        total -= before - longest->text.size();
    }
}

std::string Sanitized(const std::string& text) {
    std::string out = text;
    for (char& c : out)
        if (c == '/' || static_cast<unsigned char>(c) < 0x20) c = '_';
    return out;
}

}  // namespace

bool CheckNamePattern(const std::string& pattern, std::string* error) {
    return WalkPattern(pattern, [](const std::string&) {}, [](const std::string&) {}, error);
}

std::string PartNumber(size_t index, size_t count) {
    std::string n = std::to_string(index + 1);
    const size_t width = count >= 100 ? std::to_string(count).size() : 2;
    return std::string(n.size() < width ? width - n.size() : 0, '0') + n;
}

std::string PartFileName(const std::string& pattern, const std::string& sourceTitle, size_t index, size_t count,
                         const std::string& partTitle) {
    std::vector<Piece> pieces;
    const auto field = [&](const std::string& f) {
        if (f == "title") pieces.push_back({Sanitized(sourceTitle), true});
        else if (f == "n") pieces.push_back({PartNumber(index, count), false});
        else if (f == "N") pieces.push_back({std::to_string(count), false});
        else if (partTitle.empty()) pieces.push_back({PartNumber(index, count), false});
        else pieces.push_back({Sanitized(partTitle), true});
    };
    // Literal text is the user's own: a "/" in it names a subfolder, which the writer refuses.
    if (!WalkPattern(pattern, [&](const std::string& t) { pieces.push_back({t, false}); }, field, nullptr)) return {};
    // A file name holds 255 bytes, and the temporary files a part passes through add about 35 to
    // it: long titles (a long file name, a cue sheet's titles) are shortened, never the numbers
    // that keep the parts apart.
    FitTitles(pieces, kMaxNameBytes);
    std::string name;
    for (const Piece& p : pieces) name += p.text;
    if (name.find_first_not_of('.') == std::string::npos) return {};
    return name + ".mp3";
}

std::string SourceTitle(const std::string& path) { return std::filesystem::path(path).stem().string(); }
