// The texts the Comminute and Merge dialogs take from the language file when they open, and the
// double-click messages with their built-in fallbacks.
#include "LangText.h"
#include "LanguageTable.h"

#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

using namespace zelvo::lang;

namespace {

// A file with every dialog text tagged by its key.
CIniFile loadedFile(QTemporaryDir& dir, const QString& lines)
{
    const QString path = dir.filePath(QStringLiteral("T.lang"));
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    QByteArray bytes("\xFF\xFE", 2);
    const QString text = QString(lines).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    out.write(bytes);
    out.close();
    CIniFile file;
    file.SetPath(path.toStdU16String());
    file.Load();
    return file;
}

const char* const kComminute = "[Doc Comminute Dialog]\n"
                               "Dialog Title=T\nFile Size Prompt=S\nChip File Totals Prompt=N\n"
                               "Group Title Destination=GD\nGroup Title Source=GS\nDestination Path Prompt=DP\n"
                               "Source File Prompt=SP\nComminute=GO\n";

} // namespace

class TestDialogTexts : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;

private slots:
    void textsInOrderWithControlIds_data()
    {
        QTest::addColumn<bool>("merge");
        QTest::addColumn<QString>("expected");
        QTest::newRow("comminute, Close missing stays empty")
            << false << "0=T 1019=S 1020=N 1017=GD 1016=GS 1021=DP 1018=SP 1=GO 2=";
        QTest::newRow("merge, a file without its section: all empty")
            << true << "0= 1026= 1027= 1022= 1024= 1025= 1023= 1= 2=";
    }

    void textsInOrderWithControlIds()
    {
        QFETCH(bool, merge);
        QFETCH(QString, expected);
        CIniFile file = loadedFile(m_dir, QString::fromUtf8(kComminute));
        const auto texts = DialogTextsFor(merge ? LangDialog::Merge : LangDialog::Comminute, file, 0);
        QVERIFY(texts);
        QStringList got;
        for (const DialogText& t : *texts)
            got << QStringLiteral("%1=%2").arg(t.controlId).arg(t.text);
        QCOMPARE(got.join(' '), expected);
    }

    void noLanguageKeepsTemplateTexts()
    {
        CIniFile file = loadedFile(m_dir, QString::fromUtf8(kComminute));
        QVERIFY(!DialogTextsFor(LangDialog::Comminute, file, kNoLanguage));

        QDialog dialog;
        dialog.setWindowTitle(QStringLiteral("File Comminute"));
        auto* label = new QLabel(QStringLiteral("Files Size:"), &dialog);
        label->setObjectName(QStringLiteral("1019"));
        auto* group = new QGroupBox(QStringLiteral("Source"), &dialog);
        group->setProperty("id", 1016);
        auto* start = new QPushButton(QStringLiteral("Comminute"), &dialog);
        start->setObjectName(QStringLiteral("1"));

        int language = kNoLanguage;
        RegisterLanguageState(language, file);
        ApplyDialogTexts(dialog, LangDialog::Comminute);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("File Comminute"));
        QCOMPARE(label->text(), QStringLiteral("Files Size:"));
        QCOMPARE(group->title(), QStringLiteral("Source"));

        // Once a language is current, the same call fills the texts in, by name or by id property.
        language = 1;
        ApplyDialogTexts(dialog, LangDialog::Comminute);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("T"));
        QCOMPARE(label->text(), QStringLiteral("S"));
        QCOMPARE(group->title(), QStringLiteral("GS"));
        QCOMPARE(start->text(), QStringLiteral("GO"));
        UnregisterLanguageState(file);
        QCOMPARE(CurrentLanguage(), kNoLanguage);
    }

    void doubleClickMessage_data()
    {
        QTest::addColumn<QString>("lines");
        QTest::addColumn<bool>("merge");
        QTest::addColumn<QString>("message");
        QTest::newRow("no file: comminute fallback") << "" << false << "To split big file into several chip ones.";
        QTest::newRow("no file: merge fallback") << "" << true << "Unite all chip files into a big one.";
        QTest::newRow("empty value falls back") << "[General Message]\nColor Egg in Merge Dlg=\n"
                                                << true << "Unite all chip files into a big one.";
        QTest::newRow("file text wins") << "[General Message]\nColor Egg in Comminute Dlg=切开\n" << false << "切开";
    }

    void doubleClickMessage()
    {
        QFETCH(QString, lines);
        QFETCH(bool, merge);
        QFETCH(QString, message);
        CIniFile file = loadedFile(m_dir, lines);
        QCOMPARE(DoubleClickMessage(merge ? LangDialog::Merge : LangDialog::Comminute, file), message);
    }
};

QTEST_MAIN(TestDialogTexts)
#include "tst_dialogtexts.moc"
