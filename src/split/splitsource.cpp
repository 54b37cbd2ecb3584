#include "split/splitsource.h"

#include "clips/cliplayout.h"

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
    // Without a LAME tag, every part still carries one, so a decoder drops the 529 samples of its
    // warm-up from the first part too, although a player of this source without one plays them.
    decoded_ = SourceDecodedSamples(table_);
    return true;
}

double SplitSource::DurationSeconds() const {
    return table_.sampleRate ? static_cast<double>(decoded_) / table_.sampleRate : 0.0;
}
