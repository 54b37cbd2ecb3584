#include "tageditor/taghandover.h"

#include <QApplication>
#include <QFileInfo>

#include "models/tageditor.h"
#include "tageditor/frmmain.h"
#include "tageditor/writeprogress.h"

namespace {

void CentreOver(QWidget& window, const QWidget& owner) {
    window.adjustSize();
    const QRect frame = window.frameGeometry();
    QRect placed(QPoint(), frame.size());
    placed.moveCenter(owner.frameGeometry().center());
    window.move(placed.topLeft());
}

class EditorHandOver : public TagHandOver {
public:
    explicit EditorHandOver(MessageBoxes* messages) : messages_(messages) {}

    void LoadFile(const std::string& path, const std::string& fileTitle) override {
        Editor();
        model_.LoadFile(path, fileTitle);
    }

    void ShowFor(const std::string& path, const std::string& fileTitle) override {
        frmMain& editor = Editor();
        // The window asking is the active one; the editor opens centred over it.
        QWidget* owner = QApplication::activeWindow();
        model_.ShowFor(path, fileTitle);
        editor.setWindowState(editor.windowState() & ~Qt::WindowMinimized);
        if (!editor.isVisible() && owner && owner != &editor) CentreOver(editor, *owner);
        editor.show();
        editor.raise();
        editor.activateWindow();
    }

    bool WriteInto(const std::string& clipPath, std::string* error) override {
        Editor();
        // A tag that grows moves the clip's audio: seconds on a long clip, shown as progress.
        WriteProgress progress(QApplication::activeWindow(),
                               QStringLiteral("Writing the tags of %1...")
                                   .arg(QFileInfo(QString::fromStdString(clipPath)).fileName()),
                               QGuiApplication::platformName() != QLatin1String("offscreen"));
        return model_.WriteInto(clipPath, error);
    }

    // Save Selection writes the clip with these tags in one pass, as `trimbel cut` does; WriteInto
    // is left for a range that starts with a tag of its own.
    bool TagsForClip(ClipTags* tags) override {
        Editor();
        return model_.TagsForClip(tags);
    }

private:
    frmMain& Editor() {
        if (!editor_) editor_ = std::make_unique<frmMain>(messages_, &model_);
        return *editor_;
    }

    MessageBoxes* messages_;
    TagEditor model_;
    std::unique_ptr<frmMain> editor_;
};

}  // namespace

std::unique_ptr<TagHandOver> CreateTagHandOver(MessageBoxes* messages) {
    return std::make_unique<EditorHandOver>(messages);
}
