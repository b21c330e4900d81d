// What the Comminute and Merge dialogs show as widgets over their core sessions, each test run for
// both: the template and its texts, real runs through the window (finished, cancelled and started
// again, or a worker that outlives its dialog), and a failure behind another window. Workers run
// for real on temporary files; where a test needs one to stand still, a gate holds it inside its
// progress notification. The states and messages in between are tested in tests/core. Then each
// dialog's own widgets: the size field, where the keyboard goes, and what a header chip fills in.
#include "CComminuteDlg.h"
#include "CMergeDlg.h"
#include "DialogTestSupport.h"
#include "LanguageTable.h"
#include "StringTable.h"
#include "TestFiles.h"

#include <QAccessible>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

using namespace zelvo;
using ui::MsgAnswer;
using ui::MsgIcon;

namespace {

constexpr qint64 MB = 1048576;

template <typename T = QWidget> T* Control(QWidget& dialog, int id)
{
    return dialog.findChild<T*>(QString::number(id));
}

void Click(QWidget& dialog, int id)
{
    auto* button = Control<QPushButton>(dialog, id);
    QVERIFY(button && button->isEnabled());
    button->click();
}

// Chooses path with the "..." button id: 1007 the folder chooser, else the file-open dialog.
void Browse(QWidget& dialog, int id, const QString& path)
{
    ui::SetOpenFileAnswerer([path](const QString&) { return path; });
    ui::SetFolderDialogAnswerer([path](const QString&, const QString&) { return path; });
    Click(dialog, id);
}

// The text of id, with path in place of "%1" when there is one.
QString Text(int id, const QString& path = {})
{
    return QString::fromStdString(path.isEmpty() ? LoadString(id) : FormatString1(LoadString(id), path.toStdString()));
}

struct Kind
{
    const char* name;
    bool merge;
    int sourceField, destGroup;
    const char* inputs;  // what a run disables
    const char* textIds; // where the language texts go, in their order
    uint32_t progressMessage;
    int confirmCancel;
};

const Kind kKinds[] = {
    {"comminute", false, 1000, 1017, "1 1001 1002 1007", "1019 1020 1017 1016 1021 1018 1 2", WM_COMMINUTE_PROGRESS,
     IDS_CONFIRM_CANCEL_COMMINUTE},
    {"merge", true, 1011, 1026, "1 1001 1007", "1026 1027 1022 1024 1025 1023 1 2", WM_MERGE_PROGRESS,
     IDS_CONFIRM_CANCEL_MERGE},
};

std::unique_ptr<ui::CWorkerDlg> Make(const Kind& k, const lang::LanguageTexts& language = {})
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

    std::unique_ptr<QTemporaryDir> m_dir;
    BoxRecorder m_boxes;
    const test::Bytes m_data = test::RandomBytes(2 * MB + 1000, 1);

    QString Out() const { return m_dir->path() + "/out"; }

    // Writes data.bin and, for a merge, its set in chips/ as the split worker writes it. Returns
    // what the dialog is given: the source, or the header chip.
    QString Prepare(const Kind& k)
    {
        const QString folder = m_dir->path();
        QDir().mkpath(folder + "/chips");
        test::WriteFile(ToPathString(folder + "/data.bin"), m_data);
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

    // What the run wrote: the joined file, or the chips one after another.
    test::Bytes Output(const Kind& k) const
    {
        test::Bytes bytes;
        for (const QString& name :
             k.merge ? QStringList{"data.bin"} : QStringList{"data.bin.D01", "data.bin.D02", "data.bin.D03"})
            std::ranges::copy(test::ReadFile(ToPathString(Out() + "/" + name)), std::back_inserter(bytes));
        return bytes;
    }

private slots:
    // A fresh folder with "out" in it, named as users name theirs, its own settings file, and every
    // box recorded instead of shown.
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/zelvo dlg 分割 ファイル-XXXXXX");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir->filePath("settings"));
        m_boxes = BoxRecorder();
        m_boxes.Install();
        QVERIFY(m_dir->isValid() && QDir(m_dir->path()).mkpath("out"));
    }
    // No seam and no worker of one test may reach into the next.
    void cleanup()
    {
        ResetTestSeams();
        QTRY_VERIFY_WITH_TIMEOUT(!ComminuteWorkerBusy() && !MergeWorkerBusy(), 20000);
    }

    void templateAndTexts()
    {
        // the dialog, the language → caption|the eight control texts|the "..." buttons' names|the
        // fields a screen reader calls editable|the double-click message. Without a language file,
        // the template's texts.
        const std::tuple<int, int, QString> rows[] = {
            {0, lang::kNoLanguage,
             "File Comminute|Files Size:|Files Total:|Destination|Source|Saved into Folder:|Select Source File : "
             "|Comminute|Close|Choose the source file|Choose the destination folder|editable: Files Size"
             "|To split big file into several chip ones."},
            {1, lang::kNoLanguage,
             "File Merge|Destination|Source|Select Header Chip File(.DAV):|Saved into Folder:|File Name:"
             "|Chip Total:|Merge|Close|Choose the header chip file|Choose the destination folder|editable: "
             "|Unite all chip files into a big one."},
            {0, 3,
             "ファイルの分割|分割サイズ(&Z):|分割数(&T):|保存先|元ファイル|保存先フォルダー(&F):"
             "|元ファイルを選択(&S):|分割|閉じる|元ファイルを選択|保存先フォルダーを選択|editable: 分割サイズ"
             "|大きなファイルを複数の小さなファイルに分割します。"},
        };
        for (const auto& [kind, language, texts] : rows) {
            m_boxes.texts.clear();
            const Kind& k = kKinds[kind];
            // The texts the application hands over: none, or the language's file beside the program.
            lang::LanguageTexts given{language, {}};
            if (language != lang::kNoLanguage) {
                const QString name = lang::ToQString(theLanguageTable[language].name);
                given.file.SetPath(
                    (QCoreApplication::applicationDirPath() + "/Lang/" + name + ".lang").toStdU16String());
                QVERIFY(given.file.Load());
            }
            const auto dlg = Make(k, given);
            dlg->show();
            QVERIFY(QTest::qWaitForWindowExposed(dlg.get()));
            QStringList shown{dlg->windowTitle()};
            for (QWidget* control : Controls(*dlg, k.textIds))
                shown << control->property(qobject_cast<QGroupBox*>(control) ? "title" : "text").toString();
            shown << Control(*dlg, 1001)->accessibleName() << Control(*dlg, 1007)->accessibleName();
            QStringList editable;
            for (QLineEdit* field : dlg->findChildren<QLineEdit*>())
                if (QAccessible::queryAccessibleInterface(field)->state().editable)
                    editable << field->accessibleName();
            shown << "editable: " + editable.join(',');
            // A double click on the dialog, here through a group box, shows its message; one on the bar does not.
            QTest::mouseDClick(Control(*dlg, k.destGroup), Qt::LeftButton, {}, QPoint(20, 3));
            QTest::mouseDClick(dlg->findChild<ui::CPercentProgressCtrl*>(), Qt::LeftButton);
            QCOMPARE((shown << m_boxes.texts).join('|'), texts);
        }
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
        auto dlg = Make(k);
        dlg->show();
        Fill(*dlg, k, Prepare(k), true);
        Click(*dlg, 1);
        for (QWidget* control : Controls(*dlg, k.inputs))
            QVERIFY(!control->isEnabled());
        QTRY_VERIFY(gate->reached);
        QVERIFY(dlg->findChild<QLabel*>("runStatus")->isVisible());
        if (answer == "destroy") {
            dlg.reset();
            // The worker reaches nothing of the dialog that is gone, and finishes its set (the joined
            // file, or the header chip, is what only a finished run leaves).
            gate->Release();
            QTRY_VERIFY_WITH_TIMEOUT(!ComminuteWorkerBusy() && !MergeWorkerBusy(), 20000);
            QCoreApplication::processEvents();
            QVERIFY(m_boxes.texts.isEmpty());
            QVERIFY(QFile::exists(Out() + (k.merge ? "/data.bin" : "/data.bin.DAV")));
            return;
        }
        m_boxes.questionAnswer = answer == "no" ? MsgAnswer::No : MsgAnswer::Yes;
        Click(*dlg, 2);
        QCOMPARE(m_boxes.texts.first(), Text(k.confirmCancel));
        gate->Release();
        if (answer == "yes") {
            QTRY_COMPARE_WITH_TIMEOUT(m_boxes.texts.size(), 2, 20000);
            QCOMPARE(m_boxes.icons.back(), MsgIcon::Stop);
            // Ready again: the inputs back, the bar without its percent.
            QVERIFY(dlg->isVisible() && !dlg->findChild<ui::CPercentProgressCtrl*>()->IsLabelShown());
            for (QWidget* control : Controls(*dlg, k.inputs))
                QVERIFY(control->isEnabled());
            m_boxes.texts.clear();
            Click(*dlg, 1);
        }
        QTRY_VERIFY_WITH_TIMEOUT(!dlg->isVisible(), 20000);
        QCOMPARE(dlg->result(), int(QDialog::Accepted));
        QCOMPARE(m_boxes.icons.back(), MsgIcon::Exclamation);
        QVERIFY(Output(k) == m_data);
        // The bar ends full, and the status line on the whole size however soon the last block follows.
        const auto* bar = dlg->findChild<ui::CPercentProgressCtrl*>();
        QCOMPARE(bar->GetPos(), bar->GetUpper());
        QCOMPARE(dlg->findChild<QLabel*>("runStatus")->text(), QString("2.0 MB of 2.0 MB"));
    }

    // The size field keeps whole megabytes as typed, and a refused press puts the keyboard in the
    // field the refusal names (which refusal, and why, is the core's).
    void refusedFieldGetsTheFocus()
    {
        // the choice left out, what is typed → the box, where the keyboard goes
        const std::tuple<QString, QString, int, int> rows[] = {
            {"source", "1", IDS_SELECT_SOURCE, 1000},
            {"", "0x", IDS_INVALID_SIZE, 1002},                // the field keeps 0
            {"dest", "1a2-3 4", IDS_SELECT_DEST_FOLDER, 1006}, // 1234 MB
        };
        for (const auto& [without, typed, message, focused] : rows) {
            m_boxes.texts.clear();
            CComminuteDlg dlg;
            dlg.show();
            QVERIFY(QTest::qWaitForWindowActive(&dlg));
            if (without != "source")
                Browse(dlg, 1001, Prepare(kKinds[0]));
            QTest::keyClicks(Control(dlg, 1002), typed);
            if (without != "dest")
                Browse(dlg, 1007, Out());
            Click(dlg, 1);
            QCOMPARE(m_boxes.texts, QStringList{Text(message)});
            QCOMPARE(Control<QLineEdit>(dlg, 1002)->text(), QString(typed).remove(QRegularExpression("\\D")));
            QCOMPARE(QApplication::focusWidget(), Control(dlg, focused));
        }
    }

    // Choosing a header chip fills the chip total and the file name, again when the same file is
    // chosen again (what a bad count leads to is the core's).
    void mergeHeaderChosenTwice()
    {
        const QString dir = m_dir->path();
        const PathString header = ToPathString(dir + "/report.doc.DAV");
        test::WriteFile(header, {7, 0, 0, 0});
        test::WriteFile(ToPathString(dir + "/report.doc.D07"), {'c'});
        CMergeDlg dlg;
        dlg.show();
        Browse(dlg, 1001, dir + "/report.doc.D07");
        QCOMPARE(Control<QLineEdit>(dlg, 1011)->text(), QDir::toNativeSeparators(dir + "/report.doc.D07"));
        QCOMPARE(Control<QLineEdit>(dlg, 1012)->text() + Control<QLineEdit>(dlg, 1009)->text(), "7report.doc");
        test::WriteFile(header, {1, 0, 0, 0});
        Browse(dlg, 1001, dir + "/report.doc.D07");
        QCOMPARE(Control<QLineEdit>(dlg, 1012)->text(), "1");
    }

    // A run that fails while another window is in front: the box, and a desktop notice (the dialog
    // ready again and no header chip are the core's and the engine's).
    void failedInTheBackground()
    {
        const Kind& k = kKinds[0];
        const QString input = Prepare(k);
        const auto dlg = Make(k);
        QWidget other;
        dlg->show();
        Fill(*dlg, k, input);
        other.show();
        other.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        {
            test::FileSizeLimit limit(MB / 2);
            Click(*dlg, 1);
            QTRY_VERIFY_WITH_TIMEOUT(!m_boxes.texts.isEmpty(), 20000);
        }
        const QString expected =
            Text(IDS_COMMINUTE_IO_ERROR) + "\n" + Text(IDS_FILE_TOO_LARGE, Out() + "/data.bin.D01");
        QCOMPARE(m_boxes.texts, QStringList{expected});
        QCOMPARE(m_boxes.notices, QStringList{dlg->windowTitle() + ": " + expected});
    }
};

QTEST_MAIN(TestWorkerDialogs)
#include "tst_WorkerDialogs.moc"
