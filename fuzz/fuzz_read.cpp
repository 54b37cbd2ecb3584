// libFuzzer target: every tag and header reader over arbitrary file contents must neither crash
// nor hang, and what it reports must fit the file.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "analysis/mp3.h"
#include "fuzzfile.h"
#include "id3/mdlid3.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzzfile::ScratchPath("fuzz_read");
    if (!fuzzfile::WriteInput(path, data, size)) return 0;
    const auto fileSize = static_cast<int64_t>(size);

    mdlID3::ID3TagInfo info;
    mdlID3::ReadID3v2Tag(path, info);
    mdlID3::ReadID3v1Tag(path, info);

    mdlID3::MpegInfo mpeg;
    // A VBR header's own counts may average out below 1 kbit/s; a table bitrate never does.
    if (mdlID3::ReadMpegInfo(path, mpeg) &&
        (mpeg.Bitrate < 0 || mpeg.Frequency <= 0 || (!mpeg.IsVbr && mpeg.Bitrate == 0)))
        std::abort();
    if (size >= 4 && mpeg.FileSize != fileSize) std::abort();

    // Keep mode as the writer runs it: every kept frame's data comes from inside the file.
    mdlID3::FileReader file(path);
    if (int64_t tagSize = mdlID3::GetID3v2TagSize(file, 0); tagSize < 0 || tagSize > fileSize) std::abort();
    mdlID3::KeptFrameList kept;
    int64_t p = 0;
    for (int steps = 0; p >= 0 && mdlID3::GetID3v2TagSize(file, p) > 0; ++steps) {
        int64_t next = mdlID3::ParseID3v2Tag(file, p, info, &kept);
        if (next >= 0 && next <= p) std::abort();
        p = next;
    }
    for (const auto& frame : kept)
        if (frame.Size != static_cast<int32_t>(frame.Data.size()) || frame.Data.size() > size + 16) std::abort();

    MP3 mp3;
    mp3.LoadFile(path);
    return 0;
}
