#pragma once
// Stand-ins for the cutting window's platform pieces, and the application object its tests need.
#include <deque>
#include <string>
#include <vector>

#include <QApplication>

#include "controls/linkopener.h"
#include "support/fakewaveout.h"
#include "cutting/clock.h"
#include "cutting/filedialogs.h"
#include "cutting/mediaplayer.h"
#include "models/taghandover.h"

// One QApplication for the whole test program, offscreen unless told otherwise.
inline QApplication* TestApp() {
    static QApplication* app = [] {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "test_cutting";
        static char* argv[] = {name, nullptr};
        return new QApplication(argc, argv);
    }();
    return app;
}

// A player that does what it is told and records it, as the engine behaves: it has a sample
// rate, seeks to a sample, ends a run on the sample it is told (paused there), forgets that
// end on a seek, pause, stop or new file, and rewinds on stop. The position and the duration
// are set by the test; PlayOn moves the sound on as playing would.
class FakePlayer : public MediaPlayer {
public:
    void setURL(const QString& path) override {
        url = path;
        segments.clear();
        calls.push_back("URL=" + path.toStdString());
        endSample = -1;
        state = path.isEmpty() ? kStopped : kPlaying;
    }
    QString URL() const override { return url; }
    int playState() const override { return state; }
    void play() override {
        calls.push_back("play");
        state = kPlaying;
    }
    void pause() override {
        calls.push_back("pause");
        endSample = -1;
        state = kPaused;
    }
    void stop() override {
        calls.push_back("stop");
        endSample = -1;
        if (position > 0) position = 0;
        state = kStopped;
    }
    double currentPosition() const override { return position; }
    void setCurrentPosition(double seconds) override {
        calls.push_back("seek=" + std::to_string(seconds));
        endSample = -1;
        position = seconds;
    }
    // As the engine: once told the stretches of an edited timeline, the length is theirs.
    double duration() const override {
        if (segments.empty() || rate <= 0) return durationSeconds;
        int64_t samples = 0;
        for (const PlaySegment& s : segments) samples += s.sourceEnd - s.sourceStart;
        return static_cast<double>(samples) / rate;
    }
    // Known once a file is loaded; 0 stands for a file the player could not load.
    int sampleRate() const override { return url.isEmpty() ? 0 : rate; }
    void setPositionSamples(int64_t sample) override {
        calls.push_back("seek sample " + std::to_string(sample));
        endSample = -1;
        position = static_cast<double>(sample) / sampleRate();
    }
    bool setEndSample(int64_t sample) override {
        calls.push_back("end sample " + std::to_string(sample));
        endSample = sample;
        return true;
    }
    // Playing on to `seconds`: a run told where to end stops there, paused.
    void PlayOn(double seconds) {
        if (state == kPlaying && endSample >= 0 && seconds * rate >= static_cast<double>(endSample)) {
            position = static_cast<double>(endSample) / rate;
            state = kPaused;
            endSample = -1;
            return;
        }
        position = seconds;
    }
    bool setSegments(const std::vector<PlaySegment>& stretches) override {
        calls.push_back("segments=" + std::to_string(stretches.size()));
        segments = stretches;
        return true;
    }

    QString url;
    int state = kStopped;
    double position = -1;
    double durationSeconds = 0;
    int rate = 44100;
    int64_t endSample = -1;
    std::vector<PlaySegment> segments;
    std::vector<std::string> calls;
};

// Answers each dialog with the next prepared choice; an empty queue answers "cancelled".
class FakeDialogs : public FileDialogs {
public:
    FileChoice ShowOpen(QWidget*, const QString& filter) override {
        openFilters.push_back(filter);
        return Next(opens);
    }
    QStringList ShowOpenFiles(QWidget*, const QString& filter) override {
        openFilters.push_back(filter);
        if (openMany.empty()) return {};
        QStringList files = openMany.front();
        openMany.pop_front();
        return files;
    }
    FileChoice ShowSave(QWidget*, const QString& filter, const QString& fileName) override {
        saveFilters.push_back(filter);
        saveDefaults.push_back(fileName);
        return Next(saves);
    }
    FileChoice ShowSaveWithOption(QWidget* owner, const QString& filter, const QString& fileName, const QString& option,
                                  bool* checked) override {
        saveOptions.push_back(option);
        const FileChoice choice = ShowSave(owner, filter, fileName);
        if (!choice.path.isEmpty()) *checked = optionAnswer;
        return choice;
    }
    QString ShowFolder(QWidget*, const QString& caption) override {
        folderCaptions.push_back(caption);
        if (folders.empty()) return {};
        QString folder = folders.front();
        folders.pop_front();
        return folder;
    }
    void NoteOpened(const QString& path) override { noted.push_back(path); }

    std::deque<FileChoice> opens;
    std::deque<QStringList> openMany;  // answers to the dialog that picks several files
    std::deque<FileChoice> saves;
    std::deque<QString> folders;
    std::vector<QString> saveOptions;
    bool optionAnswer = false;  // the check box's state when a save dialog with one is accepted
    std::vector<QString> folderCaptions;
    std::vector<QString> openFilters, saveFilters, saveDefaults, noted;

private:
    static FileChoice Next(std::deque<FileChoice>& queue) {
        if (queue.empty()) return {};
        FileChoice choice = queue.front();
        queue.pop_front();
        return choice;
    }
};

class FixedClock : public Clock {
public:
    QString GeneralDateTime() const override { return text; }
    QString text = "24/05/2024 14:03:07";
};

// Records the hand-over calls; WriteInto can be told to fail.
class FakeTagHandOver : public TagHandOver {
public:
    void LoadFile(const std::string& path, const std::string& fileTitle) override {
        calls.push_back("load " + path + " | " + fileTitle);
    }
    void ShowFor(const std::string& path, const std::string& fileTitle) override {
        calls.push_back("show " + path + " | " + fileTitle);
    }
    bool WriteInto(const std::string& clipPath, std::string* error) override {
        calls.push_back("write");
        writtenPath = clipPath;
        if (failWrite) {
            *error = "Tag write failed: No space left on device";
            return false;
        }
        return true;
    }

    std::vector<std::string> calls;
    std::string writtenPath;
    bool failWrite = false;
};


// Records the addresses it is asked to open instead of starting a browser.
class RecordingLinkOpener : public LinkOpener {
public:
    int32_t Open(const QString& link) override {
        opened.push_back(link.toStdString());
        return 42;
    }
    std::vector<std::string> opened;
};
