#pragma once
// The tag editor "Edit MP3 Information" without its window: the fields of both ID3 tags with the
// limits the window gives them, the load of a file (technical data, tags, defaults for empty
// version 2 fields), and the write (Update Info). The window frmMain shows and edits this model;
// the cutting session and the command line use it directly. Texts are UTF-8.
//
// The file reaches the editor through two holders: the path holder (trimmed and cut at its
// first NUL whenever the editor takes the path from it) and the file title shown to the user.
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "id3/chapters.h"
#include "id3/taginfo.h"
#include "models/notice.h"
#include "models/taghandover.h"
#include "models/tagwritesteps.h"
#include "models/techlines.h"

enum class TagField {
    v1Artist, v1Album, v1Title, v1TNR, v1Year, v1Genre, v1Comment,
    v2Artist, v2Album, v2Title, v2TNR, v2Year, v2Genre, v2Comment,
    v2Composer, v2OrigArtist, v2Copyright, v2LinkTo, v2Encoder,
};
inline constexpr int kTagFieldCount = static_cast<int>(TagField::v2Encoder) + 1;

class TagEditor : public TagHandOver {
public:
    explicit TagEditor(TagWriteSteps steps = TagWriteSteps::Library());

    // The most characters a field holds (counted as UTF-16 units, as a text box counts them);
    // 0 for no limit. The version 1 limits are the widths of the 128-byte tag, the comment
    // leaving room for the track.
    static int FieldLimit(TagField field);
    const std::string& Field(TagField field) const { return fields_[static_cast<int>(field)]; }
    // Longer text is cut to the limit. The version 1 genre is a choice from V1GenreEntries():
    // text that is not an entry selects the empty one.
    void SetField(TagField field, const std::string& text);
    // "" then the 148 genre names of the tag library.
    static const std::vector<std::string>& V1GenreEntries();
    int V1GenreIndex() const;

    // The file holders.
    void SetPathHolder(const std::string& text) { pathHolder_ = text; }
    const std::string& PathHolder() const { return pathHolder_; }
    void SetFileTitle(const std::string& title) { fileTitle_ = title; }
    const std::string& FileTitle() const { return fileTitle_; }
    // The path as the editor takes it from the holder: blanks around it removed, cut at a NUL.
    std::string PathFromHolder() const;
    // The path of the last load or write.
    const std::string& CurrentPath() const { return path_; }

    // Whether the version 1 tag is written (checked) or removed, and whether the version 2 fields
    // are in view; the load sets both from what the file holds.
    bool V1Checked() const { return v1Checked_; }
    void SetV1Checked(bool checked) { v1Checked_ = checked; }
    bool V2Checked() const { return v2Checked_; }
    void SetV2Checked(bool checked) { v2Checked_ = checked; }
    // 0 writes version 2.3, 1 writes 2.4.
    int Version() const { return version_; }
    void SetVersion(int version) { version_ = version == 0 ? 0 : 1; }
    bool ClearOld() const { return clearOld_; }
    void SetClearOld(bool clear) { clearOld_ = clear; }
    // True once a file has been loaded.
    bool Loaded() const { return loaded_; }
    const TechnicalLines& Technical() const { return technical_; }
    // The loaded file's chapters, in play order; shown, never edited here (every write keeps them).
    const std::vector<mdlID3::Chapter>& Chapters() const { return chapters_; }
    // One line per chapter: "1  0:00.000  Title".
    std::vector<std::string> ChapterLines() const;

    // Loads the file named by the path holder. Every step runs on its own; nothing is reported.
    void Load();
    // Writes the fields into the file named by the path holder: the version 1 tag (or its
    // removal), then the version 2 tag. All or nothing: when a step fails, what the earlier steps
    // changed (the end of the file, the tag at its start, the permission bits) is put back, and
    // `error` says what failed and whether the file is as it was.
    bool Write(std::string* error = nullptr);
    // "Update Info": the write and the message for the user.
    Notice UpdateInfo();

    // The hand-over of the cutting window. WriteInto leaves the path holder on the file shown.
    void LoadFile(const std::string& path, const std::string& fileTitle) override;
    void ShowFor(const std::string& path, const std::string& fileTitle) override;
    bool WriteInto(const std::string& clipPath, std::string* error) override;
    bool TagsForClip(ClipTags* tags) override;

    // Called after every change that a view must show in full (load, show, write).
    void SetChangeListener(std::function<void()> listener) { changed_ = std::move(listener); }

private:
    void LoadV1(const std::string& path);
    void LoadV2(const std::string& path);
    void SetV2WithDefault(TagField field, const std::string& value, const std::string& fallback);
    // The fields into the record the tag library writes.
    void FillV1Record();
    void FillV2Record();
    bool WriteSteps(const std::string& path, int64_t fileSize, std::string* failure);
    void Changed() const;

    TagWriteSteps steps_;
    std::array<std::string, kTagFieldCount> fields_;
    std::string pathHolder_;
    std::string fileTitle_ = "NA";
    std::string path_;
    bool v1Checked_ = false;
    bool v2Checked_ = true;
    int version_ = 0;
    bool clearOld_ = false;
    bool loaded_ = false;
    TechnicalLines technical_;
    std::vector<mdlID3::Chapter> chapters_;
    mdlID3::ID3TagInfo tagInfo_;
    std::function<void()> changed_;
};
