#pragma once
// One MP3 file decoded by libmpg123 into interleaved 16-bit stereo at the file's own rate.
// Gapless: the encoder delay and padding that a LAME/Info header announces are left out, so
// sample 0 is the first sample the encoder was given, and seeks land on that exact sample.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct mpg123_handle_struct;

class Decoder {
public:
    static constexpr int kChannels = 2;
    static constexpr int kBytesPerFrame = kChannels * 2;

    enum class ReadStatus { Data, End, Error };

    Decoder();
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    // Opens the file and reads up to its first frame for the output format. False with a reason
    // in Error() for a file that cannot be opened or holds no MPEG audio.
    bool Open(const std::string& path);
    int SampleRate() const { return rate_; }
    // Builds the frame index over the whole file (one pass over its frames, no decoding), so
    // every later seek is exact and quick, and the length is exact. Returns the length in samples,
    // or -1 when unknown.
    int64_t Scan();
    int64_t LengthSamples() const;
    bool SeekToSample(int64_t sample);
    // Decodes into `out` (whole stereo frames); `bytes` receives what was written.
    ReadStatus Read(uint8_t* out, size_t capacity, size_t& bytes);
    const std::string& Error() const { return error_; }

private:
    struct Closer {
        void operator()(mpg123_handle_struct* handle) const;
    };
    std::unique_ptr<mpg123_handle_struct, Closer> handle_;
    int fd_ = -1;
    int rate_ = 0;
    std::string error_;
};
