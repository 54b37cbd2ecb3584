// `trimbel FILE` opens the window on the file; subcommands and options keep their meaning.
#include <gtest/gtest.h>
#include <QDir>

#include "cli/cli.h"
#include "support/testfiles.h"

namespace {

TEST(FileArgument, OnlyOneExistingFileThatIsNoSubcommandOpensTheWindow) {
    testfiles::TempDir dir;
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.path().string())));
    // Files named like a subcommand or an option in the current folder.
    for (const char* name : {"My Song.mp3", "info", "--help"})
        testfiles::WriteFile(dir.file(name), testfiles::SilentFrames(3));
    const std::pair<std::vector<std::string>, bool> cases[] = {
        {{dir.file("My Song.mp3")}, true},
        {{"My Song.mp3"}, true},
        {{}, false},
        {{dir.file("missing.mp3")}, false},
        {{dir.path().string()}, false},  // a folder
        {{dir.file("My Song.mp3"), "--start"}, false},
        {{""}, false},
        {{"info"}, false},
        {{"--help"}, false},
    };
    for (auto [args, opens] : cases) {
        args.insert(args.begin(), "trimbel");
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        EXPECT_EQ(IsFileToOpen(static_cast<int>(args.size()), argv.data()), opens) << args.back();
    }
    QDir::setCurrent(previous);
}

}  // namespace
