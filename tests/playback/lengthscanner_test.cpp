// The background length measurement on generated files of silent frames (417 bytes and 1152
// samples at 44100 Hz each). Waits poll with a deadline.
#include "playback/lengthscanner.h"

#include <gtest/gtest.h>
#include <QSignalSpy>
#include <QTest>

#include "mpeg/framescan.h"
#include "playbacktestapp.h"
#include "support/testfiles.h"

namespace {

constexpr int kDeadlineMs = 20000;
// About 60 MB: long enough to be measured in many steps.
constexpr int kBigFrames = 144000;

double Seconds(int frames) { return frames * 1152 / 44100.0; }

class LengthScan : public ::testing::Test {
protected:
    LengthScan() { TestApp(); }
    QString Make(const std::string& name, int frames) {
        const std::string path = dir.file(name);
        testfiles::WriteFile(path, testfiles::SilentFrames(frames));
        return QString::fromStdString(path);
    }
    testfiles::TempDir dir;
};

TEST_F(LengthScan, ABigFileIsMeasuredInRisingStepsAfterTheCallReturns) {
    const QString big = Make("big.mp3", kBigFrames);
    LengthScanner scanner;
    QSignalSpy progress(&scanner, &LengthScanner::progressChanged);
    QSignalSpy finished(&scanner, &LengthScanner::finished);
    EXPECT_LT(scanner.Progress(), 0);
    scanner.Scan(big);
    // Nothing arrives before the event loop runs.
    EXPECT_TRUE(scanner.IsScanning());
    EXPECT_GE(scanner.Progress(), 0);
    EXPECT_EQ(finished.count(), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, kDeadlineMs));
    EXPECT_EQ(finished.count(), 1);
    EXPECT_NEAR(finished.at(0).at(0).toDouble(), Seconds(kBigFrames), 1e-6);
    // The walk itself comes with it: the player's seek index.
    ASSERT_TRUE(scanner.Table());
    ASSERT_EQ(scanner.Table()->frames.size(), static_cast<size_t>(kBigFrames));
    EXPECT_EQ(scanner.Table()->frames.back().offset, int64_t{417} * (kBigFrames - 1));
    EXPECT_FALSE(scanner.IsScanning());
    EXPECT_LT(scanner.Progress(), 0);

    ASSERT_GE(progress.count(), 10);
    double last = -1;
    for (const auto& call : progress) {
        const double fraction = call.at(0).toDouble();
        EXPECT_GT(fraction, last);
        last = fraction;
    }
    EXPECT_DOUBLE_EQ(last, 1.0);
}

TEST_F(LengthScan, ABriefWaitDeliversASmallFileOnceAndABigOneLater) {
    const QString small = Make("small.mp3", 200);
    LengthScanner scanner;
    QSignalSpy finished(&scanner, &LengthScanner::finished);
    scanner.Scan(small);
    ASSERT_TRUE(scanner.WaitBriefly(kDeadlineMs));
    ASSERT_EQ(finished.count(), 1);
    EXPECT_NEAR(finished.at(0).at(0).toDouble(), Seconds(200), 1e-6);
    EXPECT_FALSE(scanner.IsScanning());
    // The worker's own queued delivery must not arrive a second time.
    QTest::qWait(50);
    EXPECT_EQ(finished.count(), 1);

    const QString big = Make("big.mp3", kBigFrames);
    scanner.Scan(big);
    EXPECT_FALSE(scanner.WaitBriefly(0));
    EXPECT_TRUE(scanner.IsScanning());
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 2; }, kDeadlineMs));
    EXPECT_NEAR(finished.at(1).at(0).toDouble(), Seconds(kBigFrames), 1e-6);
}

TEST_F(LengthScan, ANewScanDropsTheOldOne) {
    const QString big = Make("big.mp3", kBigFrames);
    const QString small = Make("small.mp3", 200);
    LengthScanner scanner;
    QSignalSpy finished(&scanner, &LengthScanner::finished);
    scanner.Scan(big);
    scanner.Scan(small);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, kDeadlineMs));
    // The old scan's thread was joined before the new one started, so anything it had posted is
    // already queued ahead of the new result: one result, the small file's.
    EXPECT_EQ(finished.count(), 1);
    EXPECT_NEAR(finished.at(0).at(0).toDouble(), Seconds(200), 1e-6);

    // Cancelled outright: nothing at all is delivered.
    QSignalSpy progress(&scanner, &LengthScanner::progressChanged);
    scanner.Scan(big);
    scanner.Cancel();
    EXPECT_FALSE(scanner.IsScanning());
    scanner.Scan(small);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 1; }, kDeadlineMs));
    EXPECT_EQ(finished.count(), 2);
    EXPECT_NEAR(finished.at(1).at(0).toDouble(), Seconds(200), 1e-6);
    // A 200-frame file is below the first megabyte: its only report is the end.
    ASSERT_EQ(progress.count(), 1);
    EXPECT_DOUBLE_EQ(progress.at(0).at(0).toDouble(), 1.0);
}

TEST_F(LengthScan, AFileWithoutFramesOrMissingGivesZero) {
    const std::string text = dir.file("text.mp3");
    testfiles::WriteFile(text, testfiles::Bytes(5000, 'x'));
    LengthScanner scanner;
    QSignalSpy finished(&scanner, &LengthScanner::finished);
    scanner.Scan(QString::fromStdString(text));
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, kDeadlineMs));
    EXPECT_EQ(finished.at(0).at(0).toDouble(), 0.0);
    scanner.Scan(QString::fromStdString(dir.file("missing.mp3")));
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 1; }, kDeadlineMs));
    EXPECT_EQ(finished.at(1).at(0).toDouble(), 0.0);
    EXPECT_FALSE(scanner.IsScanning());
}

}  // namespace
