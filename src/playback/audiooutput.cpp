#include "playback/audiooutput.h"

#include <algorithm>

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>

#include "playback/pcm.h"
#include "playback/pulsewriteguard.h"
#include "playback/sinkdevice.h"

namespace {
// Sink buffer: room for a busy GUI thread (the sink pulls on it) to come back before the sound
// runs dry. PulseAudio grants a little over half (about 145 ms). Not more: Qt applies the
// volume as it hands sound over, so a change is heard only after what the buffer holds.
constexpr int kBufferMs = 250;
// The silent drain runs this often and keeps this far ahead of the clock.
constexpr int kDrainMs = 20;
constexpr int kDrainLeadMs = 60;
}  // namespace

AudioOutput::AudioOutput(SinkDevice& device, QObject* parent) : QObject(parent), device_(device) {
    drain_.setInterval(kDrainMs);
    connect(&drain_, &QTimer::timeout, this, &AudioOutput::DrainSilently);
    static const bool guarded = PulseWriteGuardActive();
    if (!guarded) qWarning("the PulseAudio write guard is not in effect: a sound server that goes away may hang playback");
}

AudioOutput::~AudioOutput() { Stop(); }

QString AudioOutput::ErrorText(QAudio::Error error) {
    switch (error) {
    case QAudio::OpenError: return QStringLiteral("the audio device could not be opened");
    case QAudio::IOError: return QStringLiteral("the audio device stopped taking sound");
    case QAudio::UnderrunError: return QStringLiteral("the audio device ran out of sound");
    case QAudio::FatalError: return QStringLiteral("the audio device is not usable");
    case QAudio::NoError: break;
    }
    return QStringLiteral("the audio device failed");
}

QString AudioOutput::Start(int rate) {
    Stop();
    rate_ = rate;
    heard_ = 0;
    running_ = true;
    bool started = false;
    const QString reason = StartSink(rate, started);
    if (started) return {};
    clock_.StartReal(rate);
    drain_.start();
    return reason;
}

QString AudioOutput::StartSink(int rate, bool& started) {
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return {};
    QAudioFormat format;
    format.setSampleRate(rate);
    format.setChannelCount(pcm::kChannels);
    format.setSampleFormat(QAudioFormat::Int16);
    auto* sink = new QAudioSink(device, format, this);
    sink->setBufferSize(format.bytesForDuration(kBufferMs * 1000));
    sink->setVolume(volume_);
    sink_ = sink;
    // A sink that fails inside start() (a sound server gone away) is handled below, not as a
    // failure during the run.
    sink->start(&device_);
    connect(sink, &QAudioSink::stateChanged, this, &AudioOutput::OnSinkState);
    if (sink->state() != QAudio::StoppedState &&
        (sink->error() == QAudio::NoError || sink->error() == QAudio::UnderrunError)) {
        clock_.StartSink(sink, rate);
        started = true;
        return {};
    }
    const QString reason = ErrorText(sink->error() == QAudio::NoError ? QAudio::OpenError : sink->error());
    DropSink();
    return reason;
}

void AudioOutput::Stop() {
    running_ = false;
    drain_.stop();
    clock_.Stop();
    DropSink();
}

void AudioOutput::DropSink() {
    if (!sink_) return;
    QAudioSink* sink = sink_;
    sink_ = nullptr;
    sink->disconnect(this);
    sink->stop();
    // Not deleted here: this may run inside the sink's own signal.
    sink->deleteLater();
}

void AudioOutput::OnSinkState(QAudio::State state) {
    if (!sink_ || sender() != sink_) return;
    const QAudio::Error error = sink_->error();
    if (state != QAudio::StoppedState || error == QAudio::NoError) return;
    // The receiver still reads the heard count, then ends the run; the next run tries again.
    emit failed(ErrorText(error));
    if (running_) Stop();
}

void AudioOutput::DrainSilently() {
    const int64_t target = clock_.Frames() + static_cast<int64_t>(rate_) * kDrainLeadMs / 1000;
    char scratch[8192];
    while (device_.HandedFrames() < target) {
        const int64_t want = (target - device_.HandedFrames()) * pcm::kBytesPerFrame;
        const qint64 got = device_.read(scratch, std::min<int64_t>(want, sizeof scratch));
        if (got <= 0) break;
    }
}

int64_t AudioOutput::HeardFrames() const {
    if (!running_) return 0;
    // A failed sink reports 0 processed time; the run's count never goes back.
    heard_ = std::max(heard_, std::min(clock_.Frames(), device_.HandedFrames()));
    return heard_;
}

void AudioOutput::SetVolume(float volume) {
    volume_ = std::clamp(volume, 0.0f, 1.0f);
    if (sink_) sink_->setVolume(volume_);
}
