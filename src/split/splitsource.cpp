#include "split/splitsource.h"

#include <algorithm>
#include <cmath>

namespace {

// Gapless decoders drop encoder delay + 529 samples at the start of a stream with a LAME tag and
// end it encoder padding - 529 samples early (their synthesis lags the encoder's input by 529).
constexpr uint64_t kDecoderDelay = 529;

}  // namespace

bool SplitSource::Open(const std::string& path, std::string* error, const ScanProgress& progress) {
    path_ = path;
    table_ = FrameTable{};
    std::string why;
    if (!ScanFrames(path, table_, &why, progress)) {
        if (error) *error = why;
        return false;
    }
    if (table_.layer != 3 || table_.samplesPerFrame == 0 || table_.sampleRate == 0) {
        if (error) *error = "Splitting needs MPEG Layer III audio";
        return false;
    }
    const uint64_t raw = uint64_t{table_.samplesPerFrame} * table_.frames.size();
    const VbrHeader& v = table_.vbr;
    if (v.hasLame) {
        lead_ = v.encoderDelay + kDecoderDelay;
        const uint64_t end = raw + kDecoderDelay - std::min<uint64_t>(raw + kDecoderDelay, v.encoderPadding);
        const uint64_t rawEnd = std::min(raw, end);
        decoded_ = rawEnd > lead_ ? rawEnd - lead_ : 0;
    } else {
        // Every part carries a LAME tag, so a decoder drops the 529 samples of its warm-up from
        // the first part too, although a player of this source without one plays them.
        lead_ = kDecoderDelay;
        decoded_ = raw > lead_ ? raw - lead_ : 0;
    }
    return true;
}

double SplitSource::DurationSeconds() const {
    return table_.sampleRate ? static_cast<double>(decoded_) / table_.sampleRate : 0.0;
}

size_t SplitSource::FrameNearest(double seconds) const {
    if (table_.frames.empty() || !(seconds > 0)) return 0;
    if (!(seconds < DurationSeconds())) return table_.frames.size();
    const double sample = seconds * table_.sampleRate + static_cast<double>(lead_);
    const double frame = std::nearbyint(sample / table_.samplesPerFrame);
    return static_cast<size_t>(std::clamp(frame, 0.0, static_cast<double>(table_.frames.size())));
}

uint64_t SplitSource::SampleAtFrame(size_t frame) const {
    if (frame >= table_.frames.size()) return decoded_;
    const uint64_t raw = uint64_t{table_.samplesPerFrame} * frame;
    return raw > lead_ ? std::min(raw - lead_, decoded_) : 0;
}

double SplitSource::SecondsAtFrame(size_t frame) const {
    return table_.sampleRate ? static_cast<double>(SampleAtFrame(frame)) / table_.sampleRate : 0.0;
}
