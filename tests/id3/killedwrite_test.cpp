// A tag write that moves the audio, killed (SIGKILL) at random moments: the file is always the
// old one or the new one, and nothing else is left in its folder.
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "id3/id3v2write.h"
#include "support/testfiles.h"

using namespace testfiles;
namespace fs = std::filesystem;

namespace {

mdlID3::ID3TagInfo GrownTag() {
    mdlID3::ID3TagInfo info;
    info.Title = "Killed";
    info.Comment = std::string(6000, 'c');  // far more than the old tag's room: the audio moves
    return info;
}

// The whole file in one read (a byte-wise stream read is slow in sanitizer builds).
Bytes Slurp(const std::string& path) {
    Bytes bytes(fs::file_size(path));
    std::FILE* f = std::fopen(path.c_str(), "rb");
    const size_t got = f ? std::fread(bytes.data(), 1, bytes.size(), f) : 0;
    if (f) std::fclose(f);
    bytes.resize(got);
    return bytes;
}

// Runs the write in a child process; kills it after `delay` unless it is done by then.
// Returns true when the child finished the write itself.
bool WriteInChild(const std::string& path, std::chrono::microseconds delay) {
    const pid_t child = ::fork();
    if (child == 0) {
        const bool ok = mdlID3::WriteID3v2Tag(path, GrownTag(), mdlID3::kWriteV23, false, false);
        ::_exit(ok ? 0 : 1);
    }
    if (child < 0) return false;
    ::usleep(static_cast<useconds_t>(delay.count()));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

TEST(KilledTagWrite, LeavesTheOldOrTheNewFileAndNothingElse) {
    TempDir work;
    TempDir folder;
    const std::string original = work.file("original.mp3");
    const std::string expected = work.file("expected.mp3");
    const std::string target = folder.file("song.mp3");
    // A small tag, then about 20 MB of frames.
    const Bytes tag = Concat({FromString("ID3"), Bytes{3, 0, 0, 0, 0, 0, 20}, Bytes(20, 0)});
    Bytes audio = SilentFrames(50000);
    WriteFile(original, Concat({tag, audio}));
    audio.clear();

    // The finished write, and how long it takes here.
    fs::copy_file(original, expected);
    const auto t0 = std::chrono::steady_clock::now();
    ASSERT_TRUE(mdlID3::WriteID3v2Tag(expected, GrownTag(), mdlID3::kWriteV23, false, false))
        << mdlID3::LastTagWriteError();
    const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0);
    const Bytes oldBytes = Slurp(original);
    const Bytes newBytes = Slurp(expected);
    ASSERT_NE(oldBytes.size(), newBytes.size());

    std::mt19937 random(20);
    // Within the time of one write, plus the start of the child.
    std::uniform_int_distribution<int64_t> moment(0, took.count() + 2000);
    int killed = 0;
    for (int trial = 0; trial < 20; ++trial) {
        SCOPED_TRACE(trial);
        fs::copy_file(original, target, fs::copy_options::overwrite_existing);
        if (!WriteInChild(target, std::chrono::microseconds(moment(random)))) ++killed;
        const Bytes now = Slurp(target);
        EXPECT_TRUE(now == oldBytes || now == newBytes) << "size " << now.size();
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder.path())) names.push_back(entry.path().filename());
        EXPECT_EQ(names, std::vector<std::string>{"song.mp3"});
    }
    // The moments are spread over the write: trials kill it on the way, not only after it.
    EXPECT_GE(killed, 3);
}
