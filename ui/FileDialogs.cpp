#include "FileDialogs.h"

#include "AppRules.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QSettings>
#include <QUrl>

namespace zelvo::ui {
namespace {

OpenFileAnswerer& Answerer()
{
    static OpenFileAnswerer instance;
    return instance;
}

QString SettingsKey(const QString& place)
{
    return QStringLiteral("LastFolders/") + place;
}

// The application's settings, whether or not the application object has named its scope.
QSettings Settings()
{
    return QSettings(QString::fromUtf8(core::kCompanyName), QString::fromUtf8(core::kProductName));
}

} // namespace

QString LastPickedFolder(const QString& place)
{
    if (place.isEmpty())
        return {};
    const QString folder = Settings().value(SettingsKey(place)).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QString();
}

void RememberPickedFolder(const QString& place, const QString& folder)
{
    if (!place.isEmpty())
        Settings().setValue(SettingsKey(place), folder);
}

QString GetOpenFilePath(QWidget* owner, const QString& filter, const QString& place)
{
    QString chosen;
    if (Answerer()) {
        chosen = Answerer()(filter);
    } else {
        QString shown = filter;
#ifndef _WIN32
        // "*.*" means every file on Windows; elsewhere it would hide files without an extension.
        shown.replace(QStringLiteral("(*.*)"), QStringLiteral("(*)"));
#endif
        chosen = QFileDialog::getOpenFileName(owner, QString(), LastPickedFolder(place), shown);
    }
    if (chosen.isEmpty())
        return {};
    const QFileInfo info(chosen);
    RememberPickedFolder(place, QDir::toNativeSeparators(info.absolutePath()));
    return QDir::toNativeSeparators(info.absoluteFilePath());
}

void SetOpenFileAnswerer(OpenFileAnswerer newAnswerer)
{
    Answerer() = std::move(newAnswerer);
}

QString DroppedPath(const QMimeData* data, bool folder)
{
    const QList<QUrl> urls = data ? data->urls() : QList<QUrl>();
    if (urls.size() != 1 || !urls.first().isLocalFile())
        return {};
    const QFileInfo info(urls.first().toLocalFile());
    if (folder ? !info.isDir() : !info.isFile())
        return {};
    return QDir::toNativeSeparators(folder ? QDir::cleanPath(info.absoluteFilePath()) : info.absoluteFilePath());
}

} // namespace zelvo::ui
