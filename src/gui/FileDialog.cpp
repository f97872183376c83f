#include "FileDialog.h"

#include <QFileDialog>
#include <QFileInfo>

std::optional<QString> FileDialog::Answer()
{
    ++shown_;
    if (answers_.empty()) return std::nullopt;
    QString path = answers_.front();
    answers_.pop_front();
    return path;
}

QString FileDialog::Open(QWidget *parent)
{
    if (auto answer = Answer()) return *answer;
    QFileDialog dialog(parent, QString(), lastOpenFolder_, OpenFilter);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString path = dialog.selectedFiles().first();
    lastOpenFolder_ = QFileInfo(path).absolutePath();
    return path;
}

QString FileDialog::Save(QWidget *parent)
{
    if (auto answer = Answer()) return *answer;
    QFileDialog dialog(parent, QString(), lastSaveFolder_, SaveFilter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("hex"));
    // Qt asks before replacing an existing file unless told not to.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString path = dialog.selectedFiles().first();
    lastSaveFolder_ = QFileInfo(path).absolutePath();
    return path;
}
