// Paint time of the waveform band on a two-hour file's envelope, at full zoom-out and at the
// closest zoom: a frame where only the play line moved (the envelope pictures are cached), and
// a frame right after the view changed (the pictures are redrawn: a resize at full zoom-out, a
// one-pixel scroll zoomed in). The blocks-only rows draw the same without the summary levels.
// The band should stay under 4 ms a frame.
//
//   bench_waveformpaint [--benchmark_filter=...]
#include <memory>

#include <QApplication>
#include <QImage>

#include <benchmark/benchmark.h>

#include "cutting/waveform.h"
#include "cutting/waveformview.h"

namespace {

constexpr double kTwoHours = 2 * 3600.0;
const QSize kBand(1000, 140);

// Music-like peaks: a slow swell with beats, 256-sample blocks at 44.1 kHz.
std::shared_ptr<WaveformEnvelope> TwoHourEnvelope(bool summaries) {
    static const std::shared_ptr<WaveformEnvelope> full = [] {
        auto envelope = std::make_shared<WaveformEnvelope>();
        const size_t blocks = static_cast<size_t>(kTwoHours * 44100 / 256);
        envelope->blocks.reserve(blocks);
        uint32_t noise = 12345;
        for (size_t i = 0; i < blocks; ++i) {
            const double t = i * envelope->secondsPerBlock;
            noise = noise * 1664525u + 1013904223u;
            const double beat = 0.4 + 0.6 * ((i % 86) < 20 ? 1.0 : 0.5);
            const float peak = static_cast<float>((0.3 + 0.2 * ((noise >> 8) & 0xff) / 255.0) * beat *
                                                  (0.7 + 0.3 * ((static_cast<long>(t) / 30) % 2)));
            envelope->blocks.push_back({-peak, peak});
        }
        envelope->seconds = blocks * envelope->secondsPerBlock;
        BuildSummaries(*envelope);
        return envelope;
    }();
    if (summaries) return full;
    auto bare = std::make_shared<WaveformEnvelope>(*full);
    bare->summaries.clear();
    return bare;
}

struct Band {
    explicit Band(bool summaries) : target(kBand, QImage::Format_ARGB32_Premultiplied) {
        view.resize(kBand);
        view.SetEnvelope(TwoHourEnvelope(summaries));
        view.SetMarks(1800.0, 1830.0);
        view.render(&target);
    }
    WaveformView view;
    QImage target;
};

void PlayLineMoves(benchmark::State& state, bool zoomedIn) {
    Band band(true);
    if (zoomedIn) band.view.SetView(1805.0, band.view.MinViewSeconds());
    double position = 1805.0;
    for (auto _ : state) {
        position += 0.01;
        band.view.SetPosition(position);
        band.view.render(&band.target);
    }
}

void ZoomedOutRedrawn(benchmark::State& state, bool summaries) {
    Band band(summaries);
    int inset = 0;
    for (auto _ : state) {
        // A changed plot width redraws both envelope pictures, as a resize does.
        band.view.SetInsets(0, inset++ % 2);
        band.view.render(&band.target);
    }
}

void ZoomedInScrolled(benchmark::State& state) {
    Band band(true);
    const double seconds = band.view.MinViewSeconds();
    double start = 1805.0;
    for (auto _ : state) {
        start += seconds / kBand.width();
        band.view.SetView(start, seconds);
        band.view.render(&band.target);
    }
}

BENCHMARK_CAPTURE(PlayLineMoves, zoomed_out, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(PlayLineMoves, closest_zoom, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ZoomedOutRedrawn, summaries, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(ZoomedOutRedrawn, blocks_only, false)->Unit(benchmark::kMillisecond);
BENCHMARK(ZoomedInScrolled)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
