// The run dialogs driven as a user drives them: controls found by their template id, paths chosen
// through the "..." buttons, and each test in a fresh folder named as users name theirs.
#pragma once

#include "DialogTestSupport.h"
#include "StringTable.h"
#include "Workers.h"

#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QRandomGenerator>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using zelvo::ui::MsgAnswer;
using zelvo::ui::MsgButtons;
using zelvo::ui::MsgIcon;

constexpr qint64 MB = 1048576;

template <typename T = QWidget> T* Control(QWidget& dialog, int id)
{
    return dialog.findChild<T*>(QString::number(id));
}

inline void Click(QWidget& dialog, int id)
{
    auto* button = Control<QPushButton>(dialog, id);
    QVERIFY(button && button->isEnabled());
    button->click();
}

// Chooses path with the "..." button id: 1007 the folder chooser, else the file-open dialog.
inline void Browse(QWidget& dialog, int id, const QString& path)
{
    zelvo::ui::SetOpenFileAnswerer([path](const QString&) { return path; });
    zelvo::ui::SetFolderDialogAnswerer([path](const QString&, const QString&) { return path; });
    Click(dialog, id);
}

// The text of id, with path in place of "%1" when there is one.
inline QString Text(int id, const QString& path = {})
{
    if (path.isEmpty())
        return QString::fromStdString(zelvo::LoadString(id));
    return QString::fromStdString(zelvo::FormatString1(zelvo::LoadString(id), path.toStdString()));
}

inline QByteArray Pattern(qint64 size, quint32 seed)
{
    QByteArray bytes(size, '\0');
    QRandomGenerator(seed).fillRange(reinterpret_cast<quint32*>(bytes.data()), size / 4);
    return bytes;
}

inline bool WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline QByteArray ReadBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A fresh folder with "out" in it, its own settings file, and every box recorded instead of shown.
inline bool StartDialogTest(std::unique_ptr<QTemporaryDir>& dir, BoxRecorder& boxes)
{
    dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/zelvo dlg 分割 ファイル-XXXXXX"));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir->filePath(QStringLiteral("settings")));
    boxes = BoxRecorder();
    boxes.Install();
    return dir->isValid() && QDir(dir->path()).mkpath(QStringLiteral("out"));
}

// No seam and no worker of one test may reach into the next.
inline void EndDialogTest()
{
    ResetTestSeams();
    QTRY_VERIFY_WITH_TIMEOUT(!zelvo::ComminuteWorkerBusy() && !zelvo::MergeWorkerBusy(), 20000);
}
