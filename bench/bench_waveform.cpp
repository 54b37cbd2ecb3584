// Waveform overview of a long MP3: time to the complete envelope beside `mpg123 -t` decoding the
// same file in the same run, and the worst lateness of a 10 ms timer on the GUI thread while the
// overview builds on its worker thread.
//
//   bench_waveform [FILE.mp3]
//
// Without a file, a 30-minute stereo file is made once with sox and lame in the temp folder.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include "cutting/waveform.h"

namespace {

using Clock = std::chrono::steady_clock;

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string MakeLongFile() {
    const auto path = std::filesystem::temp_directory_path() / "trimbel_bench_30min.mp3";
    if (std::filesystem::exists(path) && std::filesystem::file_size(path) > 1000000) return path.string();
    std::printf("making a 30-minute file with sox and lame (once)...\n");
    std::fflush(stdout);
    // A chord with a slow tremolo over quiet noise: busy enough that the encoder spends bits.
    const std::string command =
        "sox -q -n -r 44100 -c 2 -b 16 -t wav - synth 1800 sine 220 sine 330 sine 440 "
        "tremolo 0.5 60 remix 1,2 1,2 vol 0.25 2>/dev/null | lame --quiet -b 192 - '" +
        path.string() + ".part' && mv '" + path.string() + ".part' '" + path.string() + "'";
    if (std::system(command.c_str()) != 0) return {};
    return path.string();
}

double TimeMpg123(const std::string& path) {
    const std::string command = "mpg123 -q -t '" + path + "' >/dev/null 2>&1";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) return -1.0;
    return SecondsSince(start);
}

double TimeEnvelope(const std::string& path, WaveformEnvelope* envelope) {
    std::atomic<bool> cancel{false};
    const auto start = Clock::now();
    *envelope = DecodePeakEnvelope(path, cancel, {});
    return SecondsSince(start);
}

// Builds on the worker thread while a 10 ms timer ticks here; returns the worst lateness in ms.
double WorstTimerLateness(const std::string& path, double* buildSeconds) {
    WaveformBuilder builder;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setInterval(10);
    QElapsedTimer sinceTick;
    double worst = 0.0;
    QObject::connect(&timer, &QTimer::timeout, [&] {
        worst = std::max(worst, sinceTick.nsecsElapsed() / 1e6 - 10.0);
        sinceTick.restart();
    });
    const auto start = Clock::now();
    QObject::connect(&builder, &WaveformBuilder::finished, [&] {
        *buildSeconds = SecondsSince(start);
        QCoreApplication::quit();
    });
    sinceTick.start();
    timer.start();
    builder.Open(QString::fromStdString(path));
    QCoreApplication::exec();
    return worst;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const std::string path = argc > 1 ? argv[1] : MakeLongFile();
    if (path.empty() || !std::filesystem::exists(path)) {
        std::fprintf(stderr, "no input file (sox and lame are needed to make one)\n");
        return 1;
    }
    constexpr int kRounds = 3;
    double bestMpg123 = 1e9;
    double bestEnvelope = 1e9;
    WaveformEnvelope envelope;
    for (int round = 0; round < kRounds; ++round) {
        const double reference = TimeMpg123(path);
        if (reference < 0) {
            std::fprintf(stderr, "mpg123 failed or is missing\n");
            return 1;
        }
        bestMpg123 = std::min(bestMpg123, reference);
        bestEnvelope = std::min(bestEnvelope, TimeEnvelope(path, &envelope));
    }
    double threadedSeconds = 0.0;
    const double lateness = WorstTimerLateness(path, &threadedSeconds);

    std::printf("file: %s (%.1f min, %zu blocks)\n", path.c_str(), envelope.seconds / 60.0,
                envelope.blocks.size());
    std::printf("mpg123 -t:              %.3f s (best of %d)\n", bestMpg123, kRounds);
    std::printf("peak envelope:          %.3f s (best of %d)\n", bestEnvelope, kRounds);
    std::printf("ratio envelope/mpg123:  %.2f (aim: 1.5 or less)\n", bestEnvelope / bestMpg123);
    std::printf("on the worker thread:   %.3f s; worst 10 ms timer lateness %.1f ms (aim: under 50)\n",
                threadedSeconds, lateness);
    return 0;
}
