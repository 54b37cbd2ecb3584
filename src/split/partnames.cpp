#include "split/partnames.h"

#include <filesystem>

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
    std::string name;
    const auto field = [&](const std::string& f) {
        if (f == "title") name += Sanitized(sourceTitle);
        else if (f == "n") name += PartNumber(index, count);
        else if (f == "N") name += std::to_string(count);
        else name += Sanitized(partTitle.empty() ? PartNumber(index, count) : partTitle);
    };
    // Literal text is the user's own: a "/" in it names a subfolder, which the writer refuses.
    if (!WalkPattern(pattern, [&](const std::string& t) { name += t; }, field, nullptr)) return {};
    if (name.find_first_not_of('.') == std::string::npos) return {};
    // A file name holds 255 bytes, and the temporary files a part passes through add about 35 to
    // it: a long title from a cue sheet is cut, at a character's start.
    if (name.size() > kMaxNameBytes) {
        size_t cut = kMaxNameBytes;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
        name.resize(cut);
    }
    return name + ".mp3";
}

std::string SourceTitle(const std::string& path) { return std::filesystem::path(path).stem().string(); }
