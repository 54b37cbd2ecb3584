#include "playback/decoder.h"

#include <cerrno>
#include <cstring>
#include <mutex>

#include <fcntl.h>
#include <mpg123.h>
#include <unistd.h>

namespace {

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

Decoder::~Decoder() {
    handle_.reset();
    if (fd_ >= 0) ::close(fd_);
}

bool Decoder::Open(const std::string& path) {
    InitialiseOnce();
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return false;
    }
    int result = MPG123_OK;
    handle_.reset(mpg123_new(nullptr, &result));
    if (!handle_) {
        error_ = mpg123_plain_strerror(result);
        return false;
    }
    mpg123_handle* h = handle_.get();
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_STEREO, 0.0);
    // One output format whatever the file: the sink is opened for 16-bit stereo at its rate.
    mpg123_format_none(h);
    const long* rates = nullptr;
    size_t rateCount = 0;
    mpg123_rates(&rates, &rateCount);
    for (size_t i = 0; i < rateCount; ++i) mpg123_format(h, rates[i], MPG123_STEREO, MPG123_ENC_SIGNED_16);
    if (mpg123_open_fd(h, fd_) != MPG123_OK) {
        error_ = mpg123_strerror(h);
        handle_.reset();
        return false;
    }
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(h, &rate, &channels, &encoding) != MPG123_OK || rate <= 0) {
        error_ = "no MPEG audio found";
        handle_.reset();
        return false;
    }
    rate_ = static_cast<int>(rate);
    return true;
}

int64_t Decoder::Scan() {
    if (!handle_) return -1;
    mpg123_scan(handle_.get());
    return LengthSamples();
}

int64_t Decoder::LengthSamples() const {
    if (!handle_) return -1;
    const off_t length = mpg123_length(handle_.get());
    return length < 0 ? -1 : static_cast<int64_t>(length);
}

bool Decoder::SeekToSample(int64_t sample) {
    if (!handle_) return false;
    return mpg123_seek(handle_.get(), static_cast<off_t>(sample < 0 ? 0 : sample), SEEK_SET) >= 0;
}

Decoder::ReadStatus Decoder::Read(uint8_t* out, size_t capacity, size_t& bytes) {
    bytes = 0;
    if (!handle_) return ReadStatus::Error;
    capacity -= capacity % kBytesPerFrame;
    // A new format is announced once (after the first frame); the data still follows.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const int result = mpg123_read(handle_.get(), out, capacity, &bytes);
        bytes -= bytes % kBytesPerFrame;
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
