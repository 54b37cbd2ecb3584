#pragma once
// Real encoder output for the split tests: sox makes the signal, lame encodes it, mpg123 and
// ffmpeg decode it (both drop the LAME tag's encoder delay and padding).
#include <cstdint>
#include <string>
#include <vector>

namespace splittest {

// True when sox, lame, mpg123 and ffmpeg are installed.
bool HaveCodecTools();
// Makes a WAV file with `sox -n -r <rate> -c <channels> WAV <effects>` and encodes it with
// `lame --quiet <lameArgs>` to `mp3`. False when either fails.
bool Encode(const std::string& mp3, int rate, int channels, const std::string& effects, const std::string& lameArgs);
// Interleaved 16-bit samples of the whole file.
std::vector<int16_t> DecodeMpg123(const std::string& path);
std::vector<int16_t> DecodeFfmpeg(const std::string& path);

}  // namespace splittest
