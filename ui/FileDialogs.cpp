#include "FileDialogs.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>

namespace zelvo::ui {
namespace {

OpenFileAnswerer& answerer()
{
    static OpenFileAnswerer instance;
    return instance;
}

} // namespace

QString GetOpenFilePath(QWidget* owner, const QString& filter)
{
    QString chosen;
    if (answerer()) {
        chosen = answerer()(filter);
    } else {
        QString shown = filter;
#ifndef _WIN32
        // "*.*" means every file on Windows; elsewhere it would hide files without an extension.
        shown.replace(QStringLiteral("(*.*)"), QStringLiteral("(*)"));
#endif
        chosen = QFileDialog::getOpenFileName(owner, QString(), QString(), shown);
    }
    if (chosen.isEmpty())
        return {};
    return QDir::toNativeSeparators(QFileInfo(chosen).absoluteFilePath());
}

void SetOpenFileAnswerer(OpenFileAnswerer newAnswerer)
{
    answerer() = std::move(newAnswerer);
}

} // namespace zelvo::ui
