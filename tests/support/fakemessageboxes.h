#pragma once
// Records every message box a window asks for, in order.
#include <vector>

#include "controls/messageboxes.h"

struct ShownMessage {
    QString text;
    MsgIcon icon;
    QString caption;
    QWidget* owner;
};

class FakeMessageBoxes : public MessageBoxes {
public:
    void Show(QWidget* owner, const QString& text, MsgIcon icon, const QString& caption) override {
        shown.push_back({text, icon, caption, owner});
    }
    // Records the question with the Question icon and gives `answer`.
    bool Ask(QWidget* owner, const QString& text, const QString& caption) override {
        asked.push_back({text, MsgIcon::Question, caption, owner});
        return answer;
    }
    std::vector<ShownMessage> shown;
    std::vector<ShownMessage> asked;
    bool answer = false;
};
