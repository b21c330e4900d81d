#include "CFolderDialog.h"

#include "FileDialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace zelvo::ui {
namespace {

FolderDialogAnswerer& Answerer()
{
    static FolderDialogAnswerer instance;
    return instance;
}

} // namespace

const QString& CFolderDialog::Title()
{
    static const QString title = QStringLiteral("Select folder for destination files:");
    return title;
}

QString CFolderDialog::StartFolder()
{
    return QDir::homePath();
}

int CFolderDialog::Browse()
{
    QString start = m_strRoot.isEmpty() ? LastPickedFolder(m_strPlace) : m_strRoot;
    if (start.isEmpty())
        start = StartFolder();
    QString chosen;
    if (Answerer()) {
        chosen = Answerer()(Title(), start);
    } else {
        // Parented to the active dialog so the picker sits over it and keeps it from starting a
        // run while the destination is being chosen.
        chosen =
            QFileDialog::getExistingDirectory(QApplication::activeWindow(), Title(), start, QFileDialog::ShowDirsOnly);
    }
    if (chosen.isEmpty())
        return 0;

    // Only a folder that exists counts as a choice; cleanPath drops a trailing separator except
    // on a root, where the chip names are then joined without doubling it.
    const QFileInfo info(chosen);
    if (!info.isDir())
        return 0;
    m_strPath = QDir::toNativeSeparators(QDir::cleanPath(info.absoluteFilePath()));
    RememberPickedFolder(m_strPlace, m_strPath);
    return 1;
}

void SetFolderDialogAnswerer(FolderDialogAnswerer newAnswerer)
{
    Answerer() = std::move(newAnswerer);
}

} // namespace zelvo::ui
