#pragma once
// The frames of an old ID3v2 tag that a new tag carries over. The parser fills a list in keep mode
// (ParseID3v2Tag with a list to keep into); the tag writer makes the list, has the old tag parsed
// into it, and reads it when it builds the new tag. Entries are held with their ID3v2.3
// identifiers.
#include <cstdint>
#include <string>
#include <vector>

namespace mdlID3 {

struct KeptFrame {
    // Four characters after conversion; an ID3v2.2 identifier without a conversion keeps its three.
    std::string Id;
    // Number of data bytes; always Data.size().
    int32_t Size = 0;
    // The frame's content without frame header, group byte or data length indicator, with
    // unsynchronisation already removed.
    std::vector<uint8_t> Data;
    // Major version (2, 3 or 4) of the tag the frame came from.
    int SourceVersion = 0;
    // The frame's two flag bytes as read (ID3v2.2 frames have none: 0).
    uint8_t StatusFlags = 0;
    uint8_t FormatFlags = 0;
    // A compressed or encrypted frame, kept as it is stored: Data is its whole content (the fields
    // its format flags announce, then the compressed or encrypted bytes) with unsynchronisation
    // removed, FormatFlags lacks the unsynchronisation bit, and both flag bytes are written with it.
    bool Raw = false;
};

// In the order the frames were read.
using KeptFrameList = std::vector<KeptFrame>;

// Appends the entry (Size set from Data), then converts it with UpgradeKeptFrame. Returns its index.
int32_t CollectKeptFrame(KeptFrameList& list, KeptFrame frame);

// Converts a freshly collected entry to its ID3v2.3 form (PIC -> APIC, LNK, TDOR, identifiers
// through MapV22FrameId); an index outside the list changes nothing. Defined with the tag writer;
// the parser calls it on each entry it collects (CollectKeptFrame does).
void UpgradeKeptFrame(KeptFrameList& list, int32_t index);

// Moves the flags of a Raw entry, and the fields they announce, to where version `major` (3 or 4)
// has them; the compressed or encrypted bytes stay as they are. Other entries, and entries of that
// version, are left alone. False when the frame cannot be told in that version: its fields are
// cut short, or a compressed frame has no decompressed size for version 2.3.
bool ConvertRawFrame(KeptFrame& frame, int major);

}  // namespace mdlID3
