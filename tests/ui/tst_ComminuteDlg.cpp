// The Comminute dialog's own widgets: the size field keeps whole megabytes as typed, and a refused
// press puts the keyboard in the field the refusal names. What a press refuses, and why, is the
// core's (tests/core); what it shares with Merge is in tst_WorkerDialogs.
#include "CComminuteDlg.h"
#include "DialogDriver.h"

#include <QLineEdit>

using namespace zelvo;

class TestComminuteDlg final : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    BoxRecorder m_boxes;

private slots:
    void init() { QVERIFY(StartDialogTest(m_dir, m_boxes)); }
    void cleanup() { EndDialogTest(); }

    void refusedFieldGetsTheFocus_data()
    {
        QTest::addColumn<bool>("source");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("dest");
        QTest::addColumn<int>("message");
        QTest::addColumn<int>("focused");
        QTest::newRow("no source") << false << "1" << true << int(IDS_SELECT_SOURCE) << 1000;
        QTest::newRow("typed 0x: the field keeps 0") << true << "0x" << true << int(IDS_INVALID_SIZE) << 1002;
        QTest::newRow("typed 1a2-3 4: 1234 MB, no destination")
            << true << "1a2-3 4" << false << int(IDS_SELECT_DEST_FOLDER) << 1006;
    }

    void refusedFieldGetsTheFocus()
    {
        QFETCH(bool, source);
        QFETCH(QString, typed);
        QFETCH(bool, dest);
        QFETCH(int, message);
        QFETCH(int, focused);
        QVERIFY(WriteBytes(m_dir->filePath("a.bin"), Pattern(MB, 1)));
        CComminuteDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowActive(&dlg));
        if (source)
            Browse(dlg, 1001, m_dir->filePath("a.bin"));
        QTest::keyClicks(Control(dlg, 1002), typed);
        if (dest)
            Browse(dlg, 1007, m_dir->filePath("out"));
        Click(dlg, 1);
        QCOMPARE(m_boxes.Texts(), QStringList{Text(message)});
        QCOMPARE(Control<QLineEdit>(dlg, 1002)->text(), QString(typed).remove(QRegularExpression("\\D")));
        QCOMPARE(QApplication::focusWidget(), Control(dlg, focused));
    }
};

QTEST_MAIN(TestComminuteDlg)
#include "tst_ComminuteDlg.moc"
