// The Merge dialog driven as a user drives it: choose a header chip (or any chip of a set) and a
// folder, press Merge, answer the boxes. Chip sets are written by the test or by the engine's
// split worker; workers run for real.
#include "CMergeDlg.h"
#include "ChipSet.h"
#include "DialogTestSupport.h"
#include "LanguageTable.h"
#include "Plan.h"
#include "StringTable.h"
#include "Workers.h"

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include <QTemporaryDir>

using namespace zelvo;

namespace {

constexpr qint64 MB = 1048576;

// The string-table text id with path in place of "%1".
QString Formatted(int id, const QString& path)
{
    return QString::fromStdString(FormatString1(LoadString(id), path.toStdString()));
}

QByteArray Header(quint32 n)
{
    QByteArray bytes(4, 0);
    for (int i = 0; i < 4; ++i)
        bytes[i] = static_cast<char>(n >> (8 * i));
    return bytes;
}

// Writes chips base.D01 … and, unless told otherwise, base.DAV with their count.
bool MakeSet(const QString& base, const QList<QByteArray>& chips, bool withHeader = true)
{
    for (int k = 1; k <= chips.size(); ++k)
        if (!WriteBytes(base + QString::asprintf(".D%02d", k), chips[k - 1]))
            return false;
    return !withHeader || WriteBytes(base + ".DAV", Header(static_cast<quint32>(chips.size())));
}

} // namespace

class TestMergeDlg final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensReadyWithTemplateArrangement();
    void languageTextsReplaceTemplateTexts_data();
    void languageTextsReplaceTemplateTexts();
    void headerPathChange_data();
    void headerPathChange();
    void headerThatCannotBeRead();
    void pressRefusals_data();
    void pressRefusals();
    void badHeaderEndsTheDialog_data();
    void badHeaderEndsTheDialog();
    void progressRangeAndLastBlock();
    void cancelThenMergeAgainRewritesFromStart();
    void writeFailureIsReportedNotFinished();
    void destinationAtRootFolder();
    void doubleClickMessage();
    void endToEndJoinOfAnEngineSet_data();
    void endToEndJoinOfAnEngineSet();

private:
    QString Dir() const { return m_dir->path(); }
    QString Out() const { return m_dir->path() + "/out"; }
    std::unique_ptr<QTemporaryDir> m_dir;
    BoxRecorder m_boxes;
};

void TestMergeDlg::initTestCase()
{
    lang::RegisterLanguageState(g_language, g_langFile);
}

void TestMergeDlg::init()
{
    QVERIFY(StartDialogTest(m_dir, m_boxes));
}

void TestMergeDlg::cleanup()
{
    ResetSeams();
    QTRY_VERIFY_WITH_TIMEOUT(!MergeWorkerBusy(), 20000);
    m_dir.reset();
}

void TestMergeDlg::opensReadyWithTemplateArrangement()
{
    CMergeDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("File Merge"));
    QVERIFY(!Control<ui::CPercentProgressCtrl>(dlg, 1013)->IsLabelShown());
    QVERIFY(Control<QPushButton>(dlg, 1)->isDefault());
    QCOMPARE(dlg.focusWidget(), Control(dlg, 1));
    for (int id : {1011, 1012, 1006, 1009})
        QVERIFY(Control<QLineEdit>(dlg, id)->isReadOnly());
    QTest::keyClick(&dlg, Qt::Key_Return); // presses Merge
    QCOMPARE(m_boxes.Texts(), QStringList{Text(IDS_SELECT_SOURCE)});
    QCOMPARE(dlg.focusWidget(), Control(dlg, 1011));
    Control(dlg, 1)->setFocus();

    QCOMPARE(TabChain(dlg, 9), QStringList({"1", "2", "1011", "1001", "1012", "1006", "1007", "1009", "1"}));

    const auto at = [&](int id) { return Control(dlg, id)->mapTo(&dlg, QPoint(0, 0)); };
    QVERIFY(at(1027).x() < at(1026).x());
    QVERIFY(at(1025).y() < at(1024).y()); // file name above the folder
    QVERIFY(at(1013).y() > at(1027).y() + Control(dlg, 1027)->height() - 1);
    QVERIFY(at(1).y() > at(1013).y());
}

void TestMergeDlg::languageTextsReplaceTemplateTexts_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("texts"); // caption, 1026, 1027, 1022, 1024, 1025, 1023, 1, 2
    QTest::newRow("no language file: template texts")
        << lang::kNoLanguage << QStringList{"File Merge",
                                            "Destination",
                                            "Source",
                                            "Select Header Chip File(.DAV):",
                                            "Saved into Folder:",
                                            "File Name:",
                                            "Chip Total:",
                                            "Merge",
                                            "Close"};
    QTest::newRow("Traditional Chinese") << 2 << QStringList{"合併檔案",
                                                             "目的地",
                                                             "來源",
                                                             "選擇標頭分塊檔案(.DAV)(&S)：",
                                                             "儲存至資料夾(&F)：",
                                                             "檔案名稱(&N)：",
                                                             "分塊總數(&T)：",
                                                             "合併",
                                                             "關閉"};
    QTest::newRow("Japanese") << 3
                              << QStringList{"ファイルの結合",
                                             "保存先",
                                             "分割ファイル",
                                             "ヘッダー ファイル (.DAV) を選択(&S):",
                                             "保存先フォルダー(&F):",
                                             "ファイル名(&N):",
                                             "分割ファイル数(&T):",
                                             "結合",
                                             "閉じる"};
}

void TestMergeDlg::languageTextsReplaceTemplateTexts()
{
    QFETCH(int, language);
    QFETCH(QStringList, texts);
    if (language != lang::kNoLanguage) {
        const QString name = QString::fromStdU16String(std::u16string(theLanguageTable[language].name));
        g_langFile.SetPath((QCoreApplication::applicationDirPath() + "/Lang/" + name + ".lang").toStdU16String());
        QVERIFY(g_langFile.Load());
    }
    g_language = language;
    CMergeDlg dlg;
    QStringList shown{dlg.windowTitle()};
    for (int id : {1026, 1027})
        shown << Control<QGroupBox>(dlg, id)->title();
    for (int id : {1022, 1024, 1025, 1023})
        shown << Control<QLabel>(dlg, id)->text();
    for (int id : {1, 2})
        shown << Control<QPushButton>(dlg, id)->text();
    QCOMPARE(shown, texts);
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    for (QLabel* label : dlg.findChildren<QLabel*>())
        QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
    for (QPushButton* button : dlg.findChildren<QPushButton*>())
        QVERIFY2(button->width() >= button->fontMetrics().horizontalAdvance(button->text()) + 6,
                 qPrintable(button->text()));
    for (QWidget* control : dlg.findChildren<QWidget*>(QRegularExpression("^\\d+$")))
        QVERIFY2(!QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty(),
                 qPrintable(control->objectName()));
    for (QLabel* label : dlg.findChildren<QLabel*>())
        QVERIFY2(!label->text().contains('&') || label->buddy(), qPrintable(label->text()));
}

void TestMergeDlg::headerPathChange_data()
{
    QTest::addColumn<QString>("chosen");    // file name chosen in the file-open dialog
    QTest::addColumn<QByteArray>("header"); // content of report.doc.DAV
    QTest::addColumn<QString>("total");
    QTest::addColumn<QString>("name");

    QTest::newRow("header holding 1") << "report.doc.DAV" << Header(1) << "1"
                                      << "report.doc";
    QTest::newRow("header holding 0") << "report.doc.DAV" << Header(0) << "0"
                                      << "report.doc";
    QTest::newRow("FF FF FF FF shows as signed -1") << "report.doc.DAV" << QByteArray(4, '\xFF') << "-1"
                                                    << "report.doc";
    QTest::newRow("header of 2 bytes holds no count") << "report.doc.DAV" << QByteArray("\x05\x00", 2) << "0"
                                                      << "report.doc";
    QTest::newRow("chip D07 leads to the set's header") << "report.doc.D07" << Header(12) << "12"
                                                        << "report.doc";
    QTest::newRow("several dots kept") << "report.doc.DAV" << Header(3) << "3"
                                       << "report.doc";
}

void TestMergeDlg::headerPathChange()
{
    QFETCH(QString, chosen);
    QFETCH(QByteArray, header);
    QFETCH(QString, total);
    QFETCH(QString, name);
    QVERIFY(WriteBytes(QDir(Dir()).filePath("report.doc.DAV"), header));
    QVERIFY(WriteBytes(QDir(Dir()).filePath("report.doc.D07"), "chip"));
    CMergeDlg dlg;
    dlg.show();
    BrowseFile(dlg, 1001, QDir(Dir()).filePath(chosen));
    QCOMPARE(LastOpenFilter(), QStringLiteral("First Chip Files (*.DAV)"));
    QCOMPARE(m_boxes.Texts(), QStringList());
    QCOMPARE(Control<QLineEdit>(dlg, 1011)->text(), QDir::toNativeSeparators(QDir(Dir()).filePath(chosen)));
    QCOMPARE(Control<QLineEdit>(dlg, 1012)->text(), total);
    QCOMPARE(Control<QLineEdit>(dlg, 1009)->text(), name);
}

void TestMergeDlg::headerThatCannotBeRead()
{
    // A file-error box; the count and name of the earlier choice stay.
    const QString header = QDir(Dir()).filePath("report.doc.DAV");
    QVERIFY(WriteBytes(header, Header(5)));
    QVERIFY(WriteBytes(QDir(Dir()).filePath("report.doc.D100"), "chip"));
    QVERIFY(WriteBytes(QDir(Dir()).filePath("report.doc.dav"), Header(5)));
    CMergeDlg dlg;
    dlg.show();
    BrowseFile(dlg, 1001, header);
    QCOMPARE(Control<QLineEdit>(dlg, 1012)->text(), QStringLiteral("5"));

    struct Row
    {
        QString chosen;
        QString failing;
    };
    // The hundredth chip's name leads to "D1AV"; a lower-case header to ".dAV", which is the same
    // file only where letter case is ignored; a file removed since it was chosen.
    const QString lower = QDir(Dir()).filePath("report.doc.dAV");
    const bool caseBlind = QFile::exists(lower);
    std::vector<Row> rows{{QDir(Dir()).filePath("report.doc.D100"), QDir(Dir()).filePath("report.doc.D1AV")},
                          {QDir(Dir()).filePath("gone.doc.DAV"), QDir(Dir()).filePath("gone.doc.DAV")}};
    if (!caseBlind)
        rows.push_back({QDir(Dir()).filePath("report.doc.dav"), lower});
    for (const Row& row : rows) {
        m_boxes.boxes.clear();
        BrowseFile(dlg, 1001, row.chosen);
        QCOMPARE(m_boxes.Texts(), QStringList{Formatted(AFX_IDP_FILE_NOT_FOUND, row.failing)});
        QCOMPARE(m_boxes.boxes[0].icon, MsgIcon::Stop);
        QCOMPARE(Control<QLineEdit>(dlg, 1012)->text(), QStringLiteral("5"));
        QCOMPARE(Control<QLineEdit>(dlg, 1009)->text(), QStringLiteral("report.doc"));
    }
    if (caseBlind) {
        BrowseFile(dlg, 1001, QDir(Dir()).filePath("report.doc.dav"));
        QCOMPARE(Control<QLineEdit>(dlg, 1009)->text(), QStringLiteral("report.doc"));
    }
}

void TestMergeDlg::pressRefusals_data()
{
    QTest::addColumn<bool>("withHeader");
    QTest::addColumn<bool>("withDest");
    // After choosing: "remove NAME", "shorten NAME", "link NAME" (to a file outside), "write NAME",
    // "count N" (the header chip's count).
    QTest::addColumn<QString>("damage");
    QTest::addColumn<int>("message");
    QTest::addColumn<QString>("named"); // the file the message names, under the test folder
    QTest::addColumn<int>("focus");

    QTest::newRow("no header: only the header message") << false << false << "" << int(IDS_SELECT_SOURCE) << "" << 1011;
    QTest::newRow("no destination") << true << false << "" << int(IDS_SELECT_DEST_FOLDER) << "" << 1006;
    QTest::newRow("header removed since it was chosen")
        << true << true << "remove set.bin.DAV" << int(AFX_IDP_FILE_NOT_FOUND) << "set.bin.DAV" << 0;
    QTest::newRow("chip 1 missing") << true << true << "remove set.bin.D01" << int(AFX_IDP_FILE_NOT_FOUND)
                                    << "set.bin.D01" << 0;
    QTest::newRow("middle chip missing: refused before the run, not by the worker")
        << true << true << "remove set.bin.D02" << int(AFX_IDP_FILE_NOT_FOUND) << "set.bin.D02" << 0;
    QTest::newRow("last chip missing") << true << true << "remove set.bin.D03" << int(AFX_IDP_FILE_NOT_FOUND)
                                       << "set.bin.D03" << 0;
    QTest::newRow("FF FF FF FF passes the count test, chip .D-1 is missing")
        << true << true << "count -1" << int(AFX_IDP_FILE_NOT_FOUND) << "set.bin.D-1" << 0;
    QTest::newRow("middle chip one byte short")
        << true << true << "shorten set.bin.D02" << int(IDS_CHIP_WRONG_LENGTH) << "set.bin.D02" << 0;
    QTest::newRow("a link at the output's name")
        << true << true << "link out/set.bin" << int(IDS_NOT_A_FILE) << "out/set.bin" << 0;
    QTest::newRow("an existing output, No to replacing it")
        << true << true << "write out/set.bin" << int(IDS_CONFIRM_REPLACE_FILE) << "out/set.bin" << 0;
}

void TestMergeDlg::pressRefusals()
{
    QFETCH(bool, withHeader);
    QFETCH(bool, withDest);
    QFETCH(QString, damage);
    QFETCH(int, message);
    QFETCH(QString, named);
    QFETCH(int, focus);

    const QString base = QDir(Dir()).filePath("set.bin");
    QVERIFY(MakeSet(base, {PatternBytes(MB, 1), PatternBytes(MB, 2), PatternBytes(1000, 3)}));
    const QString victim = QDir(Dir()).filePath("victim");
    QVERIFY(WriteBytes(victim, "precious"));
    m_boxes.questionAnswer = MsgAnswer::No;

    CMergeDlg dlg;
    dlg.show();
    if (withHeader)
        BrowseFile(dlg, 1001, base + ".DAV");
    if (withDest)
        BrowseFolder(dlg, Out());
    const QString target = QDir(Dir()).filePath(damage.section(' ', 1));
    if (damage.startsWith("remove"))
        QVERIFY(QFile::remove(target));
    else if (damage.startsWith("shorten"))
        QVERIFY(WriteBytes(target, PatternBytes(MB - 1, 2)));
    else if (damage.startsWith("link"))
        QVERIFY(QFile::link(victim, target));
    else if (damage.startsWith("write"))
        QVERIFY(WriteBytes(target, "precious"));
    else if (damage.startsWith("count"))
        QVERIFY(WriteBytes(base + ".DAV", Header(static_cast<quint32>(damage.section(' ', 1).toInt()))));
    Control(dlg, 2)->setFocus();
    const QString total = Control<QLineEdit>(dlg, 1012)->text();
    Click(dlg, 1);
    QCOMPARE(m_boxes.Texts(),
             QStringList{named.isEmpty() ? Text(message) : Formatted(message, QDir(Dir()).filePath(named))});
    QCOMPARE(m_boxes.boxes[0].icon, damage.startsWith("write") ? MsgIcon::Question
                                    : named.isEmpty()          ? MsgIcon::Exclamation
                                                               : MsgIcon::Stop);
    QCOMPARE(dlg.focusWidget(), Control(dlg, focus ? focus : 2));
    QVERIFY(dlg.isVisible());
    for (int id : {1, 1001, 1007})
        QVERIFY(Control(dlg, id)->isEnabled());
    QCOMPARE(Control<QLineEdit>(dlg, 1012)->text(), total);
    QVERIFY(!Control<ui::CPercentProgressCtrl>(dlg, 1013)->IsLabelShown());
    QVERIFY(!MergeWorkerBusy());
    // Nothing written: no temporary, and a file planted at the output's name (through a link
    // too) as it was.
    const bool planted = damage.contains("out/");
    QCOMPARE(QDir(Out()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
             planted ? QStringList{"set.bin"} : QStringList());
    if (planted)
        QCOMPARE(ReadBytes(Out() + "/set.bin"), QByteArray("precious"));
}

void TestMergeDlg::badHeaderEndsTheDialog_data()
{
    QTest::addColumn<QByteArray>("header");
    QTest::newRow("a set of one chip") << Header(1);
    QTest::newRow("a count of 0") << Header(0);
    QTest::newRow("a header of 3 bytes") << QByteArray("\x07\x00\x00", 3);
}

void TestMergeDlg::badHeaderEndsTheDialog()
{
    QFETCH(QByteArray, header);
    const QString base = QDir(Dir()).filePath("one.bin");
    QVERIFY(MakeSet(base, {PatternBytes(MB, 1)}, false));
    QVERIFY(WriteBytes(base + ".DAV", header));
    CMergeDlg dlg;
    dlg.show();
    BrowseFile(dlg, 1001, base + ".DAV");
    BrowseFolder(dlg, Out());
    Click(dlg, 1);
    QCOMPARE(m_boxes.Texts(), QStringList{Text(IDS_BAD_HEADER)});
    QCOMPARE(m_boxes.boxes[0].icon, MsgIcon::Exclamation);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!MergeWorkerBusy());
    QVERIFY(QDir(Out()).isEmpty());
}

void TestMergeDlg::progressRangeAndLastBlock()
{
    // An existing output, larger than the set, that the user agrees to replace.
    const QString base = QDir(Dir()).filePath("three.bin");
    const QList<QByteArray> chips{PatternBytes(MB, 1), PatternBytes(MB, 2), PatternBytes(1000, 3)};
    QVERIFY(MakeSet(base, chips));
    QVERIFY(WriteBytes(Out() + "/three.bin", PatternBytes(3 * MB, 9)));
    CMergeDlg dlg;
    dlg.show();
    auto* progress = Control<ui::CPercentProgressCtrl>(dlg, 1013);
    int pos = -1;
    int upper = -1;
    m_boxes.onBox = [&](const ShownBox&) {
        pos = progress->GetPos();
        upper = progress->GetUpper();
    };
    BrowseFile(dlg, 1001, base + ".DAV");
    BrowseFolder(dlg, Out());
    Click(dlg, 1);
    QVERIFY(progress->IsLabelShown());
    for (int id : {1, 1001, 1007})
        QVERIFY(!Control(dlg, id)->isEnabled());
    QVERIFY(Control(dlg, 2)->isEnabled());
    QTRY_VERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(m_boxes.Texts(),
             QStringList({Formatted(IDS_CONFIRM_REPLACE_FILE, Out() + "/three.bin"), Text(IDS_MERGE_FINISHED)}));
    QCOMPARE(upper, 33);
    QCOMPARE(pos, 33);
    QCOMPARE(ui::ComputeProgressLayout(pos, 0, upper, progress->width()).text, QStringLiteral("100%"));
    QCOMPARE(ReadBytes(Out() + "/three.bin"), chips[0] + chips[1] + chips[2]);
}

void TestMergeDlg::cancelThenMergeAgainRewritesFromStart()
{
    const QString base = QDir(Dir()).filePath("again.bin");
    const QList<QByteArray> chips{PatternBytes(2 * MB, 1), PatternBytes(2 * MB, 2), PatternBytes(5000, 3)};
    QVERIFY(MakeSet(base, chips));
    const auto gate = WorkerGate::HoldAt(WM_MERGE_PROGRESS, 1);
    CMergeDlg dlg;
    dlg.show();
    BrowseFile(dlg, 1001, base + ".DAV");
    BrowseFolder(dlg, Out());
    Click(dlg, 1);
    QCOMPARE(MergeJob.runState.load(), kRunRunning); // the start gap is closed
    QTRY_VERIFY(gate->Reached());
    m_boxes.questionAnswer = MsgAnswer::No;
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QCOMPARE(MergeJob.runState.load(), kRunRunning);
    m_boxes.questionAnswer = MsgAnswer::Yes;
    dlg.close();
    QCOMPARE(m_boxes.Texts(), QStringList(2, Text(IDS_CONFIRM_CANCEL_MERGE)));
    QCOMPARE(m_boxes.boxes[1].icon, MsgIcon::Question);
    QCOMPARE(MergeJob.runState.load(), kRunCancel);
    QVERIFY(dlg.isVisible());
    gate->Release();
    QTRY_VERIFY(m_boxes.Shown(Text(IDS_MERGE_CANCELED)));
    QCOMPARE(m_boxes.boxes.back().icon, MsgIcon::Stop);
    QVERIFY(dlg.isVisible());
    QVERIFY(Control(dlg, 1)->isEnabled());
    QCOMPARE(Control<QLineEdit>(dlg, 1012)->text(), QStringLiteral("3"));
    // Neither a part under the final name nor the temporary is left.
    QVERIFY(QDir(Out()).isEmpty());

    ResetSeams();
    m_boxes.boxes.clear();
    m_boxes.Install();
    Click(dlg, 1);
    QTRY_VERIFY(!dlg.isVisible());
    QCOMPARE(m_boxes.Texts(), QStringList{Text(IDS_MERGE_FINISHED)});
    QCOMPARE(ReadBytes(Out() + "/again.bin"), chips[0] + chips[1] + chips[2]);
}

void TestMergeDlg::writeFailureIsReportedNotFinished()
{
    // The disk fills up during a run that was to replace an existing file: that file survives.
    const QString base = QDir(Dir()).filePath("full.bin");
    QVERIFY(MakeSet(base, {PatternBytes(2 * MB, 1), PatternBytes(2 * MB, 2)}));
    const QString dest = Out() + "/full.bin";
    QVERIFY(WriteBytes(dest, PatternBytes(1000, 9)));
    CMergeDlg dlg;
    dlg.show();
    BrowseFile(dlg, 1001, base + ".DAV");
    BrowseFolder(dlg, Out());
    {
        FileSizeLimit limit(3 * MB);
        Click(dlg, 1);
        QTRY_COMPARE(m_boxes.boxes.size(), size_t(2));
    }
    QCOMPARE(m_boxes.Texts(), QStringList({Formatted(IDS_CONFIRM_REPLACE_FILE, dest),
                                           Text(IDS_MERGE_IO_ERROR) + "\n" + Formatted(AFX_IDP_FILE_DISKFULL, dest)}));
    QCOMPARE(m_boxes.boxes[1].icon, MsgIcon::Stop);
    QVERIFY(dlg.isVisible());
    QVERIFY(Control(dlg, 1)->isEnabled());
    QCOMPARE(ReadBytes(dest), PatternBytes(1000, 9));
    QCOMPARE(QDir(Out()).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
             QStringList{"full.bin"});
}

void TestMergeDlg::destinationAtRootFolder()
{
    // The root keeps its one separator: the rebuilt file is "/name", not "//name".
    const QString name = QStringLiteral("zelvo-dlg-root-%1.bin").arg(QCoreApplication::applicationPid());
    const QString base = QDir(Dir()).filePath(name);
    QVERIFY(MakeSet(base, {PatternBytes(70000, 1), PatternBytes(10, 2)}));
    QString destPath;
    ui::SetRunStartHook([&] { destPath = FromPathString(MergeJob.destPath); });
    CMergeDlg dlg;
    dlg.show();
    BrowseFile(dlg, 1001, base + ".DAV");
    BrowseFolder(dlg, QDir::rootPath());
    QCOMPARE(Control<QLineEdit>(dlg, 1006)->text(), QDir::toNativeSeparators(QDir::rootPath()));
    Click(dlg, 1);
    QTRY_VERIFY(!dlg.isVisible());
    const QString rebuilt = QDir::toNativeSeparators(QDir::rootPath()) + name;
    QCOMPARE(destPath, rebuilt);
    const QByteArray joined = ReadBytes(rebuilt);
    QFile::remove(rebuilt);
    QCOMPARE(joined, PatternBytes(70000, 1) + PatternBytes(10, 2));
}

void TestMergeDlg::doubleClickMessage()
{
    CMergeDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    auto* label = Control(dlg, 1025);
    QTest::mouseDClick(label, Qt::LeftButton, {}, label->rect().center());
    QCOMPARE(m_boxes.Texts(), QStringList{"Unite all chip files into a big one."});
    g_langFile.SetPath((QCoreApplication::applicationDirPath() + "/Lang/JAP.lang").toStdU16String());
    QVERIFY(g_langFile.Load());
    QTest::mouseDClick(&dlg, Qt::LeftButton, {}, QPoint(3, dlg.height() - 3));
    QCOMPARE(m_boxes.Texts().last(), QStringLiteral("すべての分割ファイルを 1 つの大きなファイルに結合します。"));
    QCOMPARE(m_boxes.boxes.back().icon, MsgIcon::Exclamation);
}

void TestMergeDlg::endToEndJoinOfAnEngineSet_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<bool>("damaged");
    QTest::addColumn<bool>("drop");       // the chip and the folder dropped on their fields
    QTest::addColumn<bool>("background"); // another window is active when the run ends
    QTest::newRow("paths with a space and CJK") << 0 << false << false << false;
    QTest::newRow("paths of more than 300 characters, dropped on the fields") << 5 << false << true << false;
    QTest::newRow("a byte of chip 4 changed, in the background: named, nothing written, a notice")
        << 0 << true << false << true;
}

void TestMergeDlg::endToEndJoinOfAnEngineSet()
{
    QFETCH(int, depth);
    QFETCH(bool, damaged);
    QFETCH(bool, drop);
    QFETCH(bool, background);
    QString folder = Dir();
    for (int i = 0; i < depth; ++i)
        folder += QStringLiteral("/%1 长路径 long folder name to go past two hundred characters").arg(i);
    QVERIFY(QDir().mkpath(folder + "/chips"));
    QVERIFY(QDir().mkpath(folder + "/joined"));
    const QString source = folder + QStringLiteral("/报告 report.tar.gz");
    const QByteArray data = PatternBytes(5 * MB + 4321, 11);
    QVERIFY(WriteBytes(source, data));

    // The set as the split worker writes it.
    const SplitPlan split = PlanSplit(ToPathString(source), 1, ToPathString(folder + "/chips"));
    QCOMPARE(split.refusal.what, Refusal::None);
    LoadComminuteJob(split, false);
    uint64_t outcome = 99;
    ComminuteWorker([&](uint32_t message, uint64_t wParam) {
        if (message == WM_COMMINUTE_DONE)
            outcome = wParam;
    });
    QCOMPARE(outcome, kOutcomeFinished);
    const QString chip4 = folder + QStringLiteral("/chips/报告 report.tar.gz.D04");
    if (damaged) {
        QByteArray bytes = ReadBytes(chip4);
        bytes[1000] = char(bytes[1000] ^ 1);
        QVERIFY(WriteBytes(chip4, bytes));
    }

    CMergeDlg dlg;
    dlg.show();
    const QString chip3 = folder + QStringLiteral("/chips/报告 report.tar.gz.D03");
    if (drop)
        QVERIFY(DropOn(Control(dlg, 1011), {chip3}));
    else
        BrowseFile(dlg, 1001, chip3);
    QCOMPARE(Control<QLineEdit>(dlg, 1012)->text(), QStringLiteral("6"));
    QCOMPARE(Control<QLineEdit>(dlg, 1009)->text(), QStringLiteral("报告 report.tar.gz"));
    if (drop)
        QVERIFY(DropOn(Control(dlg, 1006), {folder + "/joined"}));
    else
        BrowseFolder(dlg, folder + "/joined");
    QWidget other;
    other.show();
    QWidget& active = background ? other : static_cast<QWidget&>(dlg);
    active.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&active));
    Click(dlg, 1);
    QCOMPARE(Control<ui::CPercentProgressCtrl>(dlg, 1013)->GetUpper(), 81); // 80 whole blocks and a short one
    if (damaged) {
        QTRY_COMPARE_WITH_TIMEOUT(m_boxes.boxes.size(), size_t(1), 20000);
        QCOMPARE(m_boxes.Texts().first(),
                 Text(IDS_MERGE_IO_ERROR) + "\nChip 4 of 6 is damaged: " + chip4 + " does not match its checksum!");
        QCOMPARE(m_boxes.boxes[0].icon, MsgIcon::Stop);
        QCOMPARE(m_boxes.notices, QStringList{"File Merge: " + m_boxes.Texts().first()});
        QVERIFY(dlg.isVisible());
        QVERIFY(QDir(folder + "/joined").isEmpty());
        return;
    }
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isVisible(), 20000);
    QCOMPARE(m_boxes.Texts(), QStringList{Text(IDS_MERGE_FINISHED)});
    QCOMPARE(m_boxes.notices, QStringList());
    QCOMPARE(ReadBytes(folder + QStringLiteral("/joined/报告 report.tar.gz")), data);
}

QTEST_MAIN(TestMergeDlg)
#include "tst_MergeDlg.moc"
