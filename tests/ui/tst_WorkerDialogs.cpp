// What the Comminute and Merge dialogs show as widgets over their core sessions, each test run for
// both: the template and its texts, real runs through the window (finished, cancelled and started
// again, or a worker that outlives its dialog), and a failure behind another window. Workers run
// for real on temporary files; where a test needs one to stand still, a gate holds it inside its
// progress notification. The states and messages in between are tested in tests/core.
#include "CComminuteDlg.h"
#include "CMergeDlg.h"
#include "DialogDriver.h"
#include "LanguageTable.h"
#include "TestFiles.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

using namespace zelvo;

namespace {

struct Kind
{
    const char* name;
    bool merge;
    int sourceField, destGroup;
    const char* inputs;  // what a run disables
    const char* textIds; // where the language texts go, in their order
    uint32_t progressMessage;
    std::atomic<int32_t>* runState;
    int confirmCancel;
};

const Kind kKinds[] = {
    {"comminute", false, 1000, 1017, "1 1001 1002 1007", "1019 1020 1017 1016 1021 1018 1 2", WM_COMMINUTE_PROGRESS,
     &ComminuteJob.runState, IDS_CONFIRM_CANCEL_COMMINUTE},
    {"merge", true, 1011, 1026, "1 1001 1007", "1026 1027 1022 1024 1025 1023 1 2", WM_MERGE_PROGRESS,
     &MergeJob.runState, IDS_CONFIRM_CANCEL_MERGE},
};

std::unique_ptr<ui::CWorkerDlg> Make(const Kind& k, const lang::LanguageTexts& language)
{
    if (k.merge)
        return std::make_unique<CMergeDlg>(language);
    return std::make_unique<CComminuteDlg>(language);
}

QList<QWidget*> Controls(QWidget& dlg, const char* ids)
{
    QList<QWidget*> controls;
    for (const QString& id : QString(ids).split(' '))
        controls << dlg.findChild<QWidget*>(id);
    return controls;
}

} // namespace

class TestWorkerDialogs final : public QObject
{
    Q_OBJECT

    int m_language = lang::kNoLanguage;
    CIniFile m_langFile;
    std::unique_ptr<QTemporaryDir> m_dir;
    BoxRecorder m_boxes;
    QByteArray m_data;

    QString Out() const { return m_dir->path() + "/out"; }
    // The file only a finished run leaves: the joined file, or the set's header chip.
    QString Result(const Kind& k) const { return Out() + (k.merge ? "/data.bin" : "/data.bin.DAV"); }

    void LoadLanguage(int language)
    {
        m_language = language;
        m_langFile = CIniFile();
        if (language == lang::kNoLanguage)
            return;
        const QString name = QString::fromStdU16String(std::u16string(theLanguageTable[language].name));
        m_langFile.SetPath((QCoreApplication::applicationDirPath() + "/Lang/" + name + ".lang").toStdU16String());
        QVERIFY(m_langFile.Load());
    }

    // Writes data.bin and, for a merge, its set in chips/ as the split worker writes it. Returns
    // what the dialog is given: the source, or the header chip.
    QString Prepare(const Kind& k)
    {
        const QString folder = m_dir->path();
        m_data = Pattern(2 * MB + 1000, 1);
        QDir().mkpath(folder + "/chips");
        WriteBytes(folder + "/data.bin", m_data);
        if (!k.merge)
            return folder + "/data.bin";
        LoadComminuteJob(PlanSplit(ToPathString(folder + "/data.bin"), 1, ToPathString(folder + "/chips")), false);
        ComminuteWorker([](uint32_t, uint64_t) {});
        return folder + "/chips/data.bin.DAV";
    }

    // Chooses the input (dropped on its field when drop), 1 MB chips and out/ as the destination.
    void Fill(QWidget& dlg, const Kind& k, const QString& input, bool drop = false)
    {
        if (drop)
            QVERIFY(DropFiles(Control(dlg, k.sourceField), {input}));
        else
            Browse(dlg, 1001, input);
        if (!k.merge)
            Control<QLineEdit>(dlg, 1002)->setText("1");
        Browse(dlg, 1007, Out());
    }

    // The dialog back to ready after a run that did not finish.
    void VerifyReady(QWidget& dlg, const Kind& k)
    {
        QVERIFY(dlg.isVisible());
        for (QWidget* control : Controls(dlg, k.inputs))
            QVERIFY(control->isEnabled());
        QVERIFY(!dlg.findChild<ui::CPercentProgressCtrl*>()->IsLabelShown());
    }

    QByteArray Output(const Kind& k) const
    {
        if (k.merge)
            return ReadBytes(Out() + "/data.bin");
        return ReadBytes(Out() + "/data.bin.D01") + ReadBytes(Out() + "/data.bin.D02") +
               ReadBytes(Out() + "/data.bin.D03");
    }

private slots:
    void init()
    {
        LoadLanguage(lang::kNoLanguage);
        QVERIFY(StartDialogTest(m_dir, m_boxes));
    }
    void cleanup() { EndDialogTest(); }

    void templateAndTexts_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("language");
        // caption|the eight control texts|the "..." buttons' names|the double-click message
        QTest::addColumn<QString>("texts");
        QTest::newRow("comminute, no language file: the template's texts")
            << 0 << lang::kNoLanguage
            << "File Comminute|Files Size:|Files Total:|Destination|Source|Saved into Folder:|Select Source File : "
               "|Comminute|Close|Choose the source file|Choose the destination folder"
               "|To split big file into several chip ones.";
        QTest::newRow("merge, no language file: the template's texts")
            << 1 << lang::kNoLanguage
            << "File Merge|Destination|Source|Select Header Chip File(.DAV):|Saved into Folder:|File Name:"
               "|Chip Total:|Merge|Close|Choose the header chip file|Choose the destination folder"
               "|Unite all chip files into a big one.";
        QTest::newRow("comminute, Japanese")
            << 0 << 3
            << "ファイルの分割|分割サイズ(&Z):|分割数(&T):|保存先|元ファイル|保存先フォルダー(&F):"
               "|元ファイルを選択(&S):|分割|閉じる|元ファイルを選択|保存先フォルダーを選択"
               "|大きなファイルを複数の小さなファイルに分割します。";
    }

    void templateAndTexts()
    {
        QFETCH(int, kind);
        QFETCH(int, language);
        QFETCH(QString, texts);
        const Kind& k = kKinds[kind];
        LoadLanguage(language);
        const auto dlg = Make(k, {m_language, m_langFile});
        dlg->show();
        QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
        QStringList shown{dlg->windowTitle()};
        for (QWidget* control : Controls(*dlg, k.textIds))
            shown << control->property(qobject_cast<QGroupBox*>(control) ? "title" : "text").toString();
        shown << Control(*dlg, 1001)->accessibleName() << Control(*dlg, 1007)->accessibleName();
        // A double click on the dialog, here through a group box, shows its message; one on the bar does not.
        QTest::mouseDClick(Control(*dlg, k.destGroup), Qt::LeftButton, {}, QPoint(20, 3));
        QTest::mouseDClick(dlg->findChild<ui::CPercentProgressCtrl*>(), Qt::LeftButton);
        QCOMPARE((shown << m_boxes.Texts()).join('|'), texts);
    }

    // Real runs through the window; the states in between are the core's (tests/core).
    void run_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("answer"); // to the cancel question, or how the dialog goes
        for (int kind : {0, 1}) {
            QTest::addRow("%s: No lets the run finish", kKinds[kind].name) << kind << "no";
            QTest::addRow("%s: destroyed while it runs", kKinds[kind].name) << kind << "destroy";
        }
        QTest::addRow("merge: Yes cancels, pressed again it starts over") << 1 << "yes";
    }

    void run()
    {
        QFETCH(int, kind);
        QFETCH(QString, answer);
        const Kind& k = kKinds[kind];
        const auto gate = WorkerGate::HoldAt(k.progressMessage, 1);
        auto dlg = Make(k, {m_language, m_langFile});
        dlg->show();
        Fill(*dlg, k, Prepare(k), true);
        Click(*dlg, 1);
        for (QWidget* control : Controls(*dlg, k.inputs))
            QVERIFY(!control->isEnabled());
        QTRY_VERIFY(gate->Reached());
        QVERIFY(dlg->findChild<QLabel*>("runStatus")->isVisible());
        if (answer == "destroy") {
            dlg.reset();
            // The worker reaches nothing of the dialog that is gone, and finishes its set.
            gate->Release();
            QTRY_VERIFY_WITH_TIMEOUT(!ComminuteWorkerBusy() && !MergeWorkerBusy(), 20000);
            QCoreApplication::processEvents();
            QVERIFY(m_boxes.boxes.empty());
            QVERIFY(QFile::exists(Result(k)));
            return;
        }
        m_boxes.questionAnswer = answer == "no" ? MsgAnswer::No : MsgAnswer::Yes;
        Click(*dlg, 2);
        QCOMPARE(m_boxes.Texts().first(), Text(k.confirmCancel));
        gate->Release();
        if (answer == "yes") {
            QTRY_COMPARE_WITH_TIMEOUT(m_boxes.boxes.size(), size_t(2), 20000);
            QCOMPARE(m_boxes.boxes.back().icon, MsgIcon::Stop);
            VerifyReady(*dlg, k);
            // No part of the join, under any name.
            QCOMPARE(QDir(Out()).entryList(QDir::Files | QDir::Hidden), QStringList());
            m_boxes.boxes.clear();
            Click(*dlg, 1);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->isVisible(), 20000);
        QCOMPARE(dlg->result(), int(QDialog::Accepted));
        QCOMPARE(m_boxes.boxes.back().icon, MsgIcon::Exclamation);
        QCOMPARE(k.runState->load(), kRunIdle);
        QCOMPARE(Output(k), m_data);
        // The bar ends full, and the status line on the whole size however soon the last block follows.
        const auto* bar = dlg->findChild<ui::CPercentProgressCtrl*>();
        QCOMPARE(bar->GetPos(), bar->GetUpper());
        const QString status = dlg->findChild<QLabel*>("runStatus")->text();
        QCOMPARE(status, QString("2.0 MB of 2.0 MB"));
    }

    // A run that fails while another window is in front: the box, and a desktop notice.
    void failedInTheBackground()
    {
        const Kind& k = kKinds[0];
        const QString input = Prepare(k);
        const auto dlg = Make(k, {m_language, m_langFile});
        QWidget other;
        dlg->show();
        Fill(*dlg, k, input);
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        {
            test::FileSizeLimit limit(MB / 2);
            Click(*dlg, 1);
            QTRY_VERIFY_WITH_TIMEOUT(!m_boxes.boxes.empty(), 20000);
        }
        const QString expected =
            Text(IDS_COMMINUTE_IO_ERROR) + "\n" + Text(IDS_FILE_TOO_LARGE, Out() + "/data.bin.D01");
        QCOMPARE(m_boxes.Texts(), QStringList{expected});
        QCOMPARE(m_boxes.notices, QStringList{dlg->windowTitle() + ": " + expected});
        VerifyReady(*dlg, k);
        QVERIFY(!QFile::exists(Result(k)));
    }
};

QTEST_MAIN(TestWorkerDialogs)
#include "tst_WorkerDialogs.moc"
