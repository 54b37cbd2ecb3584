// The tag editor on a 20 MB file: loading it (both tag reads and the technical data), "Update Info"
// when the new tag fits the old one's space, and when it grows and the audio has to move. The last
// is printed as a ratio to a plain copy of the same file, the least any safe rewrite costs.
// Usage: bench_tageditor [FOLDER]   (default: the system temp folder)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include "controls/messageboxes.h"
#include "id3/id3v1.h"
#include "id3/id3v2write.h"
#include "tageditor/frmmain.h"

namespace {

constexpr int kRounds = 7;
constexpr size_t kAudioBytes = 20u * 1000 * 1000;

class SilentMessages : public MessageBoxes {
public:
    void Show(QWidget*, const QString&, MsgIcon, const QString&) override {}
    bool Ask(QWidget*, const QString&, const QString&) override { return false; }
};

template <typename F>
double MedianMs(F&& run) {
    std::vector<double> times;
    for (int i = 0; i < kRounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        run(i);
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

void WriteAudio(const std::string& path) {
    // 128 kbit/s 44100 Hz frames of silence: 417 bytes each.
    std::vector<char> frame(417, 0);
    frame[0] = static_cast<char>(0xFF);
    frame[1] = static_cast<char>(0xFB);
    frame[2] = static_cast<char>(0x90);
    frame[3] = static_cast<char>(0x44);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (size_t written = 0; written < kAudioBytes; written += frame.size()) out.write(frame.data(), 417);
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder =
        (argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path()) / "trimbel-bench-tageditor";
    std::filesystem::create_directories(folder);
    const std::string path = (folder / "song.mp3").string();
    const std::string copy = (folder / "copy.mp3").string();
    WriteAudio(path);
    mdlID3::ID3TagInfo info;
    info.Artist = "Bench Artist";
    info.Title = "Bench Title";
    info.Album = "Bench Album";
    mdlID3::WriteID3v2Tag(path, info, mdlID3::kWriteV23, true, true);
    mdlID3::WriteID3v1Tag(path, info, true);

    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SilentMessages messages;
    frmMain editor(&messages);
    editor.Model().SetPathHolder(path);
    editor.Model().SetFileTitle("song.mp3");

    const double load = MedianMs([&](int) { editor.cmdPick_Click(); });
    const double inPlace = MedianMs([&](int i) {
        editor.v2Title->setText(QStringLiteral("Title %1").arg(i));
        editor.cmdUpdate_Click();
    });
    // A text longer than any padding forces the whole file to be rebuilt each round.
    const double grow = MedianMs([&](int i) {
        editor.v2Comment->setPlainText(QString(4096 * (i + 1), QLatin1Char('c')));
        editor.cmdUpdate_Click();
    });
    const double plainCopy = MedianMs([&](int) {
        std::filesystem::copy_file(path, copy, std::filesystem::copy_options::overwrite_existing);
    });

    std::printf("file: %.1f MB, median of %d rounds\n",
                static_cast<double>(std::filesystem::file_size(path)) / 1e6, kRounds);
    std::printf("load (cmdPick_Click):            %8.2f ms\n", load);
    std::printf("update, tag fits in place:       %8.2f ms\n", inPlace);
    std::printf("update, tag grows (audio moved): %8.2f ms\n", grow);
    std::printf("plain copy of the file:          %8.2f ms\n", plainCopy);
    std::printf("growing update / plain copy:     %8.2f\n", grow / plainCopy);
    std::filesystem::remove_all(folder);
    return 0;
}
