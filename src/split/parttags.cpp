#include "split/parttags.h"

#include "id3/id3v1.h"
#include "id3/id3v2read.h"
#include "id3/id3v2write.h"

namespace {

// The records of a part's two tags: the source's, with the part's title, performer and track.
struct PartRecords {
    mdlID3::ID3TagInfo v2;
    mdlID3::ID3TagInfo v1;
};

PartRecords RecordsFor(const SourceTags& source, const std::string& title, const std::string& performer,
                       size_t number, size_t count) {
    PartRecords records{source.hasV2 ? source.v2 : source.v1, source.v1};
    records.v2.Title = title;
    records.v2.Track = std::to_string(number) + "/" + std::to_string(count);
    records.v1.Title = title;
    records.v1.Track = std::to_string(number);
    if (!performer.empty()) {
        records.v2.Artist = performer;
        records.v1.Artist = performer;
    }
    return records;
}

}  // namespace

SourceTags ReadSourceTags(const std::string& path) {
    SourceTags tags;
    tags.hasV2 = mdlID3::ReadID3v2Tag(path, tags.v2);
    tags.hasV1 = mdlID3::ReadID3v1Tag(path, tags.v1);
    return tags;
}

bool WritePartTags(const std::string& path, const SourceTags& source, const std::string& title,
                   const std::string& performer, size_t number, size_t count, std::string* error) {
    const PartRecords records = RecordsFor(source, title, performer, number, count);
    if (!mdlID3::WriteID3v2Tag(path, records.v2, mdlID3::kWriteV23, true, false)) {
        if (error) *error = "The tags could not be written: " + mdlID3::LastTagWriteError();
        return false;
    }
    if (!source.hasV1) return true;
    if (!mdlID3::WriteID3v1Tag(path, records.v1, false)) {
        if (error) *error = "The ID3 v1 tag could not be written";
        return false;
    }
    return true;
}

bool PartClipTags(const SourceTags& source, const std::string& title, const std::string& performer,
                  size_t number, size_t count, ClipTags* tags, std::string* error) {
    const PartRecords records = RecordsFor(source, title, performer, number, count);
    // A part starts with its Xing frame: there is no old tag whose frames or space to keep.
    mdlID3::KeptFrameList none;
    std::string why;
    if (!mdlID3::BuildID3v2Tag(records.v2, mdlID3::kWriteV23, none, 0, tags->v2, &why)) {
        if (error) *error = "The tags could not be written: " + why;
        return false;
    }
    tags->v1 = source.hasV1 ? ClipTags::V1::Write : ClipTags::V1::Keep;
    if (source.hasV1) tags->v1Tag = mdlID3::BuildID3v1Tag(records.v1);
    return true;
}
