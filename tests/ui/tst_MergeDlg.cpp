// The Merge dialog's own part: what choosing a header chip shows, and what a press refuses, with
// which message, leaving everything as it was. What it shares with Comminute is in tst_WorkerDialogs.
#include "CMergeDlg.h"
#include "DialogDriver.h"

#include <QLineEdit>
#include <QtEndian>

using namespace zelvo;

namespace {

QByteArray Header(qint32 count)
{
    const qint32 stored = qToLittleEndian(count);
    return QByteArray(reinterpret_cast<const char*>(&stored), 4);
}

// After choosing: "remove NAME", "shorten NAME", "write NAME", "count N" (what the header chip holds).
struct Row
{
    const char* name;
    bool withHeader;
    QString dest; // under the test folder; empty: none chosen
    QString damage;
    int message;
    QString named; // the file the message names, under the test folder
};

const Row kRows[] = {
    {"no header: only the header message", false, "", "", IDS_SELECT_SOURCE, ""},
    {"no destination", true, "", "", IDS_SELECT_DEST_FOLDER, ""},
    {"header removed since it was chosen", true, "out", "remove tmp.DAV", AFX_IDP_FILE_NOT_FOUND, "tmp.DAV"},
    {"a chip missing: refused before the run, not by the worker", true, "out", "remove tmp.D02", AFX_IDP_FILE_NOT_FOUND,
     "tmp.D02"},
    {"middle chip one byte short", true, "out", "shorten tmp.D02", IDS_CHIP_WRONG_LENGTH, "tmp.D02"},
    {"an existing output, No to replacing it", true, "out", "write out/tmp", IDS_CONFIRM_REPLACE_FILE, "out/tmp"},
    {"the root folder: no second separator", true, "/", "", IDS_NOT_A_FILE, "/tmp"},
    {"a set of one chip: the dialog ends", true, "out", "count 1", IDS_BAD_HEADER, ""},
};

} // namespace

class TestMergeDlg final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    BoxRecorder m_boxes;

    QString Dir() const { return m_dir->path(); }

private slots:
    void init() { QVERIFY(StartDialogTest(m_dir, m_boxes)); }
    void cleanup() { EndDialogTest(); }

    void choosingAHeader_data()
    {
        QTest::addColumn<QString>("chosen");
        QTest::addColumn<QByteArray>("header"); // report.doc.DAV
        QTest::addColumn<int>("total");
        QTest::newRow("header holding 7") << "report.doc.DAV" << Header(7) << 7;
        QTest::newRow("header of 2 bytes holds no count") << "report.doc.DAV" << QByteArray("\x05\x00", 2) << 0;
        QTest::newRow("chip D07 leads to the set's header") << "report.doc.D07" << Header(12) << 12;
    }

    void choosingAHeader()
    {
        QFETCH(QString, chosen);
        QFETCH(QByteArray, header);
        QFETCH(int, total);
        QVERIFY(WriteBytes(Dir() + "/report.doc.DAV", header) && WriteBytes(Dir() + "/report.doc.D07", "chip"));
        CMergeDlg dlg;
        dlg.show();
        Browse(dlg, 1001, Dir() + "/" + chosen);
        QCOMPARE(Control<QLineEdit>(dlg, 1011)->text(), QDir::toNativeSeparators(Dir() + "/" + chosen));
        QCOMPARE(Control<QLineEdit>(dlg, 1012)->text(), QString::number(total));
        QCOMPARE(Control<QLineEdit>(dlg, 1009)->text(), "report.doc");
        QCOMPARE(m_boxes.Texts(), QStringList());
    }

    void refusals_data() { AddRows(kRows); }

    void refusals()
    {
        QFETCH(int, row);
        const auto& [name, withHeader, dest, damage, message, named] = kRows[row];
        // The set is named after a folder of the root, which is where the root row's output would go.
        const QString base = Dir() + "/tmp";
        QVERIFY(WriteBytes(base + ".D01", Pattern(MB, 1)) && WriteBytes(base + ".D02", Pattern(MB, 2)));
        QVERIFY(WriteBytes(base + ".D03", Pattern(1000, 3)) && WriteBytes(base + ".DAV", Header(3)));
        m_boxes.questionAnswer = MsgAnswer::No;

        CMergeDlg dlg;
        dlg.show();
        if (withHeader)
            Browse(dlg, 1001, base + ".DAV");
        if (!dest.isEmpty())
            Browse(dlg, 1007, QDir(Dir()).filePath(dest));
        const QString target = Dir() + "/" + damage.section(' ', 1);
        if (damage.startsWith("remove"))
            QVERIFY(QFile::remove(target));
        else if (damage.startsWith("shorten"))
            QVERIFY(WriteBytes(target, Pattern(MB - 1, 2)));
        else if (damage.startsWith("write"))
            QVERIFY(WriteBytes(target, "precious"));
        else if (damage.startsWith("count"))
            QVERIFY(WriteBytes(base + ".DAV", Header(damage.section(' ', 1).toInt())));
        Click(dlg, 1);
        QCOMPARE(m_boxes.Texts(), QStringList{Text(message, named.isEmpty() ? "" : QDir(Dir()).filePath(named))});
        QCOMPARE(m_boxes.boxes[0].icon, damage.startsWith("write") ? MsgIcon::Question
                                        : named.isEmpty()          ? MsgIcon::Exclamation
                                                                   : MsgIcon::Stop);
        QCOMPARE(dlg.isVisible(), message != IDS_BAD_HEADER);
        QCOMPARE(dlg.result(), message == IDS_BAD_HEADER ? int(QDialog::Accepted) : 0);
        // Nothing started, nothing written; a file at the output's name as it was.
        QVERIFY(!MergeWorkerBusy());
        const QStringList left = QDir(Dir() + "/out").entryList(QDir::Files | QDir::Hidden | QDir::System);
        QCOMPARE(left, damage.contains("out/") ? QStringList{"tmp"} : QStringList());
        if (!left.isEmpty())
            QCOMPARE(ReadBytes(Dir() + "/out/tmp"), QByteArray("precious"));
    }
};

QTEST_MAIN(TestMergeDlg)
#include "tst_MergeDlg.moc"
