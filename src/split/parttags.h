#pragma once
// The tags of a part: the source's, with the part's own title, performer and track "n/N".
#include <cstddef>
#include <string>

#include "clips/cliptags.h"
#include "id3/taginfo.h"

struct SourceTags {
    mdlID3::ID3TagInfo v2;
    bool hasV2 = false;
    mdlID3::ID3TagInfo v1;
    bool hasV1 = false;
};

SourceTags ReadSourceTags(const std::string& path);

// Writes an ID3v2.3 tag into `path` (the finished part, before it takes its name) and, when the
// source has one, an ID3v1 tag. `number` counts from 1. False with `error` set on failure.
bool WritePartTags(const std::string& path, const SourceTags& source, const std::string& title,
                   const std::string& performer, size_t number, size_t count, std::string* error);

// The same tags as bytes, for a part that is written with them in one pass: the result is the
// file WritePartTags leaves on the untagged part.
bool PartClipTags(const SourceTags& source, const std::string& title, const std::string& performer,
                  size_t number, size_t count, ClipTags* tags, std::string* error);
