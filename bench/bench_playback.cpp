// The playback engine on PulseAudio's null sink (start one with scripts/pulse.sh): time from
// setURL to the first sound on the sink's monitor, the CPU the process takes while 10 s play
// (share of one core: the decoder thread, Qt's audio thread and the GUI thread together), and
// the memory that playing adds. Without a daemon (or with PULSE_SERVER=none) only the silent
// clock's figures are printed.
//
// Seek-to-sound: on 45- and 100-minute files opened as the window opens them (the waveform read
// beside the player), the time from a seek call until the monitor carries the sound of the
// target, median and worst, and whether it was the target's tone; then the first seek 0.3 s
// after opening a file whose pages were dropped from the cache. Run it under load to see what a
// busy machine does to it: bench/seek_load.sh runs a command beside busy loops and a file copy.
//
//   bench_playback [FILE.mp3]     everything
//   bench_playback --seek         seek-to-sound only
//
// Without a file, a 60-second tone is made once with sox and lame in the temp folder; the long
// files are a minute of tones repeated (made once).
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QEventLoop>
#include <QTimer>

#include "cutting/waveform.h"
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
    // Waits up to `ms` for loud sound; returns the milliseconds it took (-1: none) and, in `hz`,
    // the tone of the first 40 ms of it.
    double MsToLoud(const QElapsedTimer& since, int ms, double* hz) {
        std::vector<int16_t> left;
        int64_t onset = -1;
        while (since.elapsed() < ms) {
            pending_ += parec_.readAllStandardOutput();
            const qsizetype frames = pending_.size() / 4;
            const auto* samples = reinterpret_cast<const int16_t*>(pending_.constData());
            for (qsizetype i = 0; i < frames; ++i) {
                left.push_back(samples[2 * i]);
                if (onset < 0 && std::abs(samples[2 * i]) > 3000) onset = static_cast<int64_t>(left.size()) - 1;
            }
            pending_.remove(0, frames * 4);
            if (onset >= 0 && !first_) first_ = since.nsecsElapsed() / 1e6;
            if (onset >= 0 && static_cast<int64_t>(left.size()) >= onset + 1764) break;
            Wait(1);
        }
        const double took = first_ ? *first_ : -1;
        first_.reset();
        *hz = 0;
        if (onset < 0) return -1;
        // Zero crossings over the first 40 ms.
        int crossings = 0;
        const int64_t end = std::min<int64_t>(static_cast<int64_t>(left.size()), onset + 1764);
        for (int64_t i = onset + 1; i < end; ++i) crossings += (left[i - 1] < 0) != (left[i] < 0);
        *hz = crossings / 2.0 / ((end - onset) / 44100.0);
        return took;
    }
    void Drop() {
        parec_.readAllStandardOutput();
        pending_.clear();
    }

private:
    QProcess parec_;
    QByteArray pending_;
    std::optional<double> first_;
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

// A minute of six 10-second blocks, each 2 s of silence and 8 s of its own tone (300, 400 ...
// 800 Hz), encoded without a LAME tag so that copies of it can be joined frame to frame.
std::string MakeRepeatedFile(int minutes) {
    const auto dir = std::filesystem::temp_directory_path();
    const auto minute = dir / "trimbel_bench_blocks.mp3";
    if (!std::filesystem::exists(minute)) {
        std::string parts;
        std::string command;
        for (int b = 0; b < 6; ++b) {
            const std::string quiet = (dir / ("trimbel_bench_q" + std::to_string(b) + ".wav")).string();
            const std::string tone = (dir / ("trimbel_bench_t" + std::to_string(b) + ".wav")).string();
            command += "sox -q -n -r 44100 -c 2 -b 16 '" + quiet + "' synth 2 sine 0 vol 0 && ";
            command += "sox -q -n -r 44100 -c 2 -b 16 '" + tone + "' synth 8 sine " + std::to_string(300 + 100 * b) +
                       " vol 0.5 && ";
            parts += " '" + quiet + "' '" + tone + "'";
        }
        const std::string wav = (dir / "trimbel_bench_blocks.wav").string();
        command += "sox" + parts + " '" + wav + "' && lame --quiet -t -b 128 -q 9 '" + wav + "' '" +
                   minute.string() + ".part' && mv '" + minute.string() + ".part' '" + minute.string() + "'";
        command += "; rm -f '" + wav + "'" + parts;
        if (std::system(command.c_str()) != 0 || !std::filesystem::exists(minute)) return {};
    }
    const auto path = dir / ("trimbel_bench_" + std::to_string(minutes) + "min.mp3");
    if (std::filesystem::exists(path)) return path.string();
    std::string command = "cat";
    for (int i = 0; i < minutes; ++i) command += " '" + minute.string() + "'";
    command += " > '" + path.string() + ".part' && mv '" + path.string() + ".part' '" + path.string() + "'";
    if (std::system(command.c_str()) != 0) return {};
    return path.string();
}

// Length of one minute of the repeated file: whole frames of 1,152 samples, no tag.
double MinuteSeconds() {
    const auto minute = std::filesystem::temp_directory_path() / "trimbel_bench_blocks.mp3";
    const double frames = std::round(std::filesystem::file_size(minute) / (144.0 * 128000 / 44100));
    return frames * 1152 / 44100;
}

void DropFromCache(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

struct SeekFigures {
    std::vector<double> ms;
    int wrongTone = 0;
    int silent = 0;
    int positionOff = 0;
};

// Seeks into the silent start of a block, then into the tone of another one while that silence
// plays, and times the tone. The position read at once after the seek must be the target.
void MeasureSeek(PlaybackEngine& engine, Monitor& monitor, double target, int block, SeekFigures& figures) {
    const int64_t wanted = std::llround(target * 44100);
    QElapsedTimer timer;
    timer.start();
    engine.setPositionSamples(wanted);
    if (engine.positionSamples() != wanted) ++figures.positionOff;
    double hz = 0;
    const double ms = monitor.MsToLoud(timer, 3000, &hz);
    if (ms < 0) {
        ++figures.silent;
        figures.ms.push_back(3000);
        return;
    }
    figures.ms.push_back(ms);
    if (std::abs(hz - (300 + 100 * block)) > 30) {
        ++figures.wrongTone;
        std::printf("  seek to %.2f s: heard %.0f Hz, block %d has %d Hz\n", target, hz, block, 300 + 100 * block);
    }
}

void PrintSeek(const char* what, const SeekFigures& f) {
    if (f.ms.empty()) return;
    std::printf("%s: seek-to-sound median %.0f ms, worst %.0f ms over %zu seeks; wrong tone %d, no sound "
                "%d, position not the target right after the seek %d\n",
                what, Median(f.ms), *std::max_element(f.ms.begin(), f.ms.end()), f.ms.size(), f.wrongTone,
                f.silent, f.positionOff);
    std::fflush(stdout);
}

void SeekToSound(int minutes, int seeks) {
    const std::string file = MakeRepeatedFile(minutes);
    if (file.empty()) {
        std::printf("could not make the %d-minute file\n", minutes);
        return;
    }
    const QString path = QString::fromStdString(file);
    const double minute = MinuteSeconds();
    Monitor monitor;
    if (!monitor.Start()) return;
    std::mt19937 random(1207);
    auto pick = [&](int* block) {
        const int m = static_cast<int>(random() % minutes);
        *block = static_cast<int>(random() % 6);
        return m * minute + *block * 10.0;
    };

    // A file opened as the window opens it: the waveform is read at the same time.
    SeekFigures warm;
    {
        PlaybackEngine engine;
        WaveformBuilder waveform;
        engine.setURL(path);
        waveform.Open(path);
        Wait(1500);  // past the null sink's slow first stream
        for (int i = 0; i < seeks; ++i) {
            int quietBlock = 0, block = 0;
            engine.setCurrentPosition(pick(&quietBlock) + 0.2);
            Wait(400);
            monitor.Drop();
            const double target = pick(&block) + 5.0;
            MeasureSeek(engine, monitor, target, block, warm);
        }
    }
    char what[96];
    std::snprintf(what, sizeof what, "%d-minute file, waveform being read", minutes);
    PrintSeek(what, warm);

    // The first seek 0.3 s after opening a file that is not in the page cache.
    SeekFigures cold;
    for (int i = 0; i < 5; ++i) {
        DropFromCache(file);
        PlaybackEngine engine;
        WaveformBuilder waveform;
        engine.setURL(path);
        waveform.Open(path);
        Wait(300);
        monitor.Drop();
        int block = 0;
        const double target = pick(&block) + 5.0;
        MeasureSeek(engine, monitor, target, block, cold);
    }
    std::snprintf(what, sizeof what, "%d-minute file, first seek 0.3 s after opening it uncached", minutes);
    PrintSeek(what, cold);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const bool seekOnly = argc > 1 && std::string(argv[1]) == "--seek";
    if (seekOnly) {
        if (!SinkAvailable()) {
            std::fprintf(stderr, "seek-to-sound needs PulseAudio with the sink test_null (scripts/pulse.sh)\n");
            return 1;
        }
        SeekToSound(45, 20);
        SeekToSound(100, 20);
        return 0;
    }
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
        SeekToSound(45, 20);
        SeekToSound(100, 20);
    }
    return 0;
}
