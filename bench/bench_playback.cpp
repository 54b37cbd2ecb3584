// The playback engine on PulseAudio's null sink (start one with scripts/pulse.sh): time from
// setURL to the first sound on the sink's monitor, the CPU the process takes while 10 s play
// (share of one core: the decoder thread, Qt's audio thread and the GUI thread together), and
// the memory that playing adds. Without a daemon (or with PULSE_SERVER=none) only the silent
// clock's figures are printed.
//
//   bench_playback [FILE.mp3]
//
// Without a file, a 60-second tone is made once with sox and lame in the temp folder.
#include <sys/resource.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QEventLoop>
#include <QTimer>

#include "playback/playbackengine.h"

namespace {

// Runs the event loop for `ms` (the engine's timers and the sink live on it).
void Wait(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

std::string MakeToneFile() {
    const auto path = std::filesystem::temp_directory_path() / "trimbel_bench_tone60.mp3";
    if (std::filesystem::exists(path) && std::filesystem::file_size(path) > 100000) return path.string();
    const std::string command = "sox -q -n -r 44100 -c 2 -b 16 -t wav - synth 60 sine 440 vol 0.5 2>/dev/null | "
                                "lame --quiet -b 192 - '" + path.string() + ".part' && mv '" + path.string() +
                                ".part' '" + path.string() + "'";
    if (std::system(command.c_str()) != 0) return {};
    return path.string();
}

long ResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    long value = 0;
    while (status >> key) {
        if (key == "VmRSS:") {
            status >> value;
            return value;
        }
        status.ignore(1 << 12, '\n');
    }
    return -1;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 + usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
}

bool SinkAvailable() {
    QProcess pactl;
    pactl.start("pactl", {"list", "short", "sinks"});
    return pactl.waitForFinished(5000) && pactl.exitCode() == 0 && pactl.readAllStandardOutput().contains("test_null");
}

// Reads the monitor and says whether loud samples arrived since the last call.
class Monitor {
public:
    bool Start() {
        parec_.start("parec", {"-d", "test_null.monitor", "--format=s16le", "--rate=44100", "--channels=2",
                               "--latency-msec=5"});
        return parec_.waitForStarted(5000);
    }
    ~Monitor() {
        parec_.kill();
        parec_.waitForFinished(2000);
    }
    bool LoudSinceLastLook() {
        const QByteArray bytes = parec_.readAllStandardOutput();
        const auto* samples = reinterpret_cast<const int16_t*>(bytes.constData());
        bool loud = false;
        for (qsizetype i = 0; i < bytes.size() / 2; ++i) loud = loud || std::abs(samples[i]) > 3000;
        return loud;
    }

private:
    QProcess parec_;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

void TimeToFirstSound(PlaybackEngine& engine, const QString& path) {
    Monitor monitor;
    if (!monitor.Start()) return;
    Wait(500);
    std::vector<double> ms;
    // Round 0 only wakes the null sink, which sits on the first new stream for about a second.
    for (int round = -1; round < 10; ++round) {
        engine.stop();
        Wait(300);
        monitor.LoudSinceLastLook();
        QElapsedTimer timer;
        timer.start();
        engine.setURL(path);
        while (!monitor.LoudSinceLastLook() && timer.elapsed() < 5000) Wait(1);
        if (round >= 0) ms.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::printf("open to first sound on the monitor: median %.1f ms, worst %.1f ms (10 opens; the "
                "monitor's own latency of about 5 ms included)\n",
                Median(ms), *std::max_element(ms.begin(), ms.end()));
}

void CpuAndMemory(const QString& path, bool device, long before) {
    {
        PlaybackEngine engine;
        engine.setURL(path);
        // Past the null sink's slow start on a new stream.
        Wait(1500);
        const double cpu0 = CpuSeconds();
        QElapsedTimer timer;
        timer.start();
        Wait(10000);
        const double cpu = CpuSeconds() - cpu0;
        const double wall = timer.nsecsElapsed() / 1e9;
        const long during = ResidentKiB();
        std::printf("%s: CPU while playing %.2f%% of one core (%.3f s over %.1f s); memory added %ld KiB "
                    "(resident %ld -> %ld KiB, libraries included); position after 11.5 s %.2f s\n",
                    device ? "null sink" : "no device (silent clock)", 100.0 * cpu / wall, cpu, wall,
                    during - before, before, during, engine.currentPosition());
    }
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string file = argc > 1 ? argv[1] : MakeToneFile();
    if (file.empty()) {
        std::fprintf(stderr, "no file: give one, or install sox and lame\n");
        return 1;
    }
    const QString path = QString::fromStdString(file);
    const long before = ResidentKiB();
    const bool device = SinkAvailable();
    if (!device) std::printf("no PulseAudio daemon with the sink test_null: silent clock only\n");
    CpuAndMemory(path, device, before);
    if (device) {
        PlaybackEngine engine;
        TimeToFirstSound(engine, path);
    }
    return 0;
}
