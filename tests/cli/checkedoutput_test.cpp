// Output that cannot be written (full disk, a reader that went away) makes the command fail
// with a message, instead of exiting 0 or dying of SIGPIPE.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "support/testfiles.h"

extern char** environ;

namespace {

struct Outcome {
    bool exited = false;  // false: killed by a signal (or not started)
    int code = -1;
    std::string err;
};

// Runs the program with stdout on `stdoutFd` and stderr into a file.
Outcome RunWithStdout(const std::vector<std::string>& args, int stdoutFd, const std::string& errFile) {
    std::vector<char*> argv;
    std::string binary = TRIMBEL_BINARY;
    argv.push_back(binary.data());
    std::vector<std::string> copy = args;
    for (auto& a : copy) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, stdoutFd, 1);
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    Outcome outcome;
    const int spawned = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return outcome;
    int status = 0;
    if (waitpid(pid, &status, 0) != pid) return outcome;
    outcome.exited = WIFEXITED(status);
    outcome.code = outcome.exited ? WEXITSTATUS(status) : -1;
    const testfiles::Bytes err = testfiles::ReadFile(errFile);
    outcome.err.assign(err.begin(), err.end());
    return outcome;
}

TEST(CheckedOutput, AFullDiskOrAReaderThatWentAwayIsAFailureWithAMessage) {
    testfiles::TempDir dir;
    const std::string song = dir.file("song.mp3");
    testfiles::WriteFile(song, testfiles::Concat({testfiles::SilentFrames(20),
                                                  testfiles::Id3v1Tag("Title", "Artist", "", "1999", "", 17)}));
    const int full = ::open("/dev/full", O_WRONLY | O_CLOEXEC);
    int pipeEnds[2];
    ASSERT_EQ(::pipe2(pipeEnds, O_CLOEXEC), 0);
    ::close(pipeEnds[0]);  // nobody will read: every write gets EPIPE (or SIGPIPE)
    const struct {
        int fd;
        std::vector<std::string> args;
        std::string says;
    } cases[] = {
        {full, {"info", song}, "cannot write the output: No space left on device"},
        {full, {"info", song, "--json"}, "cannot write the output: No space left on device"},
        {full, {"--help"}, "cannot write the output: No space left on device"},
        {full, {"--version"}, "cannot write the output: No space left on device"},
        {full, {"info", "--help"}, "cannot write the output: No space left on device"},
        {pipeEnds[1], {"info", song, "--json"}, "cannot write the output"},
        {pipeEnds[1], {"--help"}, "cannot write the output"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.back() + (c.fd == full ? " into /dev/full" : " into a closed pipe"));
        if (c.fd < 0) continue;  // no /dev/full here
        const Outcome run = RunWithStdout(c.args, c.fd, dir.file("err"));
        EXPECT_TRUE(run.exited) << "killed by a signal";
        EXPECT_EQ(run.code, 1);
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
    }
    ::close(full);
    ::close(pipeEnds[1]);
    // With somewhere to write the same command succeeds: the failures above are the output's.
    int status = -1;
    testfiles::CommandOutput(testfiles::ShellQuote(TRIMBEL_BINARY) + " info " + testfiles::ShellQuote(song), &status);
    EXPECT_EQ(status, 0);
}

}  // namespace
