// The Comminute dialog's own part: the size field in whole megabytes, and what a press refuses,
// with which message, leaving everything as it was. What it shares with Merge is in
// tst_WorkerDialogs; the sizes a plan lets through are the engine's tests' (RunsTest).
#include "CComminuteDlg.h"
#include "ChipSet.h"
#include "DialogDriver.h"
#include "Plan.h"

#include <QLineEdit>
#include <sys/file.h>

using namespace zelvo;

namespace {

// Before the press: the source "missing", "locked" or a "folder"; in out/ a "link NAME" to a file
// outside, an older "set" a.bin, or a "lock" on that set.
struct Row
{
    const char* name;
    QString source; // under the test folder; empty: none chosen
    qint64 length;
    QString size; // typed into the field, which keeps the digits
    QString planted;
    int message;
    QString named; // the file the message names, under the test folder
};

const QString kWide = QStringLiteral("源 file.bin"), kLong = QString(247, 'x') + ".bin";
const Row kRows[] = {
    {"no source: only the source message", "", 0, "0", "", IDS_SELECT_SOURCE, ""},
    {"typed 1a2-3 4: 1234 MB, no destination", "a.bin", MB, "1a2-3 4", "", IDS_SELECT_DEST_FOLDER, ""},
    {"size 0", "a.bin", MB, "0", "", IDS_INVALID_SIZE, ""},
    {"4096 MB does not fit 32 bits", "a.bin", MB, "4096", "", IDS_INVALID_SIZE, ""},
    {"source missing", kWide, MB, "1", "missing", AFX_IDP_FILE_NOT_FOUND, kWide},
    {"source held by another program", kWide, MB, "1", "locked", AFX_IDP_FILE_SHARING, kWide},
    {"source is a folder", kWide, MB, "1", "folder", AFX_IDP_FILE_ACCESS_DENIED, kWide},
    {"exactly n MB: a set of one chip could never be joined", "a.bin", 2 * MB, "2", "", IDS_SOURCE_TOO_SMALL, ""},
    {"100 n MB + 1 is 101 chips", "a.bin", 200 * MB + 1, "2", "", IDS_TOO_MANY_CHIPS, ""},
    {"a link at a middle chip's name", "a.bin", 3 * MB, "1", "link a.bin.D02", IDS_NOT_A_FILE, "out/a.bin.D02"},
    {"only the hundredth chip's name is too long", kLong, 100 * MB, "1", "", IDS_NAME_TOO_LONG,
     "out/" + kLong + ".D100"},
    {"another run writes the set", "a.bin", 3 * MB, "1", "lock", IDS_SET_BUSY, "out/a.bin"},
    {"an older set, No to replacing it", "a.bin", 3 * MB, "1", "set", IDS_CONFIRM_REPLACE_SET, "out/a.bin"},
};

} // namespace

class TestComminuteDlg final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    BoxRecorder m_boxes;

private slots:
    void init() { QVERIFY(StartDialogTest(m_dir, m_boxes)); }
    void cleanup() { EndDialogTest(); }

    void refusals_data() { AddRows(kRows); }

    void refusals()
    {
        QFETCH(int, row);
        const auto& [name, source, length, size, planted, message, named] = kRows[row];
        const QString dir = m_dir->path();
        const QString out = dir + "/out";
        QFile file(dir + "/" + source);
        if (planted == "folder")
            QVERIFY(QDir().mkpath(file.fileName()));
        else if (!source.isEmpty() && planted != "missing")
            QVERIFY(file.open(QIODevice::WriteOnly) && file.resize(length)); // sparse: nothing written
        if (planted == "locked")
            QCOMPARE(::flock(file.handle(), LOCK_EX | LOCK_NB), 0);
        // Whatever is planted in out/ reads "precious" and must still read so, also through a link.
        QVERIFY(WriteBytes(dir + "/victim", "precious"));
        QStringList plantedNames;
        if (planted.startsWith("link"))
            plantedNames << planted.section(' ', 1);
        else if (planted == "set")
            plantedNames << "a.bin.D01"
                         << "a.bin.D02"
                         << "a.bin.DAV";
        for (const QString& name : plantedNames)
            QVERIFY(planted == "set" ? WriteBytes(out + "/" + name, "precious")
                                     : QFile::link(dir + "/victim", out + "/" + name));
        const SetLock lock =
            planted == "lock" ? SetLock::Acquire(ToPathString(out + "/a.bin"), LockMode::Exclusive) : SetLock();
        m_boxes.questionAnswer = MsgAnswer::No;

        CComminuteDlg dlg;
        dlg.show();
        if (!source.isEmpty())
            Browse(dlg, 1001, file.fileName());
        QTest::keyClicks(Control(dlg, 1002), size);
        if (message != IDS_SELECT_DEST_FOLDER)
            Browse(dlg, 1007, out);
        Click(dlg, 1);
        QCOMPARE(m_boxes.Texts(), QStringList{Text(message, named.isEmpty() ? "" : dir + "/" + named)});
        QCOMPARE(m_boxes.boxes[0].icon, planted == "set"  ? MsgIcon::Question
                                        : named.isEmpty() ? MsgIcon::Exclamation
                                                          : MsgIcon::Stop);
        QCOMPARE(Control<QLineEdit>(dlg, 1002)->text(), QString(size).remove(QRegularExpression("\\D"))); // whole MB
        // Nothing started, nothing written.
        QVERIFY(dlg.isVisible() && !ComminuteWorkerBusy());
        QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
                 plantedNames);
        for (const QString& name : plantedNames)
            QCOMPARE(ReadBytes(out + "/" + name), QByteArray("precious"));
    }
};

QTEST_MAIN(TestComminuteDlg)
#include "tst_ComminuteDlg.moc"
