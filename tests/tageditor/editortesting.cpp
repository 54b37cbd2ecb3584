#include "tageditor/editortesting.h"

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

namespace {

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

// Runs `program` with mutagen importable and the file's path in sys.argv[1]; its standard output.
std::string RunMutagen(const std::string& program, const std::string& path) {
    int status = -1;
    const std::string output = testfiles::PythonOutput("import json, sys, mutagen.id3 as m\n" + program, path, &status);
    if (status != 0) throw std::runtime_error("python3 failed: " + output);
    return output;
}

}  // namespace

void MutagenWriteV2(const std::string& path, const std::map<std::string, std::string>& frames, int version) {
    std::string program =
        "try:\n    t = m.ID3(sys.argv[1])\n"
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
    RunMutagen(program + "t.save(sys.argv[1], v1=0, v2_version=" + std::to_string(version) + ")\n", path);
}

std::map<std::string, std::string> MutagenReadV2(const std::string& path) {
    const std::string json = RunMutagen(
        "try:\n    t = m.ID3(sys.argv[1], load_v1=False)\n"
        "except m.ID3NoHeaderError:\n    print('{}'); raise SystemExit\n"
        "out = {'version': str(t.version[1])}\n"
        "for f in t.values():\n"
        "    key = f.FrameID if f.FrameID not in ('TXXX',) else 'TXXX:' + f.desc\n"
        "    if f.FrameID == 'WXXX': out[key] = f.url\n"
        "    else: out[key] = '/'.join(str(x) for x in f.text)\n"
        "print(json.dumps(out))\n",
        path);
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
