#pragma once
// What the cutting window asks of the tag editor: load a file when it is opened, show the editor
// on the open file, and write the editor's fields into a saved clip. The cutting window and the
// command line's `cut` hold this interface only.
#include <memory>

#include <QString>

class MessageBoxes;

class TagHandOver {
public:
    virtual ~TagHandOver() = default;
    // Open: the editor (created hidden on first use) loads the file's data and tags.
    virtual void LoadFile(const QString& path, const QString& fileTitle) = 0;
    // "View/Change  MP3 Info": show the editor, not modal, on the open file.
    virtual void ShowFor(const QString& path, const QString& fileTitle) = 0;
    // Save Selection: write the editor's fields into the clip. False, with a reason, on failure.
    virtual bool WriteInto(const QString& clipPath, QString* error) = 0;
};

// The program's editor window behind the interface. Needs a QApplication. May return null while
// no editor is built in, in which case callers skip the hand-over.
std::unique_ptr<TagHandOver> CreateTagHandOver(MessageBoxes* messages);
