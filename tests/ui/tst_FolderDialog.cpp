#include "CFolderDialog.h"

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

private slots:
    void initTestCase();
    void cleanup();
    void browse_data();
    void browse();
    void cancelKeepsEarlierPath();
    void opensWhereLastPickedWithFixedTitle();

private:
    QTemporaryDir m_dir;
};

void TestFolderDialog::initTestCase()
{
    QVERIFY(m_dir.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("plain")));
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("with spaces 分割 ファイル")));
    QFile file(m_dir.filePath(QStringLiteral("not a folder.bin")));
    QVERIFY(file.open(QIODevice::WriteOnly));
}

void TestFolderDialog::cleanup()
{
    SetFolderDialogAnswerer({});
}

void TestFolderDialog::browse_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("path");

    const QString plain = m_dir.filePath(QStringLiteral("plain"));
    const QString wide = m_dir.filePath(QStringLiteral("with spaces 分割 ファイル"));
    QTest::newRow("cancel returns 0 and leaves the path empty") << QString() << 0 << QString();
    QTest::newRow("ordinary folder, full path") << plain << 1 << QDir::toNativeSeparators(plain);
    QTest::newRow("spaces and CJK kept") << wide << 1 << QDir::toNativeSeparators(wide);
    QTest::newRow("trailing separator dropped") << plain + QLatin1Char('/') << 1 << QDir::toNativeSeparators(plain);
    QTest::newRow("root keeps its separator") << QDir::rootPath() << 1 << QDir::toNativeSeparators(QDir::rootPath());
    QTest::newRow("a file is not a folder") << m_dir.filePath(QStringLiteral("not a folder.bin")) << 0 << QString();
    QTest::newRow("a folder that is gone") << m_dir.filePath(QStringLiteral("gone")) << 0 << QString();
}

void TestFolderDialog::browse()
{
    QFETCH(QString, answer);
    QFETCH(int, result);
    QFETCH(QString, path);

    SetFolderDialogAnswerer([&](const QString&, const QString&) { return answer; });
    CFolderDialog dialog;
    QCOMPARE(dialog.Browse(), result);
    QCOMPARE(dialog.m_strPath, path);
}

void TestFolderDialog::cancelKeepsEarlierPath()
{
    const QString plain = QDir::toNativeSeparators(m_dir.filePath(QStringLiteral("plain")));
    SetFolderDialogAnswerer([](const QString&, const QString&) { return QString(); });
    CFolderDialog dialog;
    dialog.m_strPath = plain;
    QCOMPARE(dialog.Browse(), 0);
    QCOMPARE(dialog.m_strPath, plain);
}

void TestFolderDialog::opensWhereLastPickedWithFixedTitle()
{
    QStringList titles;
    QStringList starts;
    QString chosen = m_dir.filePath(QStringLiteral("plain"));
    SetFolderDialogAnswerer([&](const QString& title, const QString& start) {
        titles << title;
        starts << start;
        return chosen;
    });
    const auto browse = [](const QString& place) {
        CFolderDialog dialog;
        dialog.m_strPlace = place;
        return dialog.Browse();
    };
    // Each place remembers its own pick; a remembered folder that is gone opens at the top again.
    QCOMPARE(browse("A"), 1);
    QCOMPARE(browse("A"), 1);
    QCOMPARE(browse("B"), 1);
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("brief")));
    chosen = m_dir.filePath(QStringLiteral("brief"));
    QCOMPARE(browse("C"), 1);
    QVERIFY(QDir(chosen).removeRecursively());
    QCOMPARE(browse("C"), 0);
    QCOMPARE(titles, QStringList(5, QStringLiteral("Select folder for destination files:")));
    const QString plain = QDir::toNativeSeparators(m_dir.filePath(QStringLiteral("plain")));
    QCOMPARE(starts, QStringList({QDir::homePath(), plain, QDir::homePath(), QDir::homePath(), QDir::homePath()}));
}

QTEST_MAIN(TestFolderDialog)
#include "tst_FolderDialog.moc"
