// The language files that ship with the program: stored as the reader expects them and holding
// exactly the texts the program looks up. English says word for word what the program says
// without a file; every other language keeps English's mnemonics and number places.
#include "LangText.h"

#include <QFile>
#include <QRegularExpression>
#include <gtest/gtest.h>

// Every text the program looks up, as English has it: "section|key=text|key=text...".
const char* const kTexts[] = {
    "Application|Title=Zelvo for File",
    "File Menu|1000=&File|1001=File &Comminute|1002=File &Merge|1003=E&xit",
    "Setting Menu|1000=&Setting|1001=&Language",
    "Lang Menu|1000=&English|1001=&Simplified Chinese|1002=&Traditional Chinese|1003=&Japanese",
    "Help Menu|1000=&Help|1001=&About Zelvo for Doc",
    "Doc Comminute Dialog|Dialog Title=File Comminute|File Size Prompt=Files Si&ze:"
    "|Chip File Totals Prompt=Files &Total:|Group Title Destination=Destination|Group Title Source=Source"
    "|Destination Path Prompt=Saved into &Folder:|Source File Prompt=&Select Source File : |Comminute=Comminute"
    "|Close=Close",
    "Doc Merge Dialog|Dialog Title=File Merge|Group Title Destination=Destination|Group Title Source=Source"
    "|Source File Prompt=&Select Header Chip File(.DAV):|Destination Path Prompt=Saved into &Folder:"
    "|Destination Name=File &Name:|Chip File Totals Prompt=Chip &Total:|Merge=Merge|Close=Close",
    "General Message|Color Egg in Comminute Dlg=To split big file into several chip ones."
    "|Color Egg in Merge Dlg=Unite all chip files into a big one.",
    "Run Dialogs|Bytes Done=%1 of %2|Speed=%1/s|Time Left=%1 left|Progress Bar=Progress|Unit Box=Unit"
    "|Choose Source File=Choose the source file|Choose Header Chip=Choose the header chip file"
    "|Choose Destination Folder=Choose the destination folder",
};

TEST(ShippedLanguageFiles, HoldExactlyTheTextsLookedUp)
{
    for (const QString name : {"ENG", "CHS", "CHT", "JAP"}) {
        SCOPED_TRACE(name.toStdString());
        QFile raw(ZELVO_LANG_SOURCE_DIR "/" + name + ".lang");
        const QByteArray bytes = raw.open(QIODevice::ReadOnly) ? raw.readAll() : QByteArray();
        ASSERT_TRUE(bytes.startsWith("\xFF\xFE") && bytes.size() % 2 == 0);
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.data()), bytes.size() / 2);
        EXPECT_FALSE(text.contains(QRegularExpression("\r(?!\n)|(?<!\r)\n"))) << "a line end other than CR LF";

        CIniFile file;
        file.SetPath(raw.fileName().toStdU16String());
        file.Load();
        int texts = 0;
        for (const QString row : kTexts) {
            const QStringList items = row.split('|');
            for (const QString& item : items.mid(1)) {
                const QString english = item.section('=', 1);
                const QString value = zelvo::lang::Text(file, items[0], item.section('=', 0, 0));
                EXPECT_TRUE(name == "ENG" ? value == english : !value.trimmed().isEmpty()) << item.toStdString();
                for (const char* mark : {"&", "%1", "%2"})
                    EXPECT_EQ(value.count(mark), english.count(mark)) << value.toStdString();
                ++texts;
            }
        }
        // Nothing else but comments, blank lines and section headers.
        EXPECT_EQ(text.split("\r\n").filter(QRegularExpression("^[^;[].*=")).size(), texts);
    }
}
