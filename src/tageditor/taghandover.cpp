#include "tageditor/taghandover.h"

#include <QCheckBox>
#include <QLabel>

#include "tageditor/frmmain.h"

namespace {

// The editor window behind the cutting window's three hand-over points. The window is built on
// first use, hidden, and kept until the program ends (it has no parent; the hand-over owns it).
class EditorHandOver : public TagHandOver {
public:
    explicit EditorHandOver(MessageBoxes* messages) : messages_(messages) {}

    void LoadFile(const QString& path, const QString& fileTitle) override {
        frmMain& editor = Editor();
        editor.Label25->setText(path);
        editor.Label23->setText(fileTitle);
        editor.cmdPick_Click();
    }

    void ShowFor(const QString& path, const QString& fileTitle) override {
        frmMain& editor = Editor();
        editor.Label23->setText(fileTitle);
        editor.Label25->setText(path);
        editor.chkv2->setChecked(true);
        editor.setWindowState(editor.windowState() & ~Qt::WindowMinimized);
        editor.show();
        editor.raise();
        editor.activateWindow();
    }

    bool WriteInto(const QString& clipPath, QString* error) override {
        frmMain& editor = Editor();
        // The holder goes back to the file the editor shows, so that "Update Info" in an editor
        // left open during the save still writes into that file and not into the clip.
        const QString shownPath = editor.Label25->text();
        editor.Label25->setText(clipPath);
        const bool written = editor.cmdUpdate_Click(error);
        editor.Label25->setText(shownPath);
        return written;
    }

private:
    frmMain& Editor() {
        if (!editor_) editor_ = std::make_unique<frmMain>(messages_);
        return *editor_;
    }

    MessageBoxes* messages_;
    std::unique_ptr<frmMain> editor_;
};

}  // namespace

std::unique_ptr<TagHandOver> CreateTagHandOver(MessageBoxes* messages) {
    return std::make_unique<EditorHandOver>(messages);
}
