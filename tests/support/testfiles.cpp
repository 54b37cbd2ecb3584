#include "support/testfiles.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

namespace testfiles {

TempDir::TempDir() {
    static std::atomic<int> counter{0};
    std::random_device rd;
    auto base = std::filesystem::temp_directory_path();
    for (;;) {
        auto name = "trimbel-test-" + std::to_string(getpid()) + "-" + std::to_string(counter++) +
                    "-" + std::to_string(rd() % 100000);
        path_ = base / name;
        if (std::filesystem::create_directory(path_)) break;
    }
}

TempDir::~TempDir() {
    std::error_code ec;
    // Give back write permission first so tests that lock files down still clean up.
    for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ec))
        std::filesystem::permissions(entry.path(), std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ec);
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

void WriteFile(const std::string& path, const Bytes& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) throw std::runtime_error("cannot create " + path);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

Bytes ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot open " + path);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

Bytes Concat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

Bytes FromString(const std::string& text) { return Bytes(text.begin(), text.end()); }

std::string CommandOutput(const std::string& command, int* status) {
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) {
        if (status) *status = -1;
        return out;
    }
    char buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
    const int rc = ::pclose(pipe);
    if (status) *status = rc != -1 && WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
    return out;
}

std::string ShellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

bool HaveTools(const std::string& names) {
    int status = -1;
    CommandOutput("command -v " + names + " >/dev/null 2>&1", &status);
    return status == 0;
}

std::string PythonOutput(const std::string& script, const std::string& arg, int* status) {
    const std::string python = std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    return CommandOutput(python + " -c " + ShellQuote(script) + " " + ShellQuote(arg) + " 2>&1", status);
}

bool MutagenInstalled() {
    int status = -1;
    PythonOutput("import mutagen", "", &status);
    return status == 0;
}

int Layer3FrameLength(int bitrateKbps, int frequencyHz, bool padding) {
    return 144 * bitrateKbps * 1000 / frequencyHz + (padding ? 1 : 0);
}

Bytes SilentFrame(uint8_t b2, uint8_t b3) {
    static const int kBitrates[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static const int kFreqs[4] = {44100, 48000, 32000, 0};
    int bitrate = kBitrates[b2 >> 4];
    int freq = kFreqs[(b2 >> 2) & 3];
    if (bitrate == 0 || freq == 0) throw std::invalid_argument("SilentFrame needs a real bitrate and frequency");
    Bytes frame(static_cast<size_t>(Layer3FrameLength(bitrate, freq, (b2 & 2) != 0)), 0);
    frame[0] = 0xFF;
    frame[1] = 0xFB;
    frame[2] = b2;
    frame[3] = b3;
    return frame;
}

Bytes SilentFrames(int count, uint8_t b2, uint8_t b3) {
    Bytes one = SilentFrame(b2, b3);
    Bytes out;
    out.reserve(one.size() * static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) out.insert(out.end(), one.begin(), one.end());
    return out;
}

Bytes Id3v1Tag(const std::string& title, const std::string& artist, const std::string& album,
               const std::string& year, const std::string& comment, uint8_t genre, uint8_t track,
               const std::string& ident) {
    Bytes tag(128, 0);
    auto put = [&](size_t off, size_t width, const std::string& s) {
        std::memcpy(tag.data() + off, s.data(), std::min(width, s.size()));
    };
    put(0, 3, ident);
    put(3, 30, title);
    put(33, 30, artist);
    put(63, 30, album);
    put(93, 4, year);
    put(97, track ? 28 : 30, comment);
    if (track) {
        tag[125] = 0;
        tag[126] = track;
    }
    tag[127] = genre;
    return tag;
}

}  // namespace testfiles

int64_t testfiles::BytesReadByProcess() {
    std::ifstream io("/proc/self/io");
    std::string key;
    int64_t value = -1;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}
