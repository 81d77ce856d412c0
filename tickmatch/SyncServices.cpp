#include "tickmatch/SyncServices.h"

#include <QMessageBox>
#include <QString>

namespace {

// Texts break their lines with LF CR; the box wants plain line feeds.
QString BoxText(const std::string& text) {
    QString s = QString::fromStdString(text);
    s.replace("\n\r", "\n");
    s.replace("\r\n", "\n");
    return s;
}

} // namespace

void TMessageBoxDialogs::Warning(const std::string& text) {
    QMessageBox::warning(nullptr, "Warning", BoxText(text));
}

void TMessageBoxDialogs::Error(const std::string& text) {
    QMessageBox::critical(nullptr, "Error", BoxText(text));
}

bool TMessageBoxDialogs::AskYesNo(const std::string& text) {
    QMessageBox box(QMessageBox::Information, "Information", BoxText(text),
                    QMessageBox::Yes | QMessageBox::No);
    box.setEscapeButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}
