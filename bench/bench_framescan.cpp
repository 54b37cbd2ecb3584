// Frame scan speed against one plain sequential read of the same file, for a 200 MB CBR file and a
// 200 MB VBR file. Prints the ratio scan time / read time (warm page cache for both).
// Usage: bench_framescan [folder for the two test files, default: the system temp folder]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "mpeg/framescan.h"

namespace {

constexpr int64_t kTargetBytes = int64_t{200} << 20;

// A silent MPEG-1 Layer III frame (zero side information) at 44.1 kHz.
std::vector<char> Frame(int bitrateIndex) {
    static const int kKbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    std::vector<char> f(static_cast<size_t>(144 * kKbps[bitrateIndex] * 1000 / 44100), 0);
    f[0] = static_cast<char>(0xFF);
    f[1] = static_cast<char>(0xFB);
    f[2] = static_cast<char>(bitrateIndex << 4);
    f[3] = 0x44;
    return f;
}

void MakeFile(const std::string& path, bool vbr) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::mt19937 rng(7);
    std::vector<std::vector<char>> frames;
    for (int i = 1; i < 15; ++i) frames.push_back(Frame(i));
    int64_t written = 0;
    while (written < kTargetBytes) {
        const auto& f = frames[vbr ? rng() % frames.size() : 8];
        out.write(f.data(), static_cast<std::streamsize>(f.size()));
        written += static_cast<int64_t>(f.size());
    }
}

double Seconds(const std::chrono::steady_clock::time_point& since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The faster of two plain sequential reads: large blocks, and blocks that stay in cache.
double ReadAll(const std::string& path) {
    double best = 1e9;
    for (size_t block : {size_t{4} << 20, size_t{256} << 10}) {
        auto t0 = std::chrono::steady_clock::now();
        FILE* f = std::fopen(path.c_str(), "rb");
        std::setvbuf(f, nullptr, _IONBF, 0);
        std::vector<char> buf(block);
        uint64_t sum = 0;
        while (size_t n = std::fread(buf.data(), 1, buf.size(), f)) sum += static_cast<unsigned char>(buf[n - 1]);
        std::fclose(f);
        best = std::min(best, Seconds(t0));
        if (sum == 1) std::puts("");  // keep the reads from being optimised away
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = argc > 1 ? argv[1] : std::filesystem::temp_directory_path();
    for (bool vbr : {false, true}) {
        const std::string path = (folder / (vbr ? "bench_framescan_vbr.mp3" : "bench_framescan_cbr.mp3")).string();
        MakeFile(path, vbr);
        ReadAll(path);  // warm the cache
        double best_read = 1e9, best_scan = 1e9;
        size_t frames = 0;
        for (int round = 0; round < 5; ++round) {
            best_read = std::min(best_read, ReadAll(path));
            auto t0 = std::chrono::steady_clock::now();
            FrameTable table;
            std::string error;
            if (!ScanFrames(path, table, &error)) {
                std::fprintf(stderr, "scan failed: %s\n", error.c_str());
                return 1;
            }
            best_scan = std::min(best_scan, Seconds(t0));
            frames = table.frames.size();
        }
        std::printf("%s: %zu frames, read %.3f s, scan %.3f s, ratio %.2f\n", vbr ? "VBR" : "CBR", frames,
                    best_read, best_scan, best_scan / best_read);
        std::filesystem::remove(path);
    }
    return 0;
}
