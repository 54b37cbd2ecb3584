// The Debian package as Debian expects it: lintian finds no errors or warnings, its AppStream
// listing validates, and the package holds both programs, the manual pages, the completion, the
// licence and a changelog whose latest entry is the program's version.
#include <filesystem>
#include <regex>

#include <gtest/gtest.h>

#include "support/testfiles.h"

namespace fs = std::filesystem;

namespace {

const fs::path kBuild = fs::path(TRIMBEL_SCREENSHOTS).parent_path();
const fs::path kPackaging = fs::path(TRIMBEL_TEST_DATA).parent_path().parent_path() / "packaging";

bool HaveTool(const std::string& name) {
    int status = -1;
    testfiles::CommandOutput("command -v " + name + " >/dev/null 2>&1", &status);
    return status == 0;
}

std::string Shell(const std::string& command, int* status) {
    return testfiles::CommandOutput(command + " 2>&1", status);
}

// The package's version, as CMake hands it to CPack: the project version.
std::string Version() {
    const testfiles::Bytes bytes = testfiles::ReadFile((kBuild / "CPackConfig.cmake").string());
    const std::string config(bytes.begin(), bytes.end());
    std::smatch match;
    if (!std::regex_search(config, match, std::regex("set\\(CPACK_PACKAGE_VERSION \"([^\"]+)\"\\)"))) return "?";
    return match[1];
}

TEST(Package, LintianIsCleanAndThePackageHoldsItsParts) {
    if (!fs::exists(kBuild / "CPackConfig.cmake")) GTEST_SKIP() << "no CPack configuration in " << kBuild;
    if (!HaveTool("cpack") || !HaveTool("lintian") || !HaveTool("dpkg-deb") || !HaveTool("appstreamcli"))
        GTEST_SKIP() << "cpack, lintian, dpkg-deb or appstreamcli missing";
    testfiles::TempDir out;
    int status = -1;
    const std::string built = Shell("cpack --config " + testfiles::ShellQuote((kBuild / "CPackConfig.cmake").string()) +
                                        " -B " + testfiles::ShellQuote(out.path().string()),
                                    &status);
    ASSERT_EQ(status, 0) << built;
    const std::string deb = out.file("trimbel_" + Version() + "_amd64.deb");
    ASSERT_TRUE(fs::exists(deb)) << built;

    const std::string lint = Shell("lintian --fail-on error,warning " + testfiles::ShellQuote(deb), &status);
    EXPECT_EQ(status, 0) << lint;
    EXPECT_EQ(lint.find("\nE: "), std::string::npos) << lint;
    EXPECT_EQ(lint.find("\nW: "), std::string::npos) << lint;

    const std::string contents = Shell("dpkg-deb -c " + testfiles::ShellQuote(deb), &status);
    for (const char* part : {"./usr/bin/trimbel\n", "./usr/bin/trimbel-window\n", "./usr/share/man/man1/trimbel.1.gz\n",
                             "./usr/share/man/man1/trimbel-window.1.gz\n",
                             "./usr/share/bash-completion/completions/trimbel\n", "./usr/share/doc/trimbel/copyright\n",
                             "./usr/share/doc/trimbel/changelog.gz\n", "./usr/share/applications/org.example.trimbel.desktop\n",
                             "./usr/share/metainfo/org.example.trimbel.metainfo.xml\n"})
        EXPECT_NE(contents.find(part), std::string::npos) << part << " missing from\n" << contents;

    // The packaged (stripped) command line runs from where the package puts it.
    const std::string root = out.file("root");
    ASSERT_EQ(Shell("dpkg-deb -x " + testfiles::ShellQuote(deb) + " " + testfiles::ShellQuote(root), &status), "");
    const std::string song = out.file("song.mp3");
    testfiles::WriteFile(song, testfiles::SilentFrames(20));
    const std::string info =
        Shell(testfiles::ShellQuote(root + "/usr/bin/trimbel") + " info --json " + testfiles::ShellQuote(song), &status);
    EXPECT_EQ(status, 0) << info;
    EXPECT_NE(info.find("\"loaded\": true"), std::string::npos) << info;

    // Software centres read the listing: it validates, names a menu entry and icon the package
    // holds (validate-tree), and its latest release is this version.
    const std::string metainfo = root + "/usr/share/metainfo/org.example.trimbel.metainfo.xml";
    const std::string valid = Shell("appstreamcli validate --no-net " + testfiles::ShellQuote(metainfo), &status);
    EXPECT_EQ(status, 0) << valid;
    const std::string tree = Shell("appstreamcli validate-tree --no-net " + testfiles::ShellQuote(root), &status);
    EXPECT_EQ(status, 0) << tree;
    const testfiles::Bytes listing = testfiles::ReadFile(metainfo);
    EXPECT_NE(std::string(listing.begin(), listing.end()).find("<release version=\"" + Version() + "\""),
              std::string::npos);

    // The command line needs QtCore only: the package's dependencies say what the windows need.
    const std::string deps = Shell("dpkg-deb -f " + testfiles::ShellQuote(deb) + " Depends", &status);
    EXPECT_NE(deps.find("libqt6core6"), std::string::npos) << deps;
    EXPECT_NE(deps.find("libqt6widgets6"), std::string::npos) << deps;
}

TEST(Package, ChangelogStartsWithThisVersion) {
    if (!fs::exists(kBuild / "CPackConfig.cmake")) GTEST_SKIP() << "no CPack configuration in " << kBuild;
    const testfiles::Bytes bytes = testfiles::ReadFile((kPackaging / "changelog").string());
    const std::string changelog(bytes.begin(), bytes.end());
    EXPECT_EQ(changelog.rfind("trimbel (" + Version() + ") ", 0), 0u) << changelog.substr(0, 80);
}

TEST(Package, ManualPageDescribesEverySubcommand) {
    const fs::path page = kBuild / "packaging" / "trimbel.1.gz";
    if (!fs::exists(page)) GTEST_SKIP() << "no manual page built (help2man missing)";
    int status = -1;
    const std::string roff = Shell("zcat " + testfiles::ShellQuote(page.string()), &status);
    ASSERT_EQ(status, 0);
    const std::string help = Shell(testfiles::ShellQuote(TRIMBEL_BINARY) + " --help", &status);
    std::smatch match;
    ASSERT_TRUE(std::regex_search(help, match, std::regex("Subcommands:\n((  \\S+ .*\n)+)")));
    const std::string list = "\n" + match[1].str();
    const std::regex name("\n  (\\S+) ");
    int count = 0;
    for (auto it = std::sregex_iterator(list.begin(), list.end(), name); it != std::sregex_iterator(); ++it, ++count)
        EXPECT_NE(roff.find(".SS \"trimbel " + (*it)[1].str() + " "), std::string::npos) << (*it)[1];
    EXPECT_GE(count, 3);
    EXPECT_NE(roff.find("\\fB\\-\\-frames\\fR"), std::string::npos);  // a subcommand's option
    EXPECT_NE(roff.find("trimbel \\- "), std::string::npos);            // the NAME line whatis reads
}

}  // namespace
