// LoadFile on a 200 MB file whose first frame follows 20 MB of non-frame bytes, against one plain
// sequential read of the same file in the same run. Prints the median times and their ratio.
// Usage: bench_loadfile [folder for the scratch file, default /tmp]
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "analysis/mp3.h"

namespace {

constexpr int64_t kMiB = 1024 * 1024;
constexpr int64_t kFileBytes = 200 * kMiB;
constexpr int64_t kJunkBytes = 20 * kMiB;
constexpr int kRounds = 7;

// Random bytes (like compressed picture data in a large ID3v2 tag), with no FF FA / FF FB pair.
std::vector<unsigned char> Junk(int64_t count, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<unsigned char> junk(static_cast<size_t>(count));
    for (auto& b : junk) b = static_cast<unsigned char>(rng());
    for (size_t i = 1; i < junk.size(); ++i)
        if (junk[i - 1] == 0xFF && (junk[i] == 0xFA || junk[i] == 0xFB)) junk[i] = 0x00;
    if (!junk.empty() && junk.back() == 0xFF) junk.back() = 0x00;
    return junk;
}

bool WriteAll(int fd, const unsigned char* data, size_t count) {
    while (count > 0) {
        const ssize_t put = ::write(fd, data, count);
        if (put <= 0) return false;
        data += put;
        count -= static_cast<size_t>(put);
    }
    return true;
}

bool MakeFile(const std::string& path, bool withFrames) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return false;
    bool ok = true;
    const std::vector<unsigned char> junk = Junk(kJunkBytes, 1);
    ok = ok && WriteAll(fd, junk.data(), junk.size());
    // 128 kbit/s, 44100 Hz: 417-byte silent frames to the end of the file.
    std::vector<unsigned char> rest(static_cast<size_t>(kFileBytes - kJunkBytes), 0);
    if (withFrames) {
        for (size_t at = 0; at + 417 <= rest.size(); at += 417) {
            rest[at] = 0xFF;
            rest[at + 1] = 0xFB;
            rest[at + 2] = 0x90;
            rest[at + 3] = 0x44;
        }
    } else {
        const std::vector<unsigned char> more = Junk(static_cast<int64_t>(rest.size()), 2);
        rest = more;
        // Keep the seam between the two junk runs free of a pair too.
        if (junk.back() == 0xFF && (rest[0] == 0xFA || rest[0] == 0xFB)) rest[0] = 0x00;
    }
    ok = ok && WriteAll(fd, rest.data(), rest.size());
    return ::close(fd) == 0 && ok;
}

double PlainReadSeconds(const std::string& path) {
    const auto start = std::chrono::steady_clock::now();
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::vector<unsigned char> buffer(static_cast<size_t>(kMiB));
    uint64_t sum = 0;
    for (;;) {
        const ssize_t got = ::read(fd, buffer.data(), buffer.size());
        if (got <= 0) break;
        sum += buffer[0];
    }
    ::close(fd);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (sum == 1) std::printf(" ");  // keeps the reads from being optimised away
    return seconds;
}

double LoadFileSeconds(const std::string& path, int64_t& headerStart) {
    const auto start = std::chrono::steady_clock::now();
    MP3 mp3;
    if (!mp3.LoadFile(path)) std::fprintf(stderr, "LoadFile failed\n");
    headerStart = mp3.HeaderStart64();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

bool Measure(const std::string& path, bool withFrames, const char* label) {
    if (!MakeFile(path, withFrames)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        return false;
    }
    PlainReadSeconds(path);  // both measurements from the page cache
    std::vector<double> plain, load;
    int64_t headerStart = 0;
    for (int i = 0; i < kRounds; ++i) {
        plain.push_back(PlainReadSeconds(path));
        load.push_back(LoadFileSeconds(path, headerStart));
    }
    const double p = Median(plain);
    const double l = Median(load);
    std::printf("%s: HeaderStart %lld, plain read %.1f ms, LoadFile %.1f ms, ratio %.3f\n", label,
                static_cast<long long>(headerStart), p * 1000, l * 1000, l / p);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder = argc > 1 ? argv[1] : "/tmp";
    const std::string path = (folder / ("trimbel-bench-" + std::to_string(::getpid()) + ".mp3")).string();
    std::printf("200 MB file, median of %d rounds\n", kRounds);
    bool ok = Measure(path, true, "first frame after 20 MB of junk");
    ok = ok && Measure(path, false, "no frame in 200 MB (whole-file search)");
    std::filesystem::remove(path);
    return ok ? 0 : 1;
}
