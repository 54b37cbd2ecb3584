// A 60 s frame-accurate clip from a 30-minute VBR file, beside mp3splt cutting the same range in
// the same run (its frame mode, which also walks the frames, and its default mode). Prints the
// times and the ratios ours / mp3splt's; the best of three runs each, warm page cache.
// Usage: bench_cleancut [source.mp3]   (without one, a 30-minute VBR file is made with sox + lame)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "clips/cleancut.h"

namespace fs = std::filesystem;

namespace {

double Seconds(const std::chrono::steady_clock::time_point& since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

double TimeCommand(const std::string& command) {
    auto t0 = std::chrono::steady_clock::now();
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "failed: %s\n", command.c_str());
        std::exit(1);
    }
    return Seconds(t0);
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path work = fs::temp_directory_path() / "bench_cleancut";
    fs::create_directories(work);
    std::string source = argc > 1 ? argv[1] : (work / "long-vbr.mp3").string();
    if (argc <= 1 && !fs::exists(source)) {
        std::puts("making a 30-minute VBR file (sox + lame -V2), once...");
        TimeCommand("sox -n -r 44100 -c 2 -b 16 '" + (work / "long.wav").string() +
                    "' synth 1800 pluck 220 pluck 330 tremolo 3 40 >/dev/null 2>&1");
        TimeCommand("lame --quiet -V2 '" + (work / "long.wav").string() + "' '" + source + "'");
        fs::remove(work / "long.wav");
    }
    const double start = 12 * 60, end = 13 * 60;
    const std::string ours = (work / "ours.mp3").string();
    const std::string splitArgs = " -q -d '" + work.string() + "' -o splt '" + source + "' 12.00 13.00 >/dev/null 2>&1";

    double best = 1e9, bestFrames = 1e9, bestPlain = 1e9;
    TimeCommand("cat '" + source + "' >/dev/null");
    for (int round = 0; round < 3; ++round) {
        auto t0 = std::chrono::steady_clock::now();
        std::string error;
        CleanClipResult result;
        if (!SaveCleanClip(source, start, end, ours, &error, &result)) {
            std::fprintf(stderr, "clean cut failed: %s\n", error.c_str());
            return 1;
        }
        best = std::min(best, Seconds(t0));
        bestFrames = std::min(bestFrames, TimeCommand("mp3splt -f" + splitArgs));
        bestPlain = std::min(bestPlain, TimeCommand("mp3splt" + splitArgs));
        if (round == 0)
            std::printf("clip: %u frames, %u bytes, %.3f s to %.3f s\n", result.frames, result.bytes,
                        result.startSeconds, result.endSeconds);
    }
    std::printf("clean cut %.3f s | mp3splt -f %.3f s (ratio %.2f) | mp3splt %.3f s (ratio %.2f)\n", best,
                bestFrames, best / bestFrames, bestPlain, best / bestPlain);
    return 0;
}
