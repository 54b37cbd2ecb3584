#include "controls/messageboxes.h"

#include <QMessageBox>

void QtMessageBoxes::Show(QWidget* owner, const QString& text, MsgIcon icon, const QString& caption) {
    QMessageBox::Icon qicon = QMessageBox::NoIcon;
    switch (icon) {
    case MsgIcon::Error: qicon = QMessageBox::Critical; break;
    case MsgIcon::Exclamation: qicon = QMessageBox::Warning; break;
    case MsgIcon::Information: qicon = QMessageBox::Information; break;
    case MsgIcon::Question: qicon = QMessageBox::Question; break;
    case MsgIcon::None: break;
    }
    QMessageBox box(qicon, caption, text, QMessageBox::Ok, owner);
    box.exec();
}

bool QtMessageBoxes::Ask(QWidget* owner, const QString& text, const QString& caption) {
    QMessageBox box(QMessageBox::Question, caption, text, QMessageBox::Yes | QMessageBox::No, owner);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
