// The command line's progress line: drawn on a terminal, silent on files and pipes.
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "cli/progressline.h"

namespace {

// A pseudo-terminal: writes to `terminal` can be read back from the master side.
class PseudoTerminal {
public:
    PseudoTerminal() {
        master_ = posix_openpt(O_RDWR | O_NOCTTY);
        if (master_ < 0 || grantpt(master_) != 0 || unlockpt(master_) != 0) return;
        const int slave = open(ptsname(master_), O_RDWR | O_NOCTTY);
        if (slave >= 0) terminal = fdopen(slave, "w");
    }
    ~PseudoTerminal() {
        if (terminal) fclose(terminal);
        if (master_ >= 0) close(master_);
    }
    // Everything written so far (the terminal's output processing may turn "\n" into "\r\n").
    std::string Output() {
        std::string text;
        fcntl(master_, F_SETFL, O_NONBLOCK);
        char buffer[1024];
        ssize_t n;
        while ((n = read(master_, buffer, sizeof buffer)) > 0) text.append(buffer, static_cast<size_t>(n));
        return text;
    }
    FILE* terminal = nullptr;

private:
    int master_ = -1;
};

}  // namespace

TEST(ProgressLine, DrawsInPlaceOnATerminalAndClearsAtTheEnd) {
    PseudoTerminal pty;
    if (!pty.terminal) GTEST_SKIP() << "no pseudo-terminal available";
    {
        ProgressLine line("Scanning", pty.terminal);
        ASSERT_TRUE(line.Enabled());
        line.Update(0.0);
        line.Update(0.004);  // still 0 %: no redraw
        auto callback = line.Callback();
        callback(0.5);
        line.Update(1.7);  // clamped
        line.Finish();
    }
    const std::string out = pty.Output();
    const std::string bar0 = "\rScanning [                        ]   0%";
    const std::string bar50 = "\rScanning [############            ]  50%";
    const std::string bar100 = "\rScanning [########################] 100%";
    const std::string clear = "\r" + std::string(bar0.size() - 1, ' ') + "\r";
    EXPECT_EQ(out, bar0 + bar50 + bar100 + clear);
}

TEST(ProgressLine, SilentOnAFileOrAPipe) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    for (FILE* target : {std::tmpfile(), fdopen(fds[1], "w")}) {
        ASSERT_NE(target, nullptr);
        {
            ProgressLine line("Scanning", target);
            EXPECT_FALSE(line.Enabled());
            line.Update(0.3);
            line.Callback()(0.9);
        }
        EXPECT_LE(std::ftell(target), 0L);  // a file stays empty (a pipe has no position)
        std::fclose(target);
    }
    char c;
    EXPECT_EQ(read(fds[0], &c, 1), 0);  // end of file: nothing was written
    close(fds[0]);
}
