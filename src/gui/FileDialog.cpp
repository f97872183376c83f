#include "FileDialog.h"

#include <algorithm>

#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTreeView>

namespace {

// Qt's own dialog, in the window's language and placed by the program.
// Over a window too small to centre on (the Small Box strip) it would open
// at the screen's corner at its smallest; it opens centred over its window,
// on that window's screen, at a size its columns fit.
void Prepare(QFileDialog &dialog, QWidget *parent)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    // The name takes the room the size, type and date leave; those show whole.
    if (auto *list = dialog.findChild<QTreeView *>(QStringLiteral("treeView"))) {
        QHeaderView *header = list->header();
        header->setStretchLastSection(false);
        for (int column = 0; column < header->count(); ++column)
            header->setSectionResizeMode(column,
                                         column == 0 ? QHeaderView::Stretch : QHeaderView::ResizeToContents);
    }
    QScreen *screen = parent ? parent->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QSize size = dialog.sizeHint().expandedTo(QSize(720, 440)).boundedTo(area.size() * 9 / 10);
    dialog.resize(size);
    const QPoint centre = parent ? parent->frameGeometry().center() : area.center();
    QPoint at = centre - QPoint(size.width() / 2, size.height() / 2);
    at.setX(std::clamp(at.x(), area.left(), area.right() - size.width()));
    at.setY(std::clamp(at.y(), area.top(), area.bottom() - size.height()));
    dialog.move(at);
}

} // namespace

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
    Prepare(dialog, parent);
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
    Prepare(dialog, parent);
    // Qt asks before replacing an existing file unless told not to.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    const QString path = dialog.selectedFiles().first();
    lastSaveFolder_ = QFileInfo(path).absolutePath();
    return path;
}
