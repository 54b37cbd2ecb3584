#include "programrun.h"

#include <algorithm>

#include <QJsonDocument>
#include <QProcess>

#include "support/testfiles.h"

ProgramRun Trimbel(const QStringList& args, const QString& folder) {
    QProcess process;
    if (!folder.isEmpty()) process.setWorkingDirectory(folder);
    process.start(TRIMBEL_BINARY, args);
    ProgramRun run;
    if (!process.waitForFinished(60000)) return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

bool EncodeSong(const std::string& mp3, const std::string& synth, const std::string& lameOptions) {
    using testfiles::ShellQuote;
    const std::string wav = mp3 + ".wav";
    int status = -1;
    testfiles::CommandOutput("sox -n -r 44100 -c 2 -b 16 " + ShellQuote(wav) + " synth " + synth +
                                 " && lame --quiet " + lameOptions + " " + ShellQuote(wav) + " " + ShellQuote(mp3) +
                                 " && rm " + ShellQuote(wav),
                             &status);
    return status == 0;
}

QJsonObject Json(const std::string& text) { return QJsonDocument::fromJson(QByteArray::fromStdString(text)).object(); }

testfiles::Bytes NoMpegAudio(bool wavHeader) {
    testfiles::Bytes noise(64000);
    uint32_t seed = 3;
    for (auto& b : noise) b = static_cast<uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    std::copy_n(testfiles::SilentFrame().begin(), 4, noise.begin() + 200);
    if (!wavHeader) return noise;
    return testfiles::Concat(
        {testfiles::FromString("RIFF"), testfiles::Bytes(4, 0x10), testfiles::FromString("WAVEfmt "), noise});
}
