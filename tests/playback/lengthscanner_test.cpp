// The background length measurement on generated files of silent frames (417 bytes and 1152
// samples at 44100 Hz each): the walk's length, frame table and progress come through the scanner;
// how its worker hands over, waits and drops a replaced job is the worker's own test. Waits poll
// with a deadline.
#include "playback/lengthscanner.h"

#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTest>

#include "mpeg/framescan.h"
#include "playbacktestapp.h"
#include "support/testfiles.h"

namespace {

constexpr int kDeadlineMs = 20000;

TEST(LengthScan, DeliversTheWalksLengthTableAndRisingProgressAndZeroForNoFrames) {
    TestApp();
    testfiles::TempDir dir;
    const int frames = 144000;  // about 60 MB: long enough to be measured in many steps
    const std::string big = dir.file("big.mp3"), text = dir.file("text.mp3");
    testfiles::WriteFile(big, testfiles::SilentFrames(frames));
    testfiles::WriteFile(text, testfiles::Bytes(5000, 'x'));
    LengthScanner scanner;
    QSignalSpy progress(&scanner, &LengthScanner::progressChanged);
    QSignalSpy finished(&scanner, &LengthScanner::finished);
    EXPECT_LT(scanner.Progress(), 0);
    scanner.Scan(QString::fromStdString(big));
    EXPECT_TRUE(scanner.IsScanning()) << "the call returns before the walk ends";
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, kDeadlineMs));
    EXPECT_NEAR(finished.at(0).at(0).toDouble(), frames * 1152 / 44100.0, 1e-6);
    ASSERT_TRUE(scanner.Table());
    ASSERT_EQ(scanner.Table()->frames.size(), static_cast<size_t>(frames));
    EXPECT_EQ(scanner.Table()->frames.back().offset, int64_t{417} * (frames - 1));
    ASSERT_GE(progress.count(), 10);
    double last = -1;
    for (const auto& call : progress) {
        EXPECT_GT(call.at(0).toDouble(), last);
        last = call.at(0).toDouble();
    }
    EXPECT_DOUBLE_EQ(last, 1.0);

    for (const std::string& path : {text, dir.file("missing.mp3")}) {
        scanner.Scan(QString::fromStdString(path));
        EXPECT_FALSE(scanner.Table()) << "a new scan forgets the last one's table";
        ASSERT_TRUE(scanner.WaitBriefly(kDeadlineMs)) << path;
        EXPECT_EQ(finished.last().at(0).toDouble(), 0.0) << path;
        EXPECT_FALSE(scanner.Table()) << path;
    }
    EXPECT_EQ(finished.count(), 3);
}

}  // namespace
