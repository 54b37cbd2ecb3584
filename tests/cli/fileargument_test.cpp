// `trimbel FILE` opens the window on the file; subcommands and options keep their meaning.
#include <gtest/gtest.h>
#include <QDir>
#include <QProcess>

#include "cli/cli.h"
#include "support/testfiles.h"

namespace {

bool Opens(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    return IsFileToOpen(static_cast<int>(args.size()), argv.data());
}

TEST(FileArgument, OnlyOneExistingFileThatIsNoSubcommandOpensTheWindow) {
    testfiles::TempDir dir;
    const std::string song = dir.file("My Song.mp3");
    testfiles::WriteFile(song, testfiles::SilentFrames(3));
    EXPECT_TRUE(Opens({"trimbel", song}));
    EXPECT_FALSE(Opens({"trimbel"}));
    EXPECT_FALSE(Opens({"trimbel", dir.file("missing.mp3")}));
    EXPECT_FALSE(Opens({"trimbel", dir.path().string()}));  // a folder
    EXPECT_FALSE(Opens({"trimbel", song, "--start"}));
    EXPECT_FALSE(Opens({"trimbel", ""}));

    // A file named like a subcommand in the current folder still runs the subcommand.
    const QString previous = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(QString::fromStdString(dir.path().string())));
    testfiles::WriteFile(dir.file("info"), testfiles::SilentFrames(3));
    testfiles::WriteFile(dir.file("--help"), testfiles::SilentFrames(3));
    EXPECT_FALSE(Opens({"trimbel", "info"}));
    EXPECT_FALSE(Opens({"trimbel", "--help"}));
    EXPECT_TRUE(Opens({"trimbel", "My Song.mp3"}));
    QDir::setCurrent(previous);
}

// A path that is not there is reported as such, not as an unknown subcommand.
TEST(FileArgument, AMissingFileOrAFolderIsReportedAsAPath) {
    testfiles::TempDir dir;
    struct Case {
        QString argument;
        QByteArray message;
    };
    const Case cases[] = {
        {QString::fromStdString(dir.file("missing.mp3")), "no such file"},
        {"missing.MP3", "no such file"},
        {QString::fromStdString(dir.path().string()), "not a file"},
    };
    for (const Case& c : cases) {
        QProcess process;
        process.start(TRIMBEL_BINARY, {c.argument});
        ASSERT_TRUE(process.waitForFinished(60000));
        const QByteArray err = process.readAllStandardError();
        EXPECT_EQ(process.exitCode(), 2);
        EXPECT_TRUE(err.contains("cannot open '" + c.argument.toUtf8() + "': " + c.message)) << err.constData();
        EXPECT_FALSE(err.contains("subcommand")) << err.constData();
    }

    // A bare word is still taken for a subcommand.
    QProcess process;
    process.start(TRIMBEL_BINARY, {"frob"});
    ASSERT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 2);
    EXPECT_TRUE(process.readAllStandardError().contains("unknown subcommand 'frob'"));
}

}  // namespace
