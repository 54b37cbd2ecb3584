#pragma once
// One MP3 file decoded by libmpg123, for every reader of decoded audio: the player (16-bit
// stereo), the waveform (float, the file's own channels) and the pause search (16-bit, the
// channels mixed to mono before synthesis, which halves the work). Always at the file's own rate.
// Gapless: the encoder delay and padding that a LAME/Info header announces are left out, so
// sample 0 is the first sample the encoder was given, and seeks land on that exact sample.
//
// Exact seeks need the byte offset of every frame. libmpg123 finds them by reading forward from
// the last frame it knows, which on a long file reads much of it; SetIndex hands it the offsets
// of our own frame walk instead, so that any seek reads only a few frames. Until then a seek in a
// constant-bitrate file starts from where the bitrate grid puts the target's frames, once they
// are found there.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "decode/bitrategrid.h"
#include "files/descriptor.h"

struct FrameTable;
struct mpg123_handle_struct;

class Decoder {
public:
    enum class Output {
        Stereo16,  // interleaved 16-bit stereo, mono files doubled
        Mono16,    // 16-bit, stereo mixed down
        Float,     // 32-bit float in -1..1 and beyond, the file's own channels
    };
    enum class ReadStatus { Data, End, Error };

    Decoder();
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Opens the file and reads up to its first frame for the output format. False with a reason
    // in Error() for a file that cannot be opened or holds no MPEG audio.
    bool Open(const std::string& path, Output output = Output::Stereo16);
    // The same on a descriptor opened for reading, which the decoder then owns.
    bool Open(FileDescriptor file, Output output = Output::Stereo16);
    int SampleRate() const { return rate_; }
    int Channels() const { return channels_; }
    // Bytes of one sample of all channels in the output.
    size_t BytesPerFrame() const;

    // Takes the frame offsets of `table` (the walk of this file) as the seek index, and the exact
    // length from it. False when the table does not fit the stream.
    bool SetIndex(const FrameTable& table);
    // Exact length in samples once SetIndex was given the walk (or the stream's own header says
    // it), else libmpg123's estimate; -1 when unknown.
    int64_t LengthSamples() const;
    bool SeekToSample(int64_t sample);
    // Decodes into `out` (whole sample frames); `bytes` receives what was written.
    ReadStatus Read(uint8_t* out, size_t capacity, size_t& bytes);
    // File bytes behind the audio decoded so far, and the file's size, for progress.
    int64_t BytesRead() const;
    int64_t FileSize() const { return fileSize_; }
    const std::string& Error() const { return error_; }

    // Exact gapless length in samples of the stream the walk describes: all its frames, less the
    // encoder delay and padding its LAME tag announces.
    static int64_t GaplessLength(const FrameTable& table);

private:
    struct Closer {
        void operator()(mpg123_handle_struct* handle) const;
    };
    // Hands libmpg123 the grid's offset of a frame a little before the target's, when the frames
    // around it lie on the grid.
    void SeekOnGrid(int64_t sample);
    std::optional<BitrateGrid> FitGrid();

    std::unique_ptr<mpg123_handle_struct, Closer> handle_;
    FileDescriptor file_;
    bool indexed_ = false;     // the walk's index is set
    bool gridTried_ = false;
    std::optional<BitrateGrid> grid_;
    Output output_ = Output::Stereo16;
    int rate_ = 0;
    int channels_ = 0;
    int64_t fileSize_ = 0;
    int64_t exactLength_ = -1;
    std::string error_;
};
