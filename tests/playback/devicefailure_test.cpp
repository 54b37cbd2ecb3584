// A sound server that goes away while the engine plays: the failure is reported, the engine
// stands paused at the sample heard last, and the next play tries again (here it plays on
// silently, since the server is gone) instead of hanging. The test starts a PulseAudio daemon
// of its own and runs the scenario in a child process that knows only that daemon, so killing
// it touches nothing else.
#include <signal.h>

#include <cstdlib>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include "playback/playbackengine.h"
#include "playback/pulsewriteguard.h"
#include "playbacktestapp.h"
#include "support/testfiles.h"

namespace {

constexpr char kChildFlag[] = "TRIMBEL_DEVICE_FAILURE_PID";

void RunScenario(pid_t daemon) {
    // Without the guard a write into the dead stream can leave Qt holding PulseAudio's lock.
    ASSERT_TRUE(PulseWriteGuardActive());
    testfiles::TempDir dir;
    const std::string path = dir.file("silence.mp3");
    testfiles::WriteFile(path, testfiles::SilentFrames(800));
    PlaybackEngine engine;
    int failures = 0;
    QObject::connect(&engine, &PlaybackEngine::deviceFailed, [&](const QString&) { ++failures; });
    engine.setURL(QString::fromStdString(path));
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.currentPosition() > 0.3; }, 10000));
    ASSERT_FALSE(engine.PlaysSilently());

    ASSERT_EQ(kill(daemon, SIGKILL), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return failures > 0; }, 10000)) << "the failure was never reported";
    EXPECT_FALSE(engine.LastError().isEmpty());
    EXPECT_EQ(engine.playState(), MediaPlayer::kPaused);
    const double held = engine.currentPosition();
    EXPECT_GT(held, 0.25);
    QTest::qWait(300);
    EXPECT_EQ(engine.currentPosition(), held);

    engine.play();
    EXPECT_EQ(engine.playState(), MediaPlayer::kPlaying);
    ASSERT_TRUE(QTest::qWaitFor([&] { return engine.currentPosition() > held + 0.5; }, 5000))
        << "the retry hangs at " << engine.currentPosition();
    EXPECT_TRUE(engine.PlaysSilently());
    engine.pause();
    EXPECT_EQ(engine.playState(), MediaPlayer::kPaused);
    engine.stop();
    EXPECT_EQ(engine.currentPosition(), 0);
}

bool WaitForDaemon(const QProcessEnvironment& environment) {
    return QTest::qWaitFor(
        [&] {
            QProcess pactl;
            pactl.setProcessEnvironment(environment);
            pactl.start("pactl", {"info"});
            return pactl.waitForFinished(2000) && pactl.exitCode() == 0;
        },
        10000);
}

TEST(DeviceFailure, IsReportedAndThePlayAfterItDoesNotHang) {
    TestApp();
    if (const char* pid = std::getenv(kChildFlag)) {
        RunScenario(static_cast<pid_t>(std::atol(pid)));
        return;
    }
    if (QStandardPaths::findExecutable("pulseaudio").isEmpty() || QStandardPaths::findExecutable("pactl").isEmpty())
        GTEST_SKIP() << "needs pulseaudio and pactl";
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    QFile::setPermissions(runtime.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    environment.remove("PULSE_SERVER");
    QProcess daemon;
    daemon.setProcessEnvironment(environment);
    daemon.start("pulseaudio", {"--daemonize=no", "--exit-idle-time=-1", "-n", "--system=no",
                                "--load=module-native-protocol-unix", "--load=module-null-sink sink_name=test_null"});
    ASSERT_TRUE(daemon.waitForStarted(5000));
    if (!WaitForDaemon(environment)) {
        daemon.kill();
        daemon.waitForFinished(3000);
        GTEST_SKIP() << "a private PulseAudio daemon did not start";
    }
    environment.insert(kChildFlag, QString::number(daemon.processId()));
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_filter=DeviceFailure.IsReportedAndThePlayAfterItDoesNotHang"});
    const bool finished = child.waitForFinished(60000);
    const QByteArray output = child.readAll();
    if (!finished) child.kill();
    daemon.kill();
    daemon.waitForFinished(3000);
    ASSERT_TRUE(finished) << "the scenario hung; its output:\n" << output.toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
}

}  // namespace
