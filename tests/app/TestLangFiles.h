// Writes language files the way the shipped ones are stored: UTF-16 little-endian with a
// byte-order mark and CR LF line ends.
#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <utility>
#include <vector>

struct LangEntry
{
    QString section;
    QString key;
    QString value;
};
using LangEntries = std::vector<LangEntry>;

inline bool WriteLangFile(const QString& path, const LangEntries& entries)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QString text;
    QString section;
    bool first = true;
    for (const LangEntry& entry : entries) {
        if (first || entry.section != section) {
            text += QStringLiteral("[%1]\r\n").arg(entry.section);
            section = entry.section;
            first = false;
        }
        text += entry.key + QLatin1Char('=') + entry.value + QStringLiteral("\r\n");
    }
    QByteArray bytes("\xFF\xFE", 2);
    for (QChar c : std::as_const(text)) {
        bytes.append(static_cast<char>(c.unicode() & 0xFF));
        bytes.append(static_cast<char>(c.unicode() >> 8));
    }
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// A complete menu of one language: every text tagged with the language's name, so a test can
// tell which file each text came from.
inline LangEntries MenuEntries(const QString& tag, const QString& title)
{
    return {
        {"Application", "Title", title},
        {"File Menu", "1000", tag + " &File"},
        {"File Menu", "1001", tag + " Comminute"},
        {"File Menu", "1002", tag + " Merge"},
        {"File Menu", "1003", tag + " Exit"},
        {"Setting Menu", "1000", tag + " &Setting"},
        {"Setting Menu", "1001", tag + " Language"},
        {"Lang Menu", "1000", tag + " English"},
        {"Lang Menu", "1001", tag + " Simplified Chinese"},
        {"Lang Menu", "1002", tag + " Traditional Chinese"},
        {"Lang Menu", "1003", tag + " Japanese"},
        {"Help Menu", "1000", tag + " &Help"},
        {"Help Menu", "1001", tag + " About"},
    };
}

inline LangEntries Without(LangEntries entries, const QString& section, const QString& key = {})
{
    std::erase_if(entries, [&](const LangEntry& e) { return e.section == section && (key.isEmpty() || e.key == key); });
    return entries;
}
