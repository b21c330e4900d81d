// The Merge dialog's own widgets: choosing a header chip fills the chip total and the file name,
// and a set of one chip ends the dialog. What a press refuses, and why, is the core's
// (tests/core); what it shares with Comminute is in tst_WorkerDialogs.
#include "CMergeDlg.h"
#include "DialogDriver.h"

#include <QLineEdit>
#include <QtEndian>

using namespace zelvo;

class TestMergeDlg final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    BoxRecorder m_boxes;

    QString Dir() const { return m_dir->path(); }

private slots:
    void init() { QVERIFY(StartDialogTest(m_dir, m_boxes)); }
    void cleanup() { EndDialogTest(); }

    void choosingAHeaderThenASetOfOne()
    {
        const auto header = [](qint32 count) {
            const qint32 stored = qToLittleEndian(count);
            return QByteArray(reinterpret_cast<const char*>(&stored), 4);
        };
        QVERIFY(WriteBytes(Dir() + "/report.doc.DAV", header(7)) && WriteBytes(Dir() + "/report.doc.D07", "chip"));
        CMergeDlg dlg;
        dlg.show();
        Browse(dlg, 1001, Dir() + "/report.doc.D07");
        QCOMPARE(Control<QLineEdit>(dlg, 1011)->text(), QDir::toNativeSeparators(Dir() + "/report.doc.D07"));
        QCOMPARE(Control<QLineEdit>(dlg, 1012)->text(), "7");
        QCOMPARE(Control<QLineEdit>(dlg, 1009)->text(), "report.doc");
        // The same file chosen again is read again.
        QVERIFY(WriteBytes(Dir() + "/report.doc.DAV", header(1)));
        Browse(dlg, 1001, Dir() + "/report.doc.D07");
        QCOMPARE(Control<QLineEdit>(dlg, 1012)->text(), "1");
        QCOMPARE(m_boxes.Texts(), QStringList());
        Browse(dlg, 1007, Dir() + "/out");
        Click(dlg, 1);
        QCOMPARE(m_boxes.Texts(), QStringList{Text(IDS_BAD_HEADER)});
        QVERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(TestMergeDlg)
#include "tst_MergeDlg.moc"
