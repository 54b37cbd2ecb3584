// libFuzzer target: writing a tag into an arbitrary file must neither crash nor hang. When the
// write succeeds, the bytes after the new tag are exactly the bytes that followed the old one and
// the tag reads back; when it fails, the file is untouched. Removing the tag then leaves the audio.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzzfile.h"
#include "id3/mdlid3.h"

namespace {

std::vector<uint8_t> Slurp(const std::string& path) {
    std::vector<uint8_t> out;
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) std::abort();
    uint8_t buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) out.insert(out.end(), buffer, buffer + n);
    std::fclose(f);
    return out;
}

size_t TagSizeAtStart(const std::vector<uint8_t>& file) {
    if (file.size() < 10 || file[0] != 'I' || file[1] != 'D' || file[2] != '3') return 0;
    return 10 + ((size_t{file[6]} << 21) | (size_t{file[7]} << 14) | (size_t{file[8]} << 7) | file[9]);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = fuzzfile::ScratchPath("fuzz_write");
    if (!fuzzfile::WriteInput(path, data, size)) return 0;
    const std::vector<uint8_t> input(data, data + size);

    int64_t old = 0;
    {
        mdlID3::FileReader file(path);
        old = mdlID3::GetID3v2TagSize(file, 0);
    }
    if (old < 0 || old > static_cast<int64_t>(size)) std::abort();
    const std::vector<uint8_t> audio(input.begin() + old, input.end());

    mdlID3::ID3TagInfo info;
    info.Artist = "Fuzz \xC3\xA4rtist";
    info.Title = "\xE6\x97\xA5 title";
    info.Genre = "rock";
    info.Comment = " c ";
    info.LinkTo = "http://example.org/";
    const int version = size % 2 ? mdlID3::kWriteV24 : mdlID3::kWriteV23;
    const bool clear = size % 3 == 0;

    if (!mdlID3::WriteID3v2Tag(path, info, version, clear, true)) {
        if (Slurp(path) != input) std::abort();
        return 0;
    }
    const std::vector<uint8_t> written = Slurp(path);
    const size_t tag = TagSizeAtStart(written);
    if (tag < 10 || tag > written.size()) std::abort();
    if (written[3] != (version == mdlID3::kWriteV24 ? 4 : 3)) std::abort();
    if (std::vector<uint8_t>(written.begin() + static_cast<long>(tag), written.end()) != audio)
        std::abort();
    mdlID3::ID3TagInfo back;
    if (!mdlID3::ReadID3v2Tag(path, back)) std::abort();

    if (!mdlID3::RemoveID3v2Tag(path, true)) std::abort();
    if (Slurp(path) != audio) std::abort();
    return 0;
}
