#include "models/techlines.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "level/txxxtag.h"

namespace {

std::string YesNo(bool value) { return value ? "yes" : "no"; }

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

TechnicalLines DescribeMpegInfo(const mdlID3::MpegInfo& info) {
    TechnicalLines lines;
    lines.mpeg = info.VersionText;
    char seconds[16];
    std::snprintf(seconds, sizeof seconds, "%02d", static_cast<int>(info.Length % 60));
    lines.length = "Length: " + std::to_string(info.Length / 60) + ":" + seconds;
    // An "Info" header carries counts too, but encoders write it into constant-bitrate files.
    lines.bitrate = "Bitrate: " + std::to_string(info.Bitrate) + " kbit / sec, " +
                    (info.IsVbr && !info.HasInfoHeader ? "variable bit rate" : "constant bit rate");
    lines.frequency = "Frequency: " + std::to_string(info.Frequency) + " hz, " + Lower(info.ModeText);
    lines.copyrighted = "Copyrighted: " + YesNo(info.IsCopyrighted);
    lines.original = "Original: " + YesNo(info.IsOriginal);
    lines.checksums = "Uses checksums: " + YesNo(info.UsesChecksums);
    lines.emphasis = "Uses emphasis: " + YesNo(info.UsesEmphasis);
    lines.v1 = "ID3 v1 tag: " + (info.ID3v1Minor == -1 ? std::string("none")
                                                         : "version 1." + std::to_string(info.ID3v1Minor));
    lines.v2 = "ID3 v2 tag: " + (info.ID3v2Major == -1 ? std::string("none")
                                                         : "version 2." + std::to_string(info.ID3v2Major));
    return lines;
}

std::string ReplayGainLine(std::span<const uint8_t> tag) {
    std::string line;
    for (const char* kind : {"TRACK", "ALBUM"}) {
        const std::optional<std::string> gain = FindTxxx(tag, std::string("REPLAYGAIN_") + kind + "_GAIN");
        const std::optional<std::string> peak = FindTxxx(tag, std::string("REPLAYGAIN_") + kind + "_PEAK");
        if (!gain && !peak) continue;
        line += line.empty() ? "ReplayGain: " : "; ";
        line += Lower(kind);
        if (gain) line += " " + *gain;
        if (peak) line += std::string(gain ? ", " : " ") + "peak " + *peak;
    }
    return line;
}

std::string ReplayGainLineOf(const std::string& path) {
    std::vector<uint8_t> tag;
    if (!ReadLeadingTag(path, tag, nullptr)) return {};
    return ReplayGainLine(tag);
}
