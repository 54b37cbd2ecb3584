#pragma once
// Message boxes as the windows use them: text, icon, caption, owner. Windows receive this
// interface so tests can record the messages instead of showing them.
#include <QString>

class QWidget;

// Caption of every message box of the program except the clip-save failure ("Error").
inline constexpr const char* kAppTitle = "Trimbel";

enum class MsgIcon { None, Error, Exclamation, Information, Question };

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    virtual void Show(QWidget* owner, const QString& text, MsgIcon icon, const QString& caption) = 0;
    // A question with Yes and No; true for Yes.
    virtual bool Ask(QWidget* owner, const QString& text, const QString& caption) = 0;
};

// Modal QMessageBox with the matching icon.
class QtMessageBoxes : public MessageBoxes {
public:
    void Show(QWidget* owner, const QString& text, MsgIcon icon, const QString& caption) override;
    bool Ask(QWidget* owner, const QString& text, const QString& caption) override;
};
