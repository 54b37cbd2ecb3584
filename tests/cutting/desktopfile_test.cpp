// The desktop integration files: the menu entry validates, the icon is a well-formed SVG, and
// `cmake --install` puts the program, the entry and the icon where desktops look for them.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QFile>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include "support/testfiles.h"

namespace {

namespace fs = std::filesystem;

// Lexical, so it works whether or not tests/data exists in this checkout.
const fs::path kPackaging = fs::path(TRIMBEL_TEST_DATA).parent_path().parent_path() / "packaging";

bool HaveTool(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

// Output and exit status of a shell command.
int RunShell(const std::string& command, std::string* output) {
    int status = -1;
    *output = testfiles::CommandOutput(command + " 2>&1", &status);
    return status;
}

}  // namespace

TEST(DesktopFile, ValidatesWithDesktopFileValidate) {
    if (!HaveTool("desktop-file-validate")) GTEST_SKIP() << "desktop-file-utils is not installed";
    std::string output;
    const int status =
        RunShell("desktop-file-validate '" + (kPackaging / "org.example.trimbel.desktop").string() + "'", &output);
    EXPECT_EQ(status, 0) << output;
    // It reports hints and warnings without failing; the entry should give none.
    EXPECT_EQ(output, "");
}

TEST(DesktopFile, IconIsWellFormedSvg) {
    QFile file(QString::fromStdString((kPackaging / "trimbel.svg").string()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QXmlStreamReader xml(&file);
    ASSERT_TRUE(xml.readNextStartElement());
    EXPECT_EQ(xml.name(), QLatin1String("svg"));
    EXPECT_EQ(xml.namespaceUri(), QLatin1String("http://www.w3.org/2000/svg"));
    EXPECT_FALSE(xml.attributes().value("viewBox").isEmpty());
    while (!xml.atEnd()) xml.readNext();
    EXPECT_FALSE(xml.hasError()) << xml.errorString().toStdString() << " at line " << xml.lineNumber();
}

TEST(DesktopFile, InstallPutsBinaryEntryIconAndListing) {
    const fs::path binary = TRIMBEL_BINARY;
    if (binary.empty() || !fs::exists(binary)) GTEST_SKIP() << "the trimbel program is not built";
    if (!HaveTool("cmake")) GTEST_SKIP() << "cmake is not on the PATH";
    const fs::path buildDir = fs::path(TRIMBEL_SCREENSHOTS).parent_path();
    testfiles::TempDir prefix;
    std::string output;
    ASSERT_EQ(RunShell("cmake --install '" + buildDir.string() + "' --prefix '" + prefix.path().string() + "'", &output), 0)
        << output;
    EXPECT_TRUE(fs::exists(prefix.path() / "bin" / "trimbel")) << output;
    const fs::path entry = prefix.path() / "share" / "applications" / "org.example.trimbel.desktop";
    const fs::path icon = prefix.path() / "share" / "icons" / "hicolor" / "scalable" / "apps" / "trimbel.svg";
    ASSERT_TRUE(fs::exists(entry)) << output;
    ASSERT_TRUE(fs::exists(icon)) << output;
    EXPECT_EQ(testfiles::ReadFile(entry.string()),
              testfiles::ReadFile((kPackaging / "org.example.trimbel.desktop").string()));
    EXPECT_EQ(testfiles::ReadFile(icon.string()), testfiles::ReadFile((kPackaging / "trimbel.svg").string()));
    // The software-centre listing goes with the entry, under the entry's id.
    const fs::path listing = prefix.path() / "share" / "metainfo" / "org.example.trimbel.metainfo.xml";
    EXPECT_EQ(testfiles::ReadFile(listing.string()),
              testfiles::ReadFile((kPackaging / "org.example.trimbel.metainfo.xml").string()));
}
