// TagLib peer for read_bench.sh: reads the ID3v2 and ID3v1 tags of every .mp3 in a folder and
// prints the median time of one pass. Built by read_bench.sh against libtag1-dev.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <taglib/id3v1tag.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    std::vector<std::string> paths;
    for (const auto& entry : std::filesystem::directory_iterator(argv[1]))
        if (entry.path().extension() == ".mp3") paths.push_back(entry.path().string());
    std::vector<double> times;
    size_t checksum = 0;
    for (int round = 0; round < 5; ++round) {
        auto start = std::chrono::steady_clock::now();
        for (const auto& path : paths) {
            TagLib::MPEG::File file(path.c_str(), false);
            if (auto* v2 = file.ID3v2Tag()) checksum += v2->title().size() + v2->artist().size();
            if (auto* v1 = file.ID3v1Tag()) checksum += v1->title().size();
        }
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    std::printf("taglib %.1f ms for %zu files (checksum %zu)\n", times[2], paths.size(), checksum);
    return 0;
}
