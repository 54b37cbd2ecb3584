#include "split/cuesheet.h"

#include <libcue.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "files/safefile.h"
#include "split/cuecheck.h"
#include "split/cuetext.h"

namespace {

constexpr double kFramesPerSecond = 75.0;

struct CdDeleter {
    void operator()(Cd* cd) const { cd_delete(cd); }
};

std::string Text(const Cdtext* cdtext, Pti pti) {
    const char* value = cdtext ? cdtext_get(pti, cdtext) : nullptr;
    return value ? value : "";
}

}  // namespace

bool ParseCueSheet(std::string_view bytes, CueSheet* sheet, std::string* error) {
    std::string normalized;
    if (!NormalizeCueSheet(CueTextToUtf8(bytes), &normalized, error)) return false;
    std::unique_ptr<Cd, CdDeleter> cd(cue_parse_string(normalized.c_str()));
    if (!cd) {
        if (error) *error = "The cue sheet cannot be read";
        return false;
    }
    *sheet = CueSheet{};
    sheet->title = Text(cd_get_cdtext(cd.get()), PTI_TITLE);
    sheet->performer = Text(cd_get_cdtext(cd.get()), PTI_PERFORMER);
    const int count = cd_get_ntrack(cd.get());
    for (int i = 1; i <= count; ++i) {
        const Track* track = cd_get_track(cd.get(), i);
        if (!track) continue;
        if (sheet->file.empty() && track_get_filename(track)) sheet->file = track_get_filename(track);
        CueTrack t;
        t.number = i;
        t.title = Text(track_get_cdtext(track), PTI_TITLE);
        t.performer = Text(track_get_cdtext(track), PTI_PERFORMER);
        t.start = static_cast<double>(track_get_index(track, 1)) / kFramesPerSecond;
        const long pregap = track_get_index(track, 0);
        if (pregap >= 0) t.pregap = static_cast<double>(pregap) / kFramesPerSecond;
        sheet->tracks.push_back(std::move(t));
    }
    return true;
}

bool ReadCueSheet(const std::string& path, CueSheet* sheet, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error) *error = "Cannot open " + path;
        return false;
    }
    // A cue sheet is a few kilobytes; anything past a megabyte is not one.
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    if (bytes.size() > (size_t{1} << 20)) {
        if (error) *error = path + " is too large for a cue sheet";
        return false;
    }
    return ParseCueSheet(bytes, sheet, error);
}

bool ApplyCueSheet(const CueSheet& sheet, SplitPlan& plan, std::string* error) {
    plan.ClearCuts();
    plan.SetRange(0, plan.Duration());
    for (size_t i = 0; i < sheet.tracks.size(); ++i) {
        const CueTrack& t = sheet.tracks[i];
        if (i == 0 && t.start > 0 && !plan.SetRange(t.start, plan.Duration())) {
            if (error) *error = "Track " + std::to_string(t.number) + " starts past the end of the audio";
            return false;
        }
        if (i > 0 && plan.AddCut(t.start) < 0) {
            if (error) *error = "Track " + std::to_string(t.number) + " starts at or past the end of the audio";
            plan.ClearCuts();
            return false;
        }
        plan.SetPartTitle(i, t.title);
        plan.SetPartPerformer(i, t.performer);
    }
    return true;
}

std::string CueTime(double seconds) {
    const long frames = std::lround(std::max(0.0, seconds) * kFramesPerSecond);
    char text[32];
    std::snprintf(text, sizeof text, "%02ld:%02ld:%02ld", frames / 75 / 60, frames / 75 % 60, frames % 75);
    return text;
}

std::string CueSheetText(const SplitPlan& plan, const std::string& audioFile, const std::string& title,
                         const std::string& performer) {
    std::ostringstream out;
    if (!performer.empty()) out << "PERFORMER " << CueQuoted(performer) << "\n";
    if (!title.empty()) out << "TITLE " << CueQuoted(title) << "\n";
    out << "FILE " << CueQuoted(audioFile) << " MP3\n";
    for (size_t i = 0; i < plan.PartCount(); ++i) {
        const PlannedPart part = plan.Part(i);
        out << "  TRACK " << (i < 9 ? "0" : "") << i + 1 << " AUDIO\n";
        if (!part.title.empty()) out << "    TITLE " << CueQuoted(part.title) << "\n";
        if (!part.performer.empty()) out << "    PERFORMER " << CueQuoted(part.performer) << "\n";
        if (i > 0 && plan.Cut(i - 1).end > plan.Cut(i - 1).start)
            out << "    INDEX 00 " << CueTime(plan.Cut(i - 1).start) << "\n";
        out << "    INDEX 01 " << CueTime(part.start) << "\n";
    }
    return out.str();
}

bool WriteCueSheet(const std::string& path, const std::string& text, std::string* error) {
    mdlID3::AtomicFileWriter out;
    if (out.Open(path, mdlID3::AtomicFileWriter::Links::Replace) && out.Write(text.data(), text.size()) && out.Commit())
        return true;
    if (error) *error = out.Error();
    return false;
}
