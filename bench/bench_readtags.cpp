// Reading the ID3v2 and ID3v1 tags of 5,000 small tagged files. Writes the files (once) into the
// given folder and prints the median time of one pass over them; bench/read_bench.sh runs TagLib
// and mutagen over the same folder and prints the ratios.
// Usage: bench_readtags FOLDER
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "id3/mdlid3.h"

namespace {

constexpr int kFiles = 5000;
constexpr int kRounds = 5;

using Bytes = std::vector<uint8_t>;

void Put32(Bytes& out, uint32_t v) {
    for (int shift : {24, 16, 8, 0}) out.push_back(static_cast<uint8_t>(v >> shift));
}

void Frame(Bytes& out, const std::string& id, const Bytes& data) {
    out.insert(out.end(), id.begin(), id.end());
    Put32(out, static_cast<uint32_t>(data.size()));
    out.push_back(0);
    out.push_back(0);
    out.insert(out.end(), data.begin(), data.end());
}

Bytes TextData(const std::string& utf8, bool utf16) {
    Bytes data{static_cast<uint8_t>(utf16 ? 1 : 0)};
    if (utf16) {
        auto encoded = mdlID3::Utf8ToUtf16(utf8, false, true);
        data.insert(data.end(), encoded.begin(), encoded.end());
    } else {
        data.insert(data.end(), utf8.begin(), utf8.end());
    }
    return data;
}

// An ID3v2.3 tag with the twelve record frames, a 2 KiB picture and padding; a few frames of
// audio; an ID3v1.1 tag.
Bytes TaggedFile(int n) {
    Bytes frames;
    std::string num = std::to_string(n);
    Frame(frames, "TPE1", TextData("Artist \xD0\x96 " + num, true));
    Frame(frames, "TALB", TextData("Album " + num, false));
    Frame(frames, "TIT2", TextData("Title number " + num, true));
    Frame(frames, "TYER", TextData("2004", false));
    Frame(frames, "TCON", TextData("(17)Rock", false));
    Bytes comment{0, 'e', 'n', 'g', 0};
    for (char c : "A comment for file " + num) comment.push_back(static_cast<uint8_t>(c));
    Frame(frames, "COMM", comment);
    Frame(frames, "TRCK", TextData(std::to_string(n % 20 + 1) + "/20", false));
    Frame(frames, "TENC", TextData("Encoder", false));
    Frame(frames, "WXXX", Bytes{0, 0, 'h', 't', 't', 'p', ':', '/', '/', 'x'});
    Frame(frames, "TCOP", TextData("Copyright", false));
    Frame(frames, "TCOM", TextData("Composer", false));
    Frame(frames, "TOPE", TextData("Original", false));
    Bytes picture{0, 'i', 'm', 'a', 'g', 'e', '/', 'p', 'n', 'g', 0, 3, 0};
    picture.resize(picture.size() + 2048, 0x5A);
    Frame(frames, "APIC", picture);
    frames.resize(frames.size() + 512, 0);

    Bytes file{'I', 'D', '3', 3, 0, 0};
    uint32_t size = static_cast<uint32_t>(frames.size());
    for (int shift : {21, 14, 7, 0}) file.push_back(static_cast<uint8_t>((size >> shift) & 0x7F));
    file.insert(file.end(), frames.begin(), frames.end());
    for (int i = 0; i < 8; ++i) {
        Bytes audio(417, 0);
        audio[0] = 0xFF, audio[1] = 0xFB, audio[2] = 0x90, audio[3] = 0x44;
        file.insert(file.end(), audio.begin(), audio.end());
    }
    mdlID3::ID3TagInfo v1;
    v1.Title = "Title number " + num;
    v1.Artist = "Artist";
    v1.Track = "3";
    v1.Genre = "Rock";
    auto tag = mdlID3::BuildID3v1Tag(v1);
    file.insert(file.end(), tag.begin(), tag.end());
    return file;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_readtags FOLDER\n");
        return 2;
    }
    std::filesystem::path folder = argv[1];
    std::filesystem::create_directories(folder);
    std::vector<std::string> paths;
    for (int i = 0; i < kFiles; ++i) {
        auto path = (folder / ("f" + std::to_string(i) + ".mp3")).string();
        if (!std::filesystem::exists(path)) {
            auto bytes = TaggedFile(i);
            std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                        static_cast<std::streamsize>(bytes.size()));
        }
        paths.push_back(path);
    }

    std::vector<double> times;
    size_t checksum = 0;
    for (int round = 0; round < kRounds; ++round) {
        auto start = std::chrono::steady_clock::now();
        for (const auto& path : paths) {
            mdlID3::ID3TagInfo v2;
            mdlID3::ID3TagInfo v1;
            if (mdlID3::ReadID3v2Tag(path, v2)) checksum += v2.Title.size() + v2.Artist.size();
            if (mdlID3::ReadID3v1Tag(path, v1)) checksum += v1.Title.size();
        }
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("trimbel %.1f ms for %d files (checksum %zu)\n", times[kRounds / 2], kFiles, checksum);
    return 0;
}
