// libFuzzer target: an edit of arbitrary file contents (a range cut out of the middle) must
// neither crash nor hang, and a file it writes must walk back as exactly the frames it planned.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "edit/editrender.h"
#include "edit/sourcetimeline.h"
#include "fuzzfile.h"
#include "mpeg/framescan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // Scratch files of this process, written afresh for every input.
    static const std::string path = fuzzfile::ScratchPath("fuzz_edit");
    static const std::string outputPath = fuzzfile::ScratchPath("fuzz_edit_out");
    if (!fuzzfile::WriteInput(path, data, size)) return 0;
    FrameTable table;
    std::string error;
    if (ScanFrames(path, table, &error)) {
        const int64_t samples = SourceTimeline(table).DecodedSamples();
        EditList edits(samples);
        RenderPlan plan;
        if (edits.DeleteSource({{samples / 3, 2 * samples / 3}}) == EditRefusal::None &&
            SaveEdited(path, table, edits, {}, outputPath, nullptr, {}, {}, plan, &error)) {
            FrameTable written;
            if (!ScanFrames(outputPath, written, &error) || written.frames.size() != plan.frames.size() ||
                written.junkBytes != 0)
                std::abort();
        }
    }
    std::remove(path.c_str());
    std::remove(outputPath.c_str());
    return 0;
}
