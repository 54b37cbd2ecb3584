#include "tageditor/editortesting.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <stdexcept>

#include <QApplication>
#include <QJsonDocument>
#include <QJsonObject>

namespace editortesting {

void EnsureApp() {
    if (QApplication::instance()) return;
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "test_tageditor";
    static char* argv[] = {name, nullptr};
    // Never destroyed: at exit Qt's own globals are already gone, and tearing the application
    // down after them crashes.
    new QApplication(argc, argv);
}

testfiles::Bytes Audio(int frames) { return testfiles::SilentFrames(frames); }

namespace {

// The system's interpreter: Debian's python3-mutagen lives in its dist-packages.
std::string Python() {
    return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
}

// Python string literal for arbitrary UTF-8 text.
std::string PyString(const std::string& text) {
    std::string out = "bytes.fromhex('";
    static const char* hex = "0123456789abcdef";
    for (unsigned char c : text) {
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out + "').decode('utf-8')";
}

}  // namespace

std::string RunPython(const std::string& program) {
    testfiles::TempDir dir;
    const std::string script = dir.file("script.py");
    testfiles::WriteFile(script, testfiles::FromString(program));
    const std::string command = Python() + " " + script + " 2>&1";
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) throw std::runtime_error("cannot start python3");
    std::string output;
    std::array<char, 4096> chunk;
    size_t n;
    while ((n = fread(chunk.data(), 1, chunk.size(), pipe)) > 0) output.append(chunk.data(), n);
    const int status = pclose(pipe);
    if (status != 0) throw std::runtime_error("python3 failed: " + output);
    return output;
}

void MutagenWriteV2(const std::string& path, const std::map<std::string, std::string>& frames, int version) {
    std::string program =
        "import mutagen.id3 as m\n"
        "try:\n    t = m.ID3(" + PyString(path) + ")\n"
        "except m.ID3NoHeaderError:\n    t = m.ID3()\n";
    for (const auto& [id, text] : frames) {
        const std::string value = PyString(text);
        if (id == "COMM")
            program += "t.add(m.COMM(encoding=3, lang='eng', desc='', text=[" + value + "]))\n";
        else if (id == "WXXX")
            program += "t.add(m.WXXX(encoding=3, desc='', url=" + value + "))\n";
        else if (id.rfind("TXXX:", 0) == 0)
            program += "t.add(m.TXXX(encoding=3, desc=" + PyString(id.substr(5)) + ", text=[" + value + "]))\n";
        else
            program += "t.add(m.Frames['" + id + "'](encoding=3, text=[" + value + "]))\n";
    }
    program += "t.save(" + PyString(path) + ", v1=0, v2_version=" + std::to_string(version) + ")\n";
    RunPython(program);
}

std::map<std::string, std::string> MutagenReadV2(const std::string& path) {
    const std::string program =
        "import json, mutagen.id3 as m\n"
        "try:\n    t = m.ID3(" + PyString(path) + ", load_v1=False)\n"
        "except m.ID3NoHeaderError:\n    print('{}'); raise SystemExit\n"
        "out = {'version': str(t.version[1])}\n"
        "for f in t.values():\n"
        "    key = f.FrameID if f.FrameID not in ('TXXX',) else 'TXXX:' + f.desc\n"
        "    if f.FrameID == 'WXXX': out[key] = f.url\n"
        "    elif f.FrameID == 'APIC': out[key] = f.mime + ':' + str(len(f.data))\n"
        "    else: out[key] = '/'.join(str(x) for x in f.text)\n"
        "print(json.dumps(out))\n";
    const std::string json = RunPython(program);
    std::map<std::string, std::string> result;
    const QJsonObject object = QJsonDocument::fromJson(QByteArray::fromStdString(json)).object();
    for (auto it = object.begin(); it != object.end(); ++it)
        result[it.key().toStdString()] = it.value().toString().toStdString();
    return result;
}

bool HasV1Tag(const std::string& path) {
    const testfiles::Bytes data = testfiles::ReadFile(path);
    return data.size() >= 128 && data[data.size() - 128] == 'T' && data[data.size() - 127] == 'A' &&
           data[data.size() - 126] == 'G';
}

}  // namespace editortesting
