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
    std::vector<ShownMessage> shown;
};
