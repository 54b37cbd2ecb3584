// The one background worker behind the frame walks, the waveform and the window's long jobs: what
// is handed over, what is dropped, and how progress arrives. Waits poll with a deadline.
#include "jobs/backgroundworker.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <gtest/gtest.h>

#include <atomic>
#include <vector>

namespace {

constexpr int kDeadlineMs = 20000;

void TestApp() {
    static int argc = 1;
    static char name[] = "test_jobs";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
}

// Reports 0, 0.001, 0.002 ... until told to stop or `steps` are done; hands over its last step.
BackgroundWorker::Job Counting(int steps, std::vector<int>* delivered) {
    return [steps, delivered](const BackgroundWorker::Progress& progress, const std::atomic<bool>&) {
        int step = 0;
        while (step < steps && progress(step / 1000.0)) {
            ++step;
            QThread::usleep(200);
        }
        return [delivered, step] { delivered->push_back(step); };
    };
}

TEST(BackgroundWorker, HandsOverOnceWithProgressOncePerPercentRisingBeforeIt) {
    TestApp();
    BackgroundWorker worker;
    std::vector<int> delivered;
    std::vector<double> shares;
    bool progressBeforeEnd = false;
    QObject::connect(&worker, &BackgroundWorker::progressChanged, [&](double share) { shares.push_back(share); });
    QObject::connect(&worker, &BackgroundWorker::finished, [&] { progressBeforeEnd = shares.size() == 10; });
    QSignalSpy finished(&worker, &BackgroundWorker::finished);
    worker.Start(Counting(100, &delivered));
    EXPECT_TRUE(worker.IsRunning());
    EXPECT_GE(worker.ShareDone(), 0.0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, kDeadlineMs));
    QTest::qWait(20);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(delivered, std::vector<int>{100});
    EXPECT_FALSE(worker.IsRunning());
    EXPECT_LT(worker.ShareDone(), 0.0);
    EXPECT_FALSE(worker.StopRequested());
    ASSERT_EQ(shares.size(), 10u);  // 0.000 .. 0.099: percents 0 to 9
    for (size_t i = 1; i < shares.size(); ++i) EXPECT_GT(shares[i], shares[i - 1]);
    EXPECT_TRUE(progressBeforeEnd);
}

TEST(BackgroundWorker, StopRequestedHandsOverCancelAndRestartDropTheOldJob) {
    TestApp();
    BackgroundWorker worker;
    std::vector<int> delivered;
    QSignalSpy finished(&worker, &BackgroundWorker::finished);

    // Asked to stop (a progress dialog's Cancel): the job ends early and its end still arrives.
    worker.Start(Counting(1000000, &delivered));
    ASSERT_TRUE(QTest::qWaitFor([&] { return worker.ShareDone() > 0.005; }, kDeadlineMs));
    worker.RequestStop();
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 1; }, kDeadlineMs));
    ASSERT_EQ(delivered.size(), 1u);
    EXPECT_LT(delivered[0], 1000000);
    EXPECT_TRUE(worker.StopRequested());

    // Cancelled, or replaced by another job: nothing of it arrives.
    worker.Start(Counting(1000000, &delivered));
    worker.Cancel();
    EXPECT_FALSE(worker.IsRunning());
    worker.Start(Counting(1000000, &delivered));
    worker.Start(Counting(3, &delivered));
    ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() == 2; }, kDeadlineMs));
    QTest::qWait(20);
    EXPECT_EQ(finished.count(), 2);
    EXPECT_EQ(delivered, (std::vector<int>{delivered[0], 3}));
}

TEST(BackgroundWorker, ABriefWaitHandsOverAtOnceAndNeverTwice) {
    TestApp();
    BackgroundWorker worker;
    std::vector<int> delivered;
    QSignalSpy finished(&worker, &BackgroundWorker::finished);
    QSignalSpy progress(&worker, &BackgroundWorker::progressChanged);
    worker.Start(Counting(5, &delivered));
    ASSERT_TRUE(worker.WaitBriefly(kDeadlineMs));
    EXPECT_EQ(delivered, std::vector<int>{5});
    EXPECT_EQ(finished.count(), 1);
    ASSERT_EQ(progress.count(), 1);
    EXPECT_DOUBLE_EQ(progress.at(0).at(0).toDouble(), 1.0);
    QTest::qWait(50);
    EXPECT_EQ(finished.count(), 1);
    EXPECT_EQ(progress.count(), 1);

    worker.Start(Counting(1000000, &delivered));
    EXPECT_FALSE(worker.WaitBriefly(0));
    EXPECT_TRUE(worker.IsRunning());
}

}  // namespace
