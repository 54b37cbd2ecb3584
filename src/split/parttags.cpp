#include "split/parttags.h"

#include "id3/id3v1.h"
#include "id3/id3v2read.h"
#include "id3/id3v2write.h"

SourceTags ReadSourceTags(const std::string& path) {
    SourceTags tags;
    tags.hasV2 = mdlID3::ReadID3v2Tag(path, tags.v2);
    tags.hasV1 = mdlID3::ReadID3v1Tag(path, tags.v1);
    return tags;
}

bool WritePartTags(const std::string& path, const SourceTags& source, const std::string& title,
                   const std::string& performer, size_t number, size_t count, std::string* error) {
    mdlID3::ID3TagInfo v2 = source.hasV2 ? source.v2 : source.v1;
    v2.Title = title;
    v2.Track = std::to_string(number) + "/" + std::to_string(count);
    if (!performer.empty()) v2.Artist = performer;
    if (!mdlID3::WriteID3v2Tag(path, v2, mdlID3::kWriteV23, true, false)) {
        if (error) *error = "The tags could not be written: " + mdlID3::LastTagWriteError();
        return false;
    }
    if (!source.hasV1) return true;
    mdlID3::ID3TagInfo v1 = source.v1;
    v1.Title = title;
    v1.Track = std::to_string(number);
    if (!performer.empty()) v1.Artist = performer;
    if (!mdlID3::WriteID3v1Tag(path, v1, false)) {
        if (error) *error = "The ID3 v1 tag could not be written";
        return false;
    }
    return true;
}
