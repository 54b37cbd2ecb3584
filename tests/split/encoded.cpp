#include "split/encoded.h"

#include <cstring>

#include "support/testfiles.h"

namespace splittest {

namespace {

std::vector<int16_t> Samples(const std::string& raw) {
    std::vector<int16_t> out(raw.size() / 2);
    std::memcpy(out.data(), raw.data(), out.size() * 2);
    return out;
}

}  // namespace

bool HaveCodecTools() {
    int status = -1;
    testfiles::CommandOutput("command -v sox lame mpg123 ffmpeg >/dev/null 2>&1", &status);
    return status == 0;
}

bool Encode(const std::string& mp3, int rate, int channels, const std::string& effects, const std::string& lameArgs) {
    const std::string wav = mp3 + ".wav";
    int status = -1;
    testfiles::CommandOutput("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " " +
                                 testfiles::ShellQuote(wav) + " " + effects + " 2>/dev/null && lame --quiet " +
                                 lameArgs + " " + testfiles::ShellQuote(wav) + " " + testfiles::ShellQuote(mp3),
                             &status);
    return status == 0;
}

std::vector<int16_t> DecodeMpg123(const std::string& path) {
    return Samples(testfiles::CommandOutput("mpg123 -q -s " + testfiles::ShellQuote(path) + " 2>/dev/null"));
}

std::vector<int16_t> DecodeFfmpeg(const std::string& path) {
    return Samples(testfiles::CommandOutput("ffmpeg -v error -i " + testfiles::ShellQuote(path) +
                                            " -f s16le - 2>/dev/null"));
}

}  // namespace splittest
