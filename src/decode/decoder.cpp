#include "decode/decoder.h"

#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include <fcntl.h>
#include <mpg123.h>
#include <sys/stat.h>

#include "mpeg/framescan.h"
#include "mpeg/mpegheader.h"

namespace {

// A seek on the grid starts this many frames before the target's: libmpg123 decodes a few frames
// ahead to fill the bit reservoir, and the LAME delay moves the target up to four frames on.
constexpr int64_t kGridLeadFrames = 12;
// Frames at the start that the grid is fitted to.
constexpr size_t kGridFitFrames = 40;

void InitialiseOnce() {
    static std::once_flag initialised;
    std::call_once(initialised, [] { mpg123_init(); });
}

}  // namespace

void Decoder::Closer::operator()(mpg123_handle_struct* handle) const {
    mpg123_close(handle);
    mpg123_delete(handle);
}

Decoder::Decoder() = default;

// The handle reads from the descriptor, so it goes first.
Decoder::~Decoder() { handle_.reset(); }

bool Decoder::Open(const std::string& path, Output output) {
    FileDescriptor file = OpenFile(path, O_RDONLY);
    if (!file.IsOpen()) {
        error_ = std::strerror(errno);
        return false;
    }
    return Open(std::move(file), output);
}

bool Decoder::Open(FileDescriptor file, Output output) {
    InitialiseOnce();
    handle_.reset();
    file_ = std::move(file);
    output_ = output;
    exactLength_ = -1;
    indexed_ = false;
    gridTried_ = false;
    grid_.reset();
    struct stat st {};
    fileSize_ = fstat(file_.get(), &st) == 0 ? static_cast<int64_t>(st.st_size) : 0;
    int result = MPG123_OK;
    handle_.reset(mpg123_new(nullptr, &result));
    if (!handle_) {
        error_ = mpg123_plain_strerror(result);
        return false;
    }
    mpg123_handle* h = handle_.get();
    long flags = MPG123_QUIET | MPG123_GAPLESS;
    int channels = MPG123_STEREO;
    int encoding = MPG123_ENC_SIGNED_16;
    switch (output) {
    case Output::Stereo16: flags |= MPG123_FORCE_STEREO; break;
    case Output::Mono16:
        flags |= MPG123_MONO_MIX;
        channels = MPG123_MONO;
        break;
    case Output::Float:
        // Float keeps full-scale peaks unclipped.
        flags |= MPG123_FORCE_FLOAT;
        channels = MPG123_MONO | MPG123_STEREO;
        encoding = MPG123_ENC_FLOAT_32;
        break;
    }
    mpg123_param(h, MPG123_ADD_FLAGS, flags, 0.0);
    // A seek decodes this many frames before the target first: a Layer III frame may take up to
    // 511 bytes of main data from the frames before it, nine frames back at the lowest MPEG-1
    // bitrates of a variable-bitrate stream; fewer leave the first frame after it wrong.
    mpg123_param(h, MPG123_PREFRAMES, 10, 0.0);
    mpg123_format_none(h);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i) mpg123_format(h, rates[i], channels, encoding);
    if (mpg123_open_fd(h, file_.get()) != MPG123_OK) {
        error_ = mpg123_strerror(h);
        handle_.reset();
        return false;
    }
    long rate = 0;
    int outChannels = 0, outEncoding = 0;
    if (mpg123_getformat(h, &rate, &outChannels, &outEncoding) != MPG123_OK || rate <= 0 || outChannels <= 0) {
        error_ = "no MPEG audio found";
        handle_.reset();
        return false;
    }
    rate_ = static_cast<int>(rate);
    channels_ = outChannels;
    return true;
}

size_t Decoder::BytesPerFrame() const {
    const size_t sampleBytes = output_ == Output::Float ? sizeof(float) : sizeof(int16_t);
    return sampleBytes * static_cast<size_t>(channels_ > 0 ? channels_ : 1);
}

int64_t Decoder::GaplessLength(const FrameTable& table) {
    // A stream whose header counts other frames than the walk found is cut where the header says.
    if (table.frames.empty() || (table.vbr.hasFrames && table.vbr.frames != table.frames.size())) return -1;
    int64_t length = static_cast<int64_t>(table.totalSamples);
    if (table.vbr.hasLame) length -= int64_t{table.vbr.encoderDelay} + table.vbr.encoderPadding;
    return length > 0 ? length : -1;
}

bool Decoder::SetIndex(const FrameTable& table) {
    // Junk between frames may be counted differently by libmpg123's resync than by the walk:
    // such a file keeps libmpg123's own index, slower but exact.
    if (!handle_ || table.frames.empty() || table.junkBytes != 0 ||
        table.sampleRate != static_cast<uint32_t>(rate_))
        return false;
    // The frames libmpg123 has met so far must be the walk's, under the same numbers.
    off_t* known = nullptr;
    off_t step = 0;
    size_t fill = 0;
    if (mpg123_index(handle_.get(), &known, &step, &fill) == MPG123_OK && known && step > 0) {
        for (size_t i = 0; i < fill; ++i) {
            const size_t frame = i * static_cast<size_t>(step);
            if (frame >= table.frames.size() || table.frames[frame].offset != static_cast<int64_t>(known[i]))
                return false;
        }
    }
    std::vector<off_t> offsets;
    offsets.reserve(table.frames.size());
    for (const MpegFrame& frame : table.frames) offsets.push_back(static_cast<off_t>(frame.offset));
    if (mpg123_set_index(handle_.get(), offsets.data(), 1, offsets.size()) != MPG123_OK) {
        error_ = mpg123_strerror(handle_.get());
        return false;
    }
    exactLength_ = GaplessLength(table);
    indexed_ = true;
    return true;
}

// The first frames after the one libmpg123 started with, followed header by header: a read of
// a few kilobytes the player has just read anyway.
std::optional<BitrateGrid> Decoder::FitGrid() {
    off_t* known = nullptr;
    off_t step = 0;
    size_t fill = 0;
    if (mpg123_index(handle_.get(), &known, &step, &fill) != MPG123_OK || !known || fill == 0) return std::nullopt;
    const int64_t first = known[0];
    // Only as far as those frames reach: what lies further may not be read yet, and on a busy
    // disk every read that waits delays the sound.
    uint8_t head[4];
    MpegHeader firstHeader;
    if (ReadAt(file_.get(), head, 4, first) != 4 || !DecodeMpegHeader(head, firstHeader)) return std::nullopt;
    std::vector<uint8_t> bytes(kGridFitFrames * (firstHeader.length + 1) + 4);
    const int64_t got = ReadAt(file_.get(), bytes.data(), bytes.size(), first);
    if (got < 4) return std::nullopt;
    BitrateGrid::Known frames;
    for (int64_t at = 0; at + 4 <= got && frames.size() < kGridFitFrames;) {
        MpegHeader header;
        if (!DecodeMpegHeader(bytes.data() + at, header)) return std::nullopt;
        frames.emplace_back(static_cast<int64_t>(frames.size()), first + at);
        at += header.length;
    }
    const uint32_t word = (uint32_t{bytes[0]} << 24) | (uint32_t{bytes[1]} << 16) | (uint32_t{bytes[2]} << 8) | bytes[3];
    return BitrateGrid::Fit(frames, word, fileSize_);
}

void Decoder::SeekOnGrid(int64_t sample) {
    if (!gridTried_) {
        gridTried_ = true;
        grid_ = FitGrid();
    }
    if (!grid_) return;
    const int64_t target = sample / grid_->SamplesPerFrame();
    const int64_t first = target - kGridLeadFrames;
    if (first <= 0 || !grid_->Holds(file_.get(), first, target + kGridLeadFrames)) return;
    // Two entries: the first frame, and from there on `first` frames a step.
    off_t offsets[2] = {static_cast<off_t>(grid_->Offset(0)), static_cast<off_t>(grid_->Offset(first))};
    mpg123_set_index(handle_.get(), offsets, static_cast<off_t>(first), 2);
}

int64_t Decoder::LengthSamples() const {
    if (!handle_) return -1;
    if (exactLength_ > 0) return exactLength_;
    const off_t length = mpg123_length(handle_.get());
    return length < 0 ? -1 : static_cast<int64_t>(length);
}

bool Decoder::SeekToSample(int64_t sample) {
    if (!handle_) return false;
    if (!indexed_) SeekOnGrid(sample);
    return mpg123_seek(handle_.get(), static_cast<off_t>(sample < 0 ? 0 : sample), SEEK_SET) >= 0;
}

int64_t Decoder::BytesRead() const {
    if (!handle_) return 0;
    const off_t position = mpg123_framepos(handle_.get());
    return position > 0 ? static_cast<int64_t>(position) : 0;
}

Decoder::ReadStatus Decoder::Read(uint8_t* out, size_t capacity, size_t& bytes) {
    bytes = 0;
    if (!handle_) return ReadStatus::Error;
    const size_t frameBytes = BytesPerFrame();
    capacity -= capacity % frameBytes;
    // A new format is announced once (after the first frame); the data still follows.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int result = mpg123_read(handle_.get(), out, capacity, &bytes);
        bytes -= bytes % frameBytes;
        if (result == MPG123_OK) return ReadStatus::Data;
        if (result == MPG123_DONE) return bytes > 0 ? ReadStatus::Data : ReadStatus::End;
        if (result == MPG123_NEW_FORMAT) {
            if (bytes > 0) return ReadStatus::Data;
            continue;
        }
        error_ = mpg123_strerror(handle_.get());
        return bytes > 0 ? ReadStatus::Data : ReadStatus::Error;
    }
    return ReadStatus::Error;
}
