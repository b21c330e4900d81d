// The language files that ship with the program: each loads with the INI reader and holds
// exactly the 38 texts the interface asks for, none empty.
#include "CIniFile.h"
#include "LangText.h"

#include <QDir>
#include <QFile>
#include <QtTest>

namespace {

struct Key
{
    const char16_t* section;
    const char16_t* key;
};

// Every text the program looks up; the menu texts and the dialogs' field labels carry a keyboard
// mnemonic.
const Key kKeys[] = {
    {u"Application", u"Title"},
    {u"File Menu", u"1000"},
    {u"File Menu", u"1001"},
    {u"File Menu", u"1002"},
    {u"File Menu", u"1003"},
    {u"Setting Menu", u"1000"},
    {u"Setting Menu", u"1001"},
    {u"Lang Menu", u"1000"},
    {u"Lang Menu", u"1001"},
    {u"Lang Menu", u"1002"},
    {u"Lang Menu", u"1003"},
    {u"Help Menu", u"1000"},
    {u"Help Menu", u"1001"},
    {u"Doc Comminute Dialog", u"File Size Prompt"},
    {u"Doc Comminute Dialog", u"Chip File Totals Prompt"},
    {u"Doc Comminute Dialog", u"Destination Path Prompt"},
    {u"Doc Comminute Dialog", u"Source File Prompt"},
    {u"Doc Merge Dialog", u"Source File Prompt"},
    {u"Doc Merge Dialog", u"Destination Path Prompt"},
    {u"Doc Merge Dialog", u"Destination Name"},
    {u"Doc Merge Dialog", u"Chip File Totals Prompt"},
    {u"Doc Comminute Dialog", u"Dialog Title"},
    {u"Doc Comminute Dialog", u"Group Title Destination"},
    {u"Doc Comminute Dialog", u"Group Title Source"},
    {u"Doc Comminute Dialog", u"Comminute"},
    {u"Doc Comminute Dialog", u"Close"},
    {u"Doc Merge Dialog", u"Dialog Title"},
    {u"Doc Merge Dialog", u"Group Title Destination"},
    {u"Doc Merge Dialog", u"Group Title Source"},
    {u"Doc Merge Dialog", u"Merge"},
    {u"Doc Merge Dialog", u"Close"},
    {u"General Message", u"Color Egg in Comminute Dlg"},
    {u"General Message", u"Color Egg in Merge Dlg"},
    {u"Run Dialogs", u"Bytes Done"},
    {u"Run Dialogs", u"Speed"},
    {u"Run Dialogs", u"Time Left"},
    {u"Run Dialogs", u"Progress Bar"},
    {u"Run Dialogs", u"Unit Box"},
};
constexpr int kMnemonicKeys = 21; // the first 21 rows above, the caption excepted

QString toQString(const std::u16string& s)
{
    return QString::fromStdU16String(s);
}

} // namespace

class TestLangFiles : public QObject
{
    Q_OBJECT

private slots:
    void shippedFile_data()
    {
        QTest::addColumn<QString>("path");
        for (const char* name : {"ENG", "CHS", "CHT", "JAP"}) {
            QTest::addRow("source %s", name) << QStringLiteral(ZELVO_LANG_SOURCE_DIR "/%1.lang").arg(name);
            QTest::addRow("beside the executables %s", name)
                << QStringLiteral(ZELVO_LANG_BUILD_DIR "/%1.lang").arg(name);
        }
    }

    void shippedFile()
    {
        QFETCH(QString, path);

        // Stored as the reader expects it: byte-order mark, whole 16-bit units, CR LF only.
        QFile raw(path);
        QVERIFY2(raw.open(QIODevice::ReadOnly), qPrintable(path));
        const QByteArray bytes = raw.readAll();
        QVERIFY(bytes.startsWith("\xFF\xFE"));
        QCOMPARE(bytes.size() % 2, 0);
        const QString text =
            QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
        QCOMPARE(text.count(QLatin1Char('\n')), text.count(QStringLiteral("\r\n")));
        QCOMPARE(text.count(QLatin1Char('\r')), text.count(QStringLiteral("\r\n")));
        QVERIFY(text.endsWith(QStringLiteral("\r\n")));

        // Exactly the 38 key lines in 9 sections, nothing else but comments and blank lines.
        int keyLines = 0;
        QStringList sections;
        const auto lines = text.split(QStringLiteral("\r\n"));
        for (const QString& line : lines) {
            if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
                continue;
            if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']')))
                sections << line;
            else if (line.contains(QLatin1Char('=')))
                ++keyLines;
            else
                QFAIL(qPrintable("stray line: " + line));
        }
        QCOMPARE(keyLines, 38);
        QCOMPARE(sections.size(), 9);
        QCOMPARE(sections.removeDuplicates(), 0);

        CIniFile file;
        file.SetPath(path.toStdU16String());
        QVERIFY(file.Load());
        for (int i = 0; i < int(std::size(kKeys)); ++i) {
            const QString value = toQString(file.GetString(kKeys[i].section, kKeys[i].key));
            const QString where = toQString(kKeys[i].section) + "/" + toQString(kKeys[i].key);
            QVERIFY2(!value.trimmed().isEmpty(), qPrintable(where + " is empty"));
            if (i > 0 && i < kMnemonicKeys)
                QVERIFY2(value.count(QLatin1Char('&')) == 1, qPrintable(where + ": " + value));
            // The status line's texts keep their places for the numbers.
            if (where == "Run Dialogs/Bytes Done")
                QVERIFY2(value.contains("%1") && value.contains("%2"), qPrintable(value));
            else if (where.startsWith("Run Dialogs/") && !where.endsWith(" Bar") && !where.endsWith(" Box"))
                QVERIFY2(value.contains("%1"), qPrintable(value));
        }
    }

    // English is the built-in interface: its file must say exactly what the program says without
    // one, so that choosing English changes nothing but adding the language menu and the labels'
    // mnemonics.
    void englishFileCarriesBuiltInTexts()
    {
        CIniFile file;
        file.SetPath(QStringLiteral(ZELVO_LANG_SOURCE_DIR "/ENG.lang").toStdU16String());
        QVERIFY(file.Load());
        const std::pair<Key, const char*> builtIn[] = {
            {{u"Application", u"Title"}, "Zelvo for File"},
            {{u"File Menu", u"1000"}, "&File"},
            {{u"File Menu", u"1001"}, "File &Comminute"},
            {{u"File Menu", u"1002"}, "File &Merge"},
            {{u"File Menu", u"1003"}, "E&xit"},
            {{u"Help Menu", u"1000"}, "&Help"},
            {{u"Help Menu", u"1001"}, "&About Zelvo for Doc"},
            {{u"Doc Comminute Dialog", u"Dialog Title"}, "File Comminute"},
            {{u"Doc Comminute Dialog", u"File Size Prompt"}, "Files Si&ze:"},
            {{u"Doc Comminute Dialog", u"Chip File Totals Prompt"}, "Files &Total:"},
            {{u"Doc Comminute Dialog", u"Source File Prompt"}, "&Select Source File : "},
            {{u"Doc Merge Dialog", u"Source File Prompt"}, "&Select Header Chip File(.DAV):"},
            {{u"Doc Merge Dialog", u"Chip File Totals Prompt"}, "Chip &Total:"},
            {{u"Run Dialogs", u"Bytes Done"}, "%1 of %2"},
            {{u"Run Dialogs", u"Speed"}, "%1/s"},
            {{u"Run Dialogs", u"Time Left"}, "%1 left"},
        };
        for (const auto& [key, expected] : builtIn)
            QCOMPARE(toQString(file.GetString(key.section, key.key)), QString::fromUtf8(expected));
        QCOMPARE(zelvo::lang::DoubleClickMessage(zelvo::lang::LangDialog::Comminute, file),
                 QStringLiteral("To split big file into several chip ones."));
        QCOMPARE(zelvo::lang::DoubleClickMessage(zelvo::lang::LangDialog::Merge, file),
                 QStringLiteral("Unite all chip files into a big one."));
    }
};

QTEST_GUILESS_MAIN(TestLangFiles)
#include "tst_langfiles.moc"
