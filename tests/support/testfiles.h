#pragma once
// Helpers shared by the tests: temporary folders and MP3 data built from bytes.
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testfiles {

using Bytes = std::vector<uint8_t>;

// A fresh folder under the system temp dir, removed with everything in it on destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

void WriteFile(const std::string& path, const Bytes& data);
Bytes ReadFile(const std::string& path);
Bytes Concat(std::initializer_list<Bytes> parts);
Bytes FromString(const std::string& text);

// Runs `command` through the shell and returns what it wrote on stdout; `status`, when given,
// receives its exit code (-1 when it could not be started or did not exit normally).
std::string CommandOutput(const std::string& command, int* status = nullptr);
// `text` as one single-quoted shell word.
std::string ShellQuote(const std::string& text);
// True when every program named in `names` (separated by spaces) is on the PATH.
bool HaveTools(const std::string& names);
// Runs `script` with the system's python3 and `arg` as its one argument; its stdout and stderr.
std::string PythonOutput(const std::string& script, const std::string& arg, int* status = nullptr);
// True when python3 can import mutagen.
bool MutagenInstalled();

// Bytes this process has read through read(2) and friends so far (rchar of /proc/self/io), to
// tell a read of a few frames from a read through a file; -1 when unknown.
int64_t BytesReadByProcess();

// One MPEG-1 Layer III frame with zero side information and main data: decodes as silence.
// The header FF FB 90 44 (128 kbit/s, 44100 Hz, joint stereo) gives 417 bytes.
Bytes SilentFrame(uint8_t b2 = 0x90, uint8_t b3 = 0x44);
// `count` silent frames back to back.
Bytes SilentFrames(int count, uint8_t b2 = 0x90, uint8_t b3 = 0x44);
// Length in bytes of an MPEG-1 Layer III frame: floor(144 * bitrate / frequency) + padding.
int Layer3FrameLength(int bitrateKbps, int frequencyHz, bool padding);

// A 128-byte ID3v1 tag (v1.1 when track is not 0).
Bytes Id3v1Tag(const std::string& title, const std::string& artist, const std::string& album,
               const std::string& year, const std::string& comment, uint8_t genre,
               uint8_t track = 0, const std::string& ident = "TAG");

}  // namespace testfiles
