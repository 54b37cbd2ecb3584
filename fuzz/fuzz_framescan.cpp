// libFuzzer target: the frame scan over arbitrary file contents must neither crash nor hang, and
// what it reports must lie inside the file; a clean clip cut from whatever it found must either
// be refused or parse back as exactly its header says.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "clips/cleancut.h"
#include "fuzzfile.h"
#include "mpeg/framescan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Scratch files of this process, written afresh for every input.
    static const std::string path = fuzzfile::ScratchPath("fuzz_framescan");
    static const std::string clipPath = fuzzfile::ScratchPath("fuzz_framescan_clip");
    if (!fuzzfile::WriteInput(path, data, size)) return 0;

    FrameTable table;
    std::string error;
    if (ScanFrames(path, table, &error)) {
        const int64_t fileSize = static_cast<int64_t>(size);
        if (table.audioStart < 0 || table.audioEnd > table.tagsStart || table.tagsStart > fileSize) std::abort();
        int64_t previousEnd = table.audioStart;
        for (const auto& frame : table.frames) {
            if (frame.offset < previousEnd || frame.offset + frame.length > table.audioEnd) std::abort();
            previousEnd = frame.offset + frame.length;
        }
        (void)FrameIndexAtSeconds(table, table.durationSeconds / 2);

        const std::string& clip = clipPath;
        CleanClipResult result;
        if (SaveCleanClip(path, table.durationSeconds / 4, table.durationSeconds, clip, &error, &result)) {
            FrameTable written;
            if (!ScanFrames(clip, written, &error) || written.frames.size() != result.frames ||
                written.fileSize != result.bytes || written.junkBytes != 0)
                std::abort();
        }
    }
    std::remove(path.c_str());
    std::remove(clipPath.c_str());
    return 0;
}
