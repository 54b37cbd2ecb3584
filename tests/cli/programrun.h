#pragma once
// Runs the built `trimbel` and keeps what it said, for the tests that run it as a program.
#include <string>

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include "support/testfiles.h"

struct ProgramRun {
    int exitCode = -1;  // -1: did not finish, or was killed by a signal
    std::string out;
    std::string err;
    bool Says(const std::string& text) const { return err.find(text) != std::string::npos; }
};

// `folder`, when given, is the working folder.
ProgramRun Trimbel(const QStringList& args, const QString& folder = QString());

// The object that `text` (a --json output) holds; empty when it holds none.
QJsonObject Json(const std::string& text);

// Random bytes with one lone frame header early on, behind a WAV header when `wavHeader`: no
// chained frames, so no MPEG audio.
testfiles::Bytes NoMpegAudio(bool wavHeader);

inline QString Q(const std::string& s) { return QString::fromStdString(s); }

// Encodes `synth` (sox's synth arguments, seconds first) at 44.1 kHz stereo with lame into `mp3`;
// false when sox or lame failed.
bool EncodeSong(const std::string& mp3, const std::string& synth, const std::string& lameOptions = "-b 128");
