// Writes language files for the tests, stored as the shipped ones are: UTF-16 little-endian with a
// byte-order mark and CR LF line ends.
#pragma once

#include <QDir>
#include <QFile>
#include <QStringEncoder>
#include <QStringList>

// entries: "Section/key=text".
inline bool WriteLangFile(const QString& path, const QStringList& entries)
{
    // A header before every entry: the reader gathers repeated sections into one.
    QString text;
    for (const QString& entry : entries)
        text += "[" + entry.section('/', 0, 0) + "]\r\n" + entry.section('/', 1) + "\r\n";
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(QByteArray(utf16(text))) > 0;
}

// The title and every menu text, each naming its file, popup and key: "CHS File 1001".
inline QStringList MenuEntries(const QString& tag, const QString& title)
{
    QStringList entries{"Application/Title=" + title};
    for (const char* popup : {"File", "Setting", "Lang", "Help"}) {
        for (const char* key : {"1000", "1001", "1002", "1003"})
            entries << QString("%1 Menu/%2=%3 %1 %2").arg(popup, key, tag);
    }
    return entries;
}
