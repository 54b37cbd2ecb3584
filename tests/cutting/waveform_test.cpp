// The waveform overview: peaks decoded from real encoded audio, re-binning, the worker's
// cancellation and delivery, unreadable files, and the band's painting and click mapping.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

#include <QImage>
#include <QMessageBox>
#include <QSignalSpy>
#include <QSlider>
#include <QStyleOptionSlider>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "cutting/waveform.h"
#include "cutting/waveformview.h"
#include "cutting/cuttingfakes.h"
#include "support/testfiles.h"

namespace {

WaveformEnvelope Decode(const std::string& path, bool* cancelled = nullptr) {
    std::atomic<bool> cancel{false};
    return DecodePeakEnvelope(path, cancel, {}, cancelled);
}

// Blocks of known peaks: block i has max = values[i], min = -values[i].
WaveformEnvelope EnvelopeOf(std::initializer_list<float> values, double secondsPerBlock = 1.0) {
    WaveformEnvelope envelope;
    envelope.secondsPerBlock = secondsPerBlock;
    for (float v : values) envelope.blocks.push_back({-v, v});
    envelope.seconds = envelope.blocks.size() * secondsPerBlock;
    return envelope;
}

// Files lame encodes (its LAME header lets the decoder drop the encoder delay) from seconds of a
// half-scale 440 Hz tone ("t") and of silence ("s") that sox makes, one pattern a channel.
class EncodedFiles : public ::testing::Test {
protected:
    std::string Make(const std::string& name, const std::string& left, const std::string& right) {
        const std::string t = dir_.file("t.wav"), s = dir_.file("s.wav");
        auto join = [&](const std::string& seconds, const std::string& wav) {
            std::string command = " && sox";
            for (char second : seconds) command += " " + (second == 't' ? t : s);
            return command + " " + wav;
        };
        const std::string l = dir_.file(name + "-l.wav"), r = dir_.file(name + "-r.wav");
        const std::string wav = dir_.file(name + ".wav"), mp3 = dir_.file(name + ".mp3");
        int status = -1;
        const std::string output = testfiles::CommandOutput(
            "sox -n -r 44100 -c 1 -b 16 " + t + " synth 1 sine 440 vol 0.5 && sox -n -r 44100 -c 1 -b 16 " + s +
                " trim 0 1" + join(left, l) + join(right, r) + " && sox -M " + l + " " + r + " " + wav +
                " && lame --quiet -b 128 " + wav + " " + mp3 + " 2>&1",
            &status);
        EXPECT_EQ(status, 0) << "sox and lame make the source: " << output;
        return mp3;
    }
    testfiles::TempDir dir_;
};

// 0.1 s columns over 3 s; checks the middle of each second, away from the transitions where the
// codec's pre-echo legitimately spreads a little energy.
void ExpectToneSilenceTone(const WaveformEnvelope& envelope) {
    const auto columns = RebinPeaks(envelope, 30, 3.0);
    for (int c : {2, 3, 4, 5, 6, 7, 22, 23, 24, 25, 26, 27}) {
        SCOPED_TRACE("tone column " + std::to_string(c));
        EXPECT_NEAR(columns[c].max, 0.5, 0.06);
        EXPECT_NEAR(columns[c].min, -0.5, 0.06);
    }
    for (int c = 12; c <= 17; ++c) {
        SCOPED_TRACE("silent column " + std::to_string(c));
        EXPECT_LT(std::abs(columns[c].max), 0.005);
        EXPECT_LT(std::abs(columns[c].min), 0.005);
    }
}

}  // namespace

// Tone, silence, tone; with the channels apart (left first, right last) both must show.
TEST_F(EncodedFiles, PeaksFollowToneSilenceToneInEitherChannel) {
    const std::string mp3s[] = {Make("pattern", "tst", "tst"), Make("split", "tss", "sst")};
    for (const std::string& mp3 : mp3s) {
        SCOPED_TRACE(mp3);
        const WaveformEnvelope envelope = Decode(mp3);
        ASSERT_FALSE(envelope.Empty());
        EXPECT_DOUBLE_EQ(envelope.secondsPerBlock, 256.0 / 44100.0);
        EXPECT_EQ(envelope.sampleRate, 44100);
        // Encoder delay and padding are dropped, so the overview lines up with the audio's time.
        EXPECT_NEAR(envelope.seconds, 3.0, 0.03);
        EXPECT_NEAR(static_cast<double>(envelope.blocks.size()), 3.0 * 44100 / 256, 3.0);
        // Summaries of 16 and 256 blocks, the last one partial.
        ASSERT_EQ(envelope.summaries.size(), 2u);
        EXPECT_EQ(envelope.summaries[0].size(), (envelope.blocks.size() + 15) / 16);
        EXPECT_EQ(envelope.summaries[1].size(), (envelope.summaries[0].size() + 15) / 16);
        ExpectToneSilenceTone(envelope);
    }
}

// Silent frames give a flat envelope of their length (nothing trimmed without a LAME header);
// what is no MPEG audio gives an empty one, and is no cancelled decode.
TEST(WaveformDecode, SilentFramesGiveAFlatEnvelopeAndUnreadableFilesAnEmptyOne) {
    testfiles::TempDir dir;
    testfiles::WriteFile(dir.file("silence.mp3"), testfiles::SilentFrames(500));
    testfiles::WriteFile(dir.file("notes.mp3"), testfiles::FromString(std::string(20000, 'x')));
    testfiles::WriteFile(dir.file("empty.mp3"), {});
    const std::pair<std::string, double> files[] = {{dir.file("silence.mp3"), 500 * 1152.0 / 44100.0},
                                                    {dir.file("notes.mp3"), 0},
                                                    {dir.file("empty.mp3"), 0},
                                                    {dir.file("missing.mp3"), 0},
                                                    {dir.path().string(), 0}};
    for (const auto& [path, seconds] : files) {
        SCOPED_TRACE(path);
        bool cancelled = true;
        const WaveformEnvelope envelope = Decode(path, &cancelled);
        EXPECT_NEAR(envelope.seconds, seconds, 0.03);
        EXPECT_EQ(envelope.Empty(), seconds == 0);
        EXPECT_FALSE(cancelled);
        for (const PeakPair& p : envelope.blocks) ASSERT_TRUE(p.max == 0.0f && p.min == 0.0f);
    }
}

TEST(WaveformDecode, CancelStopsAtTheNextFrame) {
    testfiles::TempDir dir;
    const std::string path = dir.file("long.mp3");
    testfiles::WriteFile(path, testfiles::SilentFrames(3000));  // about 78 s
    const double full = 3000 * 1152.0 / 44100.0;

    std::atomic<bool> cancel{false};
    bool cancelled = false;
    double lastProgress = -1.0;
    const WaveformEnvelope partial = DecodePeakEnvelope(
        path, cancel,
        [&](double share) {
            lastProgress = share;
            if (share >= 0.1) cancel = true;
        },
        &cancelled);
    EXPECT_TRUE(cancelled);
    EXPECT_LT(partial.seconds, full * 0.2);
    EXPECT_LT(lastProgress, 1.0);  // a cancelled decode never claims to be complete

    cancel = true;
    const WaveformEnvelope none = DecodePeakEnvelope(path, cancel, {}, &cancelled);
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(none.Empty());
}

TEST(WaveformRebin, MergesSplitsAndPadsColumns) {
    const WaveformEnvelope envelope = EnvelopeOf({0.1f, 0.9f, 0.2f, 0.3f});  // 4 s, 1 s blocks
    const struct {
        const char* what;
        int columns;
        double span;
        std::vector<float> maxima;
    } cases[] = {
        {"a column a block; an exact edge takes no neighbour", 4, 4.0, {0.1f, 0.9f, 0.2f, 0.3f}},
        {"merged", 2, 4.0, {0.9f, 0.3f}},
        {"narrower columns take the block they start in", 8, 4.0, {0.1f, 0.1f, 0.9f, 0.9f, 0.2f, 0.2f, 0.3f, 0.3f}},
        {"a span longer than the audio: the tail is blank", 8, 8.0, {0.1f, 0.9f, 0.2f, 0.3f, 0, 0, 0, 0}},
        {"columns straddling blocks cover every block they touch", 3, 4.0, {0.9f, 0.9f, 0.3f}},
        {"no columns", 0, 4.0, {}},
        {"fewer than none", -3, 4.0, {}},
        {"no span", 5, 0.0, {0, 0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        std::vector<float> maxima, minima;
        for (const PeakPair& p : RebinPeaks(envelope, c.columns, c.span)) {
            maxima.push_back(p.max);
            minima.push_back(-p.min);
        }
        EXPECT_EQ(maxima, c.maxima) << c.what;
        EXPECT_EQ(minima, c.maxima) << c.what;
    }
    for (const PeakPair& p : RebinPeaks(WaveformEnvelope{}, 5, 4.0)) EXPECT_EQ(p.max, 0.0f);
}

class WaveformWorker : public ::testing::Test {
protected:
    void SetUp() override {
        TestApp();
        longFile_ = dir_.file("long.mp3");
        shortFile_ = dir_.file("short.mp3");
        testfiles::WriteFile(longFile_, testfiles::SilentFrames(20000));  // about 8.7 minutes
        testfiles::WriteFile(shortFile_, testfiles::SilentFrames(100));
    }
    testfiles::TempDir dir_;
    std::string longFile_;
    std::string shortFile_;
};

TEST_F(WaveformWorker, ACancelOrASecondOpenDropsTheFirst) {
    WaveformBuilder builder;
    QSignalSpy finished(&builder, &WaveformBuilder::finished);
    builder.Open(QString::fromStdString(longFile_));
    EXPECT_TRUE(builder.IsBuilding());
    builder.Cancel();
    EXPECT_FALSE(builder.IsBuilding());
    QCoreApplication::processEvents();
    EXPECT_EQ(finished.count(), 0);

    builder.Open(QString::fromStdString(longFile_));
    builder.Open(QString::fromStdString(shortFile_));
    ASSERT_TRUE(finished.count() == 1 || finished.wait(10000));
    // Anything the first decode posted was queued before the second result; none got through.
    QCoreApplication::processEvents();
    ASSERT_EQ(finished.count(), 1);
    auto envelope = finished.at(0).at(0).value<std::shared_ptr<const WaveformEnvelope>>();
    ASSERT_TRUE(envelope);
    EXPECT_NEAR(envelope->seconds, 100 * 1152.0 / 44100.0, 0.03);
    EXPECT_FALSE(builder.IsBuilding());
}

TEST_F(WaveformWorker, ProgressRisesToOneBeforeTheResult) {
    WaveformBuilder builder;
    std::vector<double> shares;
    bool finishedAfterFull = false;
    QObject::connect(&builder, &WaveformBuilder::progressChanged, [&](double share) { shares.push_back(share); });
    QSignalSpy finished(&builder, &WaveformBuilder::finished);
    QObject::connect(&builder, &WaveformBuilder::finished,
                     [&] { finishedAfterFull = !shares.empty() && shares.back() == 1.0; });
    builder.Open(QString::fromStdString(longFile_));
    ASSERT_TRUE(finished.wait(30000));
    ASSERT_GE(shares.size(), 10u);
    EXPECT_LE(shares.size(), 102u);  // throttled to about one per percent
    for (size_t i = 1; i < shares.size(); ++i) EXPECT_GE(shares[i], shares[i - 1]);
    EXPECT_GE(shares.front(), 0.0);
    EXPECT_TRUE(finishedAfterFull);
}

TEST_F(WaveformWorker, ViewOfUnreadableFileIsEmptyBandWithoutMessage) {
    const std::string bad = dir_.file("bad.mp3");
    testfiles::WriteFile(bad, testfiles::FromString("not audio at all"));
    WaveformView view;
    view.resize(300, 60);
    QSignalSpy finished(&view.Builder(), &WaveformBuilder::finished);
    view.Open(QString::fromStdString(bad));
    EXPECT_TRUE(view.IsBuilding());
    ASSERT_TRUE(finished.count() == 1 || finished.wait(10000));
    EXPECT_FALSE(view.IsBuilding());
    ASSERT_NE(view.Envelope(), nullptr);
    EXPECT_TRUE(view.Envelope()->Empty());
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_EQ(qobject_cast<QMessageBox*>(w), nullptr);
    // Nothing to seek in: a click asks for nothing.
    QSignalSpy seeks(&view, &WaveformView::seekRequested);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(150, 30));
    EXPECT_EQ(seeks.count(), 0);
    view.grab();  // painting an empty band must not fail either
}

class WaveformBand : public ::testing::Test {
protected:
    void SetUp() override { TestApp(); }
};

TEST_F(WaveformBand, ClickMapsToSecondsOnThePlot) {
    WaveformView view;
    view.resize(220, 60);
    view.SetInsets(10, 10);  // plot: x 10..210, 200 px
    view.SetSpan(100.0);
    EXPECT_DOUBLE_EQ(view.SecondsAtX(110), 50.0);
    EXPECT_DOUBLE_EQ(view.SecondsAtX(12), 1.0);
    EXPECT_DOUBLE_EQ(view.SecondsAtX(0), 0.0);      // inset: clamped to the start
    EXPECT_DOUBLE_EQ(view.SecondsAtX(219), 100.0);  // and to the end
    EXPECT_DOUBLE_EQ(view.XAtSeconds(25.0), 60.0);

    QSignalSpy seeks(&view, &WaveformView::seekRequested);
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(110, 30));
    QTest::mouseClick(&view, Qt::RightButton, {}, QPoint(60, 30));
    QTest::mouseClick(&view, Qt::LeftButton, {}, QPoint(5, 30));
    ASSERT_EQ(seeks.count(), 2);
    EXPECT_DOUBLE_EQ(seeks.at(0).at(0).toDouble(), 50.0);
    EXPECT_DOUBLE_EQ(seeks.at(1).at(0).toDouble(), 0.0);

    // Without a span of its own the envelope's length is the scale.
    view.SetSpan(0.0);
    view.SetEnvelope(std::make_shared<const WaveformEnvelope>(EnvelopeOf({0.5f, 0.5f, 0.5f, 0.5f}, 10.0)));
    EXPECT_DOUBLE_EQ(view.Span(), 40.0);
    EXPECT_DOUBLE_EQ(view.SecondsAtX(60), 10.0);
}

namespace {

// Exposes the slider's own style option so the test measures the handle as the slider draws it.
class ProbeSlider : public QSlider {
public:
    ProbeSlider() : QSlider(Qt::Horizontal) {}
    int HandleCentreX() const {
        QStyleOptionSlider option;
        initStyleOption(&option);
        return style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle, this).center().x();
    }
};

}  // namespace

TEST_F(WaveformBand, FollowsTheSliderItSitsAbove) {
    QWidget window;
    auto* layout = new QVBoxLayout(&window);
    auto* view = new WaveformView;
    auto* slider = new ProbeSlider;
    layout->addWidget(view);
    layout->addWidget(slider);
    slider->setRange(0, 10);
    view->FollowSlider(slider);
    window.resize(640, 140);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    slider->setRange(0, 237);  // the duration became known
    EXPECT_DOUBLE_EQ(view->Span(), 237.0);
    for (int value : {0, 1, 60, 118, 200, 237}) {
        slider->setValue(value);
        EXPECT_NEAR(view->XAtSeconds(value), slider->HandleCentreX(), 1.0) << "value " << value;
    }
    window.resize(900, 140);
    QCoreApplication::processEvents();
    slider->setValue(150);
    EXPECT_NEAR(view->XAtSeconds(150), slider->HandleCentreX(), 1.0) << "after a resize";
}

TEST_F(WaveformBand, PaintsPeaksSelectionAndPosition) {
    WaveformView view;
    view.resize(300, 80);
    view.SetSpan(3.0);
    const QImage empty = view.grab().toImage();
    // Tone, silence, tone, one second each, in 10 ms blocks.
    auto envelope = std::make_shared<WaveformEnvelope>();
    envelope->secondsPerBlock = 0.01;
    for (int i = 0; i < 300; ++i) {
        const float v = (i < 100 || i >= 200) ? 0.8f : 0.0f;
        envelope->blocks.push_back({-v, v});
    }
    envelope->seconds = 3.0;
    view.SetEnvelope(envelope);

    const QImage plain = view.grab().toImage();
    // 0.8 of the plot's half height above and below its centre line; the strip of the whole
    // file runs along the top.
    const QRectF main = view.MainRect();
    const double mid = main.center().y();
    const double reach = (main.height() / 2 - 2) * 0.8;
    const int high = static_cast<int>(mid - reach + 3);
    const int low = static_cast<int>(mid + reach - 3);
    for (int x : {50, 250}) {
        EXPECT_NE(plain.pixelColor(x, high), empty.pixelColor(x, high)) << "the tone's max shows at x " << x;
        EXPECT_NE(plain.pixelColor(x, low), empty.pixelColor(x, low)) << "and its min";
        EXPECT_EQ(plain.pixelColor(x, main.top() + 1), empty.pixelColor(x, main.top() + 1)) << "nothing above full scale";
        EXPECT_NE(plain.pixelColor(x, 6), empty.pixelColor(x, 6)) << "the overview strip shows the tone too";
    }
    EXPECT_EQ(plain.pixelColor(150, high), empty.pixelColor(150, high)) << "silence stays flat";
    EXPECT_EQ(plain.pixelColor(150, low), empty.pixelColor(150, low));

    view.SetSelection(2.2, 2.8);  // x 220..280
    const QImage selected = view.grab().toImage();
    EXPECT_NE(selected.pixelColor(250, high), plain.pixelColor(250, high)) << "selected audio is highlighted";
    EXPECT_NE(selected.pixelColor(250, main.top() + 2), plain.pixelColor(250, main.top() + 2)) << "so is the band around it";
    EXPECT_EQ(selected.pixelColor(210, high), plain.pixelColor(210, high)) << "outside stays as it was";
    EXPECT_EQ(selected.pixelColor(50, high), plain.pixelColor(50, high));

    view.SetPosition(1.5);  // x 150
    const QImage playing = view.grab().toImage();
    const QColor line = playing.pixelColor(150, 40);
    EXPECT_GT(line.red(), 200);
    EXPECT_LT(line.green(), 120);
    EXPECT_EQ(playing.pixelColor(100, 40), selected.pixelColor(100, 40));
    view.SetPosition(-1);
    EXPECT_EQ(view.grab().toImage().pixelColor(150, 40), selected.pixelColor(150, 40));

    view.ClearSelection();
    EXPECT_EQ(view.grab().toImage(), plain);

    // While it is still building, the band shows how far it has come.
    view.SetEnvelope(nullptr);
    const QImage none = view.grab().toImage();
    view.SetProgress(0.42);
    const QPoint bar(static_cast<int>(main.left() + main.width() * 0.3), static_cast<int>(mid) + 9);
    EXPECT_NE(view.grab().toImage().pixelColor(bar), none.pixelColor(bar));
}
