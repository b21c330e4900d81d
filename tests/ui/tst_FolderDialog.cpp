// The destination folder chooser: what counts as a choice and how its path is written, and where
// the picker opens.
#include "DialogTestSupport.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using zelvo::ui::CFolderDialog;
using zelvo::ui::SetFolderDialogAnswerer;

class TestFolderDialog final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void initTestCase()
    {
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("plain")));
    }
    void cleanup() { ResetTestSeams(); }

    // Each place remembers its own pick; a cancel keeps the earlier path; a remembered folder that
    // is gone opens at the top again.
    void opensWhereLastPicked()
    {
        QStringList starts;
        QString chosen = m_dir.filePath(QStringLiteral("plain/"));
        SetFolderDialogAnswerer([&](const QString&, const QString& start) {
            starts << start;
            return chosen;
        });
        // The path chosen, or "0" and the earlier path when nothing was.
        const auto browse = [](const QString& place) {
            CFolderDialog dialog;
            dialog.m_strPlace = place;
            dialog.m_strPath = QStringLiteral("earlier");
            return dialog.Browse() ? dialog.m_strPath : "0 " + dialog.m_strPath;
        };
        const QString plain = QDir::toNativeSeparators(m_dir.filePath(QStringLiteral("plain")));
        QCOMPARE(browse("A"), plain); // without the trailing separator
        QCOMPARE(browse("A"), plain);
        QCOMPARE(browse("B"), plain);
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("brief")));
        chosen = m_dir.filePath(QStringLiteral("brief"));
        QCOMPARE(browse("C"), QDir::toNativeSeparators(chosen));
        QVERIFY(QDir(chosen).removeRecursively());
        chosen.clear(); // cancelled
        QCOMPARE(browse("C"), QStringLiteral("0 earlier"));
        QCOMPARE(starts, QStringList({QDir::homePath(), plain, QDir::homePath(), QDir::homePath(), QDir::homePath()}));
    }
};

QTEST_MAIN(TestFolderDialog)
#include "tst_FolderDialog.moc"
