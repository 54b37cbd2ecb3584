#include "models/tageditor.h"

#include <algorithm>
#include <filesystem>

#include <unistd.h>

#include "id3/genres.h"
#include "id3/id3v1.h"
#include "id3/id3v2read.h"
#include "id3/id3v2write.h"
#include "id3/mpeginfo.h"
#include "models/tagdefaults.h"
#include "models/tagfilesnapshot.h"
#include "text/textcodec.h"

namespace {

constexpr int kV1TextLimit = 30;
constexpr int kV1TrackLimit = 3;
constexpr int kV1YearLimit = 4;
constexpr int kV1CommentLimit = 28;
constexpr int kV2TrackLimit = 3;
constexpr int kV2YearLimit = 4;

bool IsBlank(const std::string& text) { return text.find_first_not_of(' ') == std::string::npos; }

// Cuts UTF-8 text after `limit` UTF-16 units, never inside a character.
std::string CutToLimit(const std::string& text, int limit) {
    if (limit <= 0) return text;
    int units = 0;
    size_t at = 0;
    while (at < text.size()) {
        // A byte that starts no character counts as one, as the text box shows it.
        const size_t length = std::max<size_t>(mdlID3::Utf8SequenceLength(text, at), 1);
        const int width = length == 4 ? 2 : 1;
        if (units + width > limit) break;
        units += width;
        at += length;
    }
    return text.substr(0, std::min(at, text.size()));
}

// The comment is a box of several lines: every kind of line break (CR LF, CR, LF, the Unicode
// line and paragraph separators) becomes LF, and a no-break space a plain one, as the box shows
// and gives back its text.
std::string CommentBoxText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
            out += '\n';
        } else if (text.compare(i, 2, "\xC2\xA0") == 0) {
            out += ' ';
            ++i;
        } else if (text.compare(i, 3, "\xE2\x80\xA8") == 0 || text.compare(i, 3, "\xE2\x80\xA9") == 0 ||
                   text.compare(i, 3, "\xEF\xB7\x90") == 0 || text.compare(i, 3, "\xEF\xB7\x91") == 0) {
            out += '\n';
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

// A v2.3/2.4 track frame may hold "track/total"; three characters of "3/12" would say "3/1".
std::string TrackForField(const std::string& track, int limit) {
    if (static_cast<int>(track.size()) <= limit) return track;
    const size_t slash = track.find('/');
    if (slash != std::string::npos && slash > 0 && static_cast<int>(slash) <= limit) return track.substr(0, slash);
    return track;
}

std::string FileName(const std::string& path) { return std::filesystem::path(path).filename().string(); }

}  // namespace

TagEditor::TagEditor(TagWriteSteps steps) : steps_(std::move(steps)) {}

int TagEditor::FieldLimit(TagField field) {
    switch (field) {
        case TagField::v1Artist:
        case TagField::v1Album:
        case TagField::v1Title: return kV1TextLimit;
        case TagField::v1TNR: return kV1TrackLimit;
        case TagField::v1Year: return kV1YearLimit;
        case TagField::v1Comment: return kV1CommentLimit;
        case TagField::v2TNR: return kV2TrackLimit;
        case TagField::v2Year: return kV2YearLimit;
        default: return 0;
    }
}

const std::vector<std::string>& TagEditor::V1GenreEntries() {
    static const std::vector<std::string> entries = [] {
        std::vector<std::string> list{""};
        for (int32_t i = 0; i < mdlID3::kGenreCount; ++i) list.push_back(mdlID3::GetGenreName(i));
        return list;
    }();
    return entries;
}

int TagEditor::V1GenreIndex() const {
    const auto& entries = V1GenreEntries();
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries[i] == Field(TagField::v1Genre)) return static_cast<int>(i);
    return 0;
}

void TagEditor::SetField(TagField field, const std::string& text) {
    std::string& value = fields_[static_cast<int>(field)];
    if (field == TagField::v1Genre) {
        // The first entry that matches exactly, case included; else the empty one.
        value.clear();
        for (const std::string& entry : V1GenreEntries())
            if (entry == text) {
                value = entry;
                break;
            }
        return;
    }
    value = field == TagField::v2Comment ? CommentBoxText(text) : CutToLimit(text, FieldLimit(field));
}

std::string TagEditor::PathFromHolder() const {
    const size_t first = pathHolder_.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    std::string path = pathHolder_.substr(first, pathHolder_.find_last_not_of(' ') - first + 1);
    const size_t nul = path.find('\0');
    if (nul != std::string::npos) path.resize(nul);
    return path;
}

void TagEditor::Changed() const {
    if (changed_) changed_();
}

void TagEditor::LoadV1(const std::string& path) {
    mdlID3::ClearTagInfo(tagInfo_);
    v1Checked_ = mdlID3::ReadID3v1Tag(path, tagInfo_);
    SetField(TagField::v1Artist, tagInfo_.Artist);
    SetField(TagField::v1Album, tagInfo_.Album);
    SetField(TagField::v1Title, tagInfo_.Title);
    SetField(TagField::v1TNR, tagInfo_.Track);
    SetField(TagField::v1Year, tagInfo_.Year);
    SetField(TagField::v1Genre, tagInfo_.Genre);
    SetField(TagField::v1Comment, tagInfo_.Comment);
}

// The field as the load leaves it: the value cut to the limit, or `fallback` (when not empty)
// where that is blank.
void TagEditor::SetV2WithDefault(TagField field, const std::string& value, const std::string& fallback) {
    SetField(field, value);
    if (!fallback.empty() && IsBlank(Field(field))) SetField(field, fallback);
}

void TagEditor::LoadV2(const std::string& path) {
    mdlID3::ClearTagInfo(tagInfo_);
    v2Checked_ = mdlID3::ReadID3v2Tag(path, tagInfo_);
    const std::string home = tageditor::kMakerHomePage;
    SetV2WithDefault(TagField::v2Artist, tagInfo_.Artist, home);
    SetV2WithDefault(TagField::v2Album, tagInfo_.Album, fileTitle_ + " " + home);
    SetV2WithDefault(TagField::v2Title, tagInfo_.Title, home + tageditor::kTitleSuffix);
    SetV2WithDefault(TagField::v2TNR, TrackForField(tagInfo_.Track, kV2TrackLimit), tageditor::kDefaultTrack);
    SetV2WithDefault(TagField::v2Year, tagInfo_.Year, "");
    SetV2WithDefault(TagField::v2Genre, tagInfo_.Genre, "");
    SetV2WithDefault(TagField::v2Comment, tagInfo_.Comment, home + tageditor::kCommentSuffix);
    SetV2WithDefault(TagField::v2Composer, tagInfo_.Composer, "");
    SetV2WithDefault(TagField::v2OrigArtist, tagInfo_.OrigArtist, "");
    SetV2WithDefault(TagField::v2Copyright, tagInfo_.Copyright, "");
    SetV2WithDefault(TagField::v2LinkTo, tagInfo_.LinkTo, home);
    SetV2WithDefault(TagField::v2Encoder, tagInfo_.Encoder, tageditor::kDefaultEncoder);
    mdlID3::ReadChapters(path, chapters_);
}

std::vector<std::string> TagEditor::ChapterLines() const {
    std::vector<std::string> lines;
    for (size_t i = 0; i < chapters_.size(); ++i)
        lines.push_back(std::to_string(i + 1) + "  " + mdlID3::ChapterTimeText(chapters_[i].StartMs) + "  " +
                        chapters_[i].Title);
    return lines;
}

void TagEditor::Load() {
    path_ = PathFromHolder();
    LoadV1(path_);
    LoadV2(path_);
    mdlID3::MpegInfo info;
    mdlID3::ReadMpegInfo(path_, info);
    technical_ = DescribeMpegInfo(info);
    technical_.replayGain = ReplayGainLineOf(path_);
    loaded_ = true;
    Changed();
}

void TagEditor::FillV1Record() {
    tagInfo_.Artist = Field(TagField::v1Artist);
    tagInfo_.Album = Field(TagField::v1Album);
    tagInfo_.Title = Field(TagField::v1Title);
    tagInfo_.Track = Field(TagField::v1TNR);
    tagInfo_.Year = Field(TagField::v1Year);
    tagInfo_.Genre = Field(TagField::v1Genre);
    tagInfo_.Comment = Field(TagField::v1Comment);
}

void TagEditor::FillV2Record() {
    tagInfo_.Artist = Field(TagField::v2Artist);
    tagInfo_.Album = Field(TagField::v2Album);
    tagInfo_.Title = Field(TagField::v2Title);
    tagInfo_.Track = Field(TagField::v2TNR);
    tagInfo_.Year = Field(TagField::v2Year);
    tagInfo_.Genre = Field(TagField::v2Genre);
    tagInfo_.Comment = Field(TagField::v2Comment);
    tagInfo_.Composer = Field(TagField::v2Composer);
    tagInfo_.OrigArtist = Field(TagField::v2OrigArtist);
    tagInfo_.Copyright = Field(TagField::v2Copyright);
    tagInfo_.LinkTo = Field(TagField::v2LinkTo);
    tagInfo_.Encoder = Field(TagField::v2Encoder);
}

// The steps in their order; stops at the first that fails, with its description in `failure`.
bool TagEditor::WriteSteps(const std::string& path, int64_t fileSize, std::string* failure) {
    if (!steps_.makeWritable(path)) {
        *failure = "The file could not be made writable";
        return false;
    }
    if (!v1Checked_) {
        // A file shorter than a tag has none to remove.
        if (fileSize >= mdlID3::kID3v1Size && !steps_.removeV1(path)) {
            *failure = "The ID3 v1 tag could not be removed";
            return false;
        }
    } else {
        FillV1Record();
        if (!steps_.writeV1(path, tagInfo_)) {
            *failure = "The ID3 v1 tag could not be written";
            return false;
        }
    }

    FillV2Record();
    if (!steps_.writeV2(path, tagInfo_, version_, clearOld_)) {
        const std::string reason = steps_.v2Error ? steps_.v2Error() : std::string();
        *failure = "The ID3 v2 tag could not be written" + (reason.empty() ? "" : ": " + reason);
        return false;
    }
    return true;
}

bool TagEditor::Write(std::string* error) {
    std::string ignored;
    if (!error) error = &ignored;
    path_ = PathFromHolder();
    struct NotifyOnExit {
        const TagEditor& editor;
        ~NotifyOnExit() { editor.Changed(); }
    } notify{*this};
    if (path_.empty()) {
        *error = "No MP3 file is selected.";
        return false;
    }
    // The version 2 tag is written whatever the last load found, so its fields are in view after.
    v2Checked_ = true;
    TagFileSnapshot before;
    if (!before.Take(path_, error)) return false;

    std::string failure;
    if (WriteSteps(path_, before.Size(), &failure)) return true;
    const bool restored = before.Restore();
    if (::access(path_.c_str(), W_OK) != 0) failure += " (the file cannot be written)";
    *error = failure + (restored ? ". The file was left as it was." : ". The file could not be put back as it was.");
    return false;
}

Notice TagEditor::UpdateInfo() {
    std::string why;
    if (Write(&why)) {
        // The technical lines say which tags the file has: after a write they must say so.
        mdlID3::MpegInfo info;
        mdlID3::ReadMpegInfo(path_, info);
        technical_ = DescribeMpegInfo(info);
        technical_.replayGain = ReplayGainLineOf(path_);
        Changed();
        return {"MP3 Properties have been modified.", NoticeIcon::Information};
    }
    const std::string name = FileName(path_);
    return {"The MP3 tags could not be written to " + (name.empty() ? std::string("the file") : name) + ".\n" + why,
            NoticeIcon::Error};
}

void TagEditor::LoadFile(const std::string& path, const std::string& fileTitle) {
    pathHolder_ = path;
    fileTitle_ = fileTitle;
    Load();
}

void TagEditor::ShowFor(const std::string& path, const std::string& fileTitle) {
    fileTitle_ = fileTitle;
    pathHolder_ = path;
    v2Checked_ = true;
    Changed();
}

bool TagEditor::WriteInto(const std::string& clipPath, std::string* error) {
    // The holder goes back to the file the editor shows, so that "Update Info" in an editor left
    // open during a save still writes into that file and not into the clip.
    const std::string shown = pathHolder_;
    pathHolder_ = clipPath;
    const bool written = Write(error);
    pathHolder_ = shown;
    return written;
}

bool TagEditor::TagsForClip(ClipTags* tags) {
    if (!steps_.library || !tags) return false;
    // As WriteInto leaves the editor: the version 2 fields in view, the record filled.
    v2Checked_ = true;
    tags->v1 = ClipTags::V1::Remove;
    if (v1Checked_) {
        FillV1Record();
        tags->v1 = ClipTags::V1::Write;
        tags->v1Tag = mdlID3::BuildID3v1Tag(tagInfo_);
    }
    FillV2Record();
    // A new clip has no tag of its own in front: nothing to keep, no old space to reuse.
    mdlID3::KeptFrameList none;
    std::string why;
    const bool built = mdlID3::BuildID3v2Tag(tagInfo_, version_, none, 0, tags->v2, &why);
    Changed();
    return built;
}
