// A tag write that moves the audio of a large file, killed (SIGKILL) at random moments.
// Each trial copies the original, starts the write in a child process and kills it somewhere
// within the time a whole write takes; then the file must be the old one or the new
// one and its folder must hold nothing else. Prints the counts and the time of a whole write.
// Usage: bench_killedwrite [MB] [trials] [folder]   (defaults 200, 20, /tmp; needs 3 x MB free)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "id3/mdlid3.h"

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

mdlID3::ID3TagInfo GrownTag() {
    mdlID3::ID3TagInfo info;
    info.Title = "Killed";
    info.Comment = std::string(6000, 'c');
    return info;
}

void MakeFile(const std::string& path, int64_t megabytes) {
    std::vector<char> frame(417, 0);
    frame[0] = '\xFF';
    frame[1] = '\xFB';
    frame[2] = '\x90';
    frame[3] = '\x44';
    std::vector<char> chunk;
    while (chunk.size() < (1 << 20)) chunk.insert(chunk.end(), frame.begin(), frame.end());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const char tag[30] = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20};
    out.write(tag, sizeof tag);
    for (int64_t i = 0; i < megabytes; ++i) out.write(chunk.data(), 1 << 20);
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

bool SameFile(const std::string& a, const std::string& b) {
    if (fs::file_size(a) != fs::file_size(b)) return false;
    std::ifstream x(a, std::ios::binary), y(b, std::ios::binary);
    std::vector<char> bx(1 << 20), by(1 << 20);
    while (x && y) {
        x.read(bx.data(), static_cast<std::streamsize>(bx.size()));
        y.read(by.data(), static_cast<std::streamsize>(by.size()));
        if (x.gcount() != y.gcount() || !std::equal(bx.begin(), bx.begin() + x.gcount(), by.begin())) return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    const int64_t megabytes = argc > 1 ? std::atoll(argv[1]) : 200;
    const int trials = argc > 2 ? std::atoi(argv[2]) : 20;
    const std::string base = argc > 3 ? argv[3] : "/tmp";
    std::string work = base + "/bench_killedwrite-XXXXXX";
    if (!::mkdtemp(work.data())) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string original = work + "/original.mp3";
    const std::string expected = work + "/expected.mp3";
    const std::string folder = work + "/folder";
    const std::string target = folder + "/song.mp3";
    fs::create_directory(folder);
    MakeFile(original, megabytes);
    fs::copy_file(original, expected);
    const auto t0 = Clock::now();
    if (!mdlID3::WriteID3v2Tag(expected, GrownTag(), mdlID3::kWriteV23, false, false)) {
        std::fprintf(stderr, "write failed: %s\n", mdlID3::LastTagWriteError().c_str());
        return 1;
    }
    const double whole = std::chrono::duration<double>(Clock::now() - t0).count();

    std::mt19937 random(std::random_device{}());
    std::uniform_real_distribution<double> moment(0.0, whole);
    int oldFiles = 0, newFiles = 0, broken = 0, leftovers = 0, finished = 0;
    for (int trial = 0; trial < trials; ++trial) {
        fs::copy_file(original, target, fs::copy_options::overwrite_existing);
        const pid_t child = ::fork();
        if (child == 0) ::_exit(mdlID3::WriteID3v2Tag(target, GrownTag(), mdlID3::kWriteV23, false, false) ? 0 : 1);
        ::usleep(static_cast<useconds_t>(moment(random) * 1e6));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (WIFEXITED(status)) ++finished;
        if (SameFile(target, original)) ++oldFiles;
        else if (SameFile(target, expected)) ++newFiles;
        else ++broken;
        for (const auto& entry : fs::directory_iterator(folder))
            if (entry.path().filename() != "song.mp3") {
                ++leftovers;
                fs::remove(entry.path());
            }
    }
    fs::remove_all(work);
    std::printf("file: %lld MB, whole write %.3f s, %d trials (%d finished before the kill)\n",
                static_cast<long long>(megabytes), whole, trials, finished);
    std::printf("old file: %d  new file: %d  neither: %d  temporary files left: %d\n", oldFiles, newFiles,
                broken, leftovers);
    return broken == 0 && leftovers == 0 ? 0 : 1;
}
