#pragma once
// Records every message box a window asks for, in order. Each box is also a real modal window
// for a moment, as a real box is: it takes the focus from the window while it is up, and the
// window gets it back only when it is activated again, as a window manager does right after.
#include <vector>

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

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
        TakeTheFocus(owner);
    }
    // Records the question with the Question icon and gives `answer`.
    bool Ask(QWidget* owner, const QString& text, const QString& caption) override {
        asked.push_back({text, MsgIcon::Question, caption, owner});
        TakeTheFocus(owner);
        return answer;
    }
    std::vector<ShownMessage> shown;
    std::vector<ShownMessage> asked;
    bool answer = false;

private:
    static void TakeTheFocus(QWidget* owner) {
        QDialog box(owner);
        box.setModal(true);
        auto* ok = new QPushButton("OK", &box);
        ok->setDefault(true);
        box.show();
        box.activateWindow();
        ok->setFocus(Qt::ActiveWindowFocusReason);
        QApplication::processEvents();
        box.hide();
        QApplication::processEvents();
        if (!owner) return;
        QTimer::singleShot(0, owner->window(), [window = QPointer<QWidget>(owner->window())] {
            if (window) window->activateWindow();
        });
    }
};
