// The Comminute dialog driven as a user drives it: browse, type a size, press Comminute, answer
// the boxes. Workers run for real on temporary files; where a test needs the worker to stand
// still (a cancel, a double click during a run) a gate holds it inside a progress notification.
#include "CComminuteDlg.h"
#include "ChipSet.h"
#include "DialogTestSupport.h"
#include "LanguageTable.h"
#include "RunStatus.h"
#include "StringTable.h"
#include "Workers.h"

#include <QAccessible>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QTemporaryDir>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

using namespace zelvo;

namespace {

constexpr qint64 MB = 1048576;

void LoadLanguage(int language)
{
    if (language != lang::kNoLanguage) {
        const QString name = QString::fromStdU16String(std::u16string(theLanguageTable[language].name));
        g_langFile.SetPath((QCoreApplication::applicationDirPath() + "/Lang/" + name + ".lang").toStdU16String());
        QVERIFY(g_langFile.Load());
    }
    g_language = language;
}

} // namespace

class TestComminuteDlg final : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void opensReadyWithTemplateArrangement();
    void languageTextsReplaceTemplateTexts_data();
    void languageTextsReplaceTemplateTexts();
    void statusLine_data();
    void statusLine();
    void refusals_data();
    void refusals();
    void replacesAnOlderLargerSetAfterYes();
    void hundredChipsAcceptedThenCancelled();
    void cancelQuestionWhileRunning_data();
    void cancelQuestionWhileRunning();
    void confirmedCancelAfterWorkerFinished();
    void sourceLockedAfterThePress();
    void writeFailureIsReportedNotFinished();
    void doubleClickFallbackAndControls();
    void workerOutlivesItsDialogAndBlocksANewRun();
    void closeDoesNotAskAboutAnotherDialogsRun();
    void endToEndSplit_data();
    void endToEndSplit();

private:
    // Fills the three inputs through the browse buttons and the size field.
    void Fill(CComminuteDlg& dlg, const QString& source, const QString& size, const QString& dest);
    QString Dir() const { return m_dir->path(); }
    std::unique_ptr<QTemporaryDir> m_dir;
    BoxRecorder m_boxes;
};

void TestComminuteDlg::initTestCase()
{
    lang::RegisterLanguageState(g_language, g_langFile);
}

void TestComminuteDlg::init()
{
    QVERIFY(StartDialogTest(m_dir, m_boxes));
}

void TestComminuteDlg::cleanup()
{
    ResetSeams();
    // No worker of one test may reach into the next.
    QTRY_VERIFY_WITH_TIMEOUT(!ComminuteWorkerBusy(), 20000);
    m_dir.reset();
}

void TestComminuteDlg::Fill(CComminuteDlg& dlg, const QString& source, const QString& size, const QString& dest)
{
    if (!source.isEmpty())
        BrowseFile(dlg, 1001, source);
    Control<QLineEdit>(dlg, 1002)->setText(size);
    if (!dest.isEmpty())
        BrowseFolder(dlg, dest);
}

void TestComminuteDlg::opensReadyWithTemplateArrangement()
{
    CComminuteDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QCOMPARE(dlg.windowTitle(), QStringLiteral("File Comminute"));

    auto* unit = Control<QComboBox>(dlg, 1010);
    QVERIFY(unit);
    QCOMPARE(unit->currentText(), QStringLiteral("M Bytes"));
    QVERIFY(!unit->isEnabled());
    auto* progress = Control<ui::CPercentProgressCtrl>(dlg, 1008);
    QVERIFY(progress);
    QVERIFY(!progress->IsLabelShown());
    QVERIFY(Control<QPushButton>(dlg, 1)->isDefault());
    QCOMPARE(dlg.focusWidget(), Control(dlg, 1));

    // Enter presses Comminute, whose first check fails on the empty source.
    QTest::keyClick(&dlg, Qt::Key_Return);
    QCOMPARE(m_boxes.Texts(), QStringList{Text(IDS_SELECT_SOURCE)});
    Control(dlg, 1)->setFocus();

    // Browsing: the one filter; a cancelled file-open or folder dialog changes nothing.
    BrowseFile(dlg, 1001, QDir(Dir()).filePath("x.bin"));
    QCOMPARE(LastOpenFilter(), QStringLiteral("All Files (*.*)"));
    BrowseFile(dlg, 1001, QString());
    QCOMPARE(Control<QLineEdit>(dlg, 1000)->text(), QDir::toNativeSeparators(QDir(Dir()).filePath("x.bin")));
    BrowseFolder(dlg, Dir());
    BrowseFolder(dlg, QString());
    QCOMPARE(Control<QLineEdit>(dlg, 1006)->text(), QDir::toNativeSeparators(Dir()));
    QCOMPARE(dlg.focusWidget(), Control(dlg, 1));
    // A drop takes the one kind of item a field is for; the chooser of the next dialog opens at
    // the folder chosen here.
    const QString file = QDir(Dir()).filePath("y.bin");
    QVERIFY(WriteBytes(file, "y"));
    QVERIFY(!DropOn(Control(dlg, 1000), {QDir(Dir()).filePath("out")}));
    QVERIFY(!DropOn(Control(dlg, 1000), {file, file}));
    QVERIFY(!DropOn(Control(dlg, 1006), {file}));
    QVERIFY(DropOn(Control(dlg, 1006), {QDir(Dir()).filePath("out/")}));
    QCOMPARE(Control<QLineEdit>(dlg, 1006)->text(), QDir::toNativeSeparators(QDir(Dir()).filePath("out")));
    QString start;
    ui::SetFolderDialogAnswerer([&](const QString&, const QString& at) {
        start = at;
        return QString();
    });
    CComminuteDlg next;
    next.show();
    Click(next, 1007);
    QCOMPARE(start, Dir());

    // Path fields take no typing; the size field takes digits only.
    QVERIFY(Control<QLineEdit>(dlg, 1000)->isReadOnly());
    QVERIFY(Control<QLineEdit>(dlg, 1006)->isReadOnly());
    QVERIFY(Control<QLineEdit>(dlg, 1005)->isReadOnly());
    auto* size = Control<QLineEdit>(dlg, 1002);
    size->setFocus();
    QTest::keyClicks(size, QStringLiteral("1a2-3 4"));
    QCOMPARE(size->text(), QStringLiteral("1234"));

    // Tab order: Comminute, Close, source field, its button, size, count, folder, its button; the
    // disabled unit box is skipped and the chain comes back round.
    QCOMPARE(TabChain(dlg, 9), QStringList({"1", "2", "1000", "1001", "1002", "1005", "1006", "1007", "1"}));

    // Source left of destination, bar under both, the buttons under the bar.
    const auto at = [&](int id) { return Control(dlg, id)->mapTo(&dlg, QPoint(0, 0)); };
    QVERIFY(at(1016).x() < at(1017).x());
    QVERIFY(at(1008).y() > at(1016).y() + Control(dlg, 1016)->height() - 1);
    QVERIFY(at(1).y() > at(1008).y());
    QVERIFY(at(1).x() < at(2).x());
}

void TestComminuteDlg::languageTextsReplaceTemplateTexts_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("texts"); // caption, 1019, 1020, 1017, 1016, 1021, 1018, 1, 2
    QTest::newRow("no language file: template texts")
        << lang::kNoLanguage
        << QStringList{"File Comminute",     "Files Size:",           "Files Total:", "Destination", "Source",
                       "Saved into Folder:", "Select Source File : ", "Comminute",    "Close"};
    QTest::newRow("Simplified Chinese") << 1
                                        << QStringList{"分割文件", "每块大小(&Z)：",     "分块总数(&T)：",   "目标",
                                                       "源文件",   "保存到文件夹(&F)：", "选择源文件(&S)：", "分割",
                                                       "关闭"};
    QTest::newRow("Japanese") << 3
                              << QStringList{
                                     "ファイルの分割", "分割サイズ(&Z):",       "分割数(&T):",           "保存先",
                                     "元ファイル",     "保存先フォルダー(&F):", "元ファイルを選択(&S):", "分割",
                                     "閉じる"};
}

void TestComminuteDlg::languageTextsReplaceTemplateTexts()
{
    QFETCH(int, language);
    QFETCH(QStringList, texts);
    LoadLanguage(language);
    CComminuteDlg dlg;
    QStringList shown{dlg.windowTitle()};
    for (int id : {1019, 1020})
        shown << Control<QLabel>(dlg, id)->text();
    for (int id : {1017, 1016})
        shown << Control<QGroupBox>(dlg, id)->title();
    for (int id : {1021, 1018})
        shown << Control<QLabel>(dlg, id)->text();
    for (int id : {1, 2})
        shown << Control<QPushButton>(dlg, id)->text();
    QCOMPARE(shown, texts);
    // Neither the unit box nor the browse buttons follow the language.
    QCOMPARE(Control<QComboBox>(dlg, 1010)->itemText(1), QStringLiteral("M Bytes"));
    QCOMPARE(Control<QPushButton>(dlg, 1001)->text(), QStringLiteral("..."));
    // No text is cut: every label gets at least the width its text needs.
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    for (QLabel* label : dlg.findChildren<QLabel*>())
        QVERIFY2(label->width() >= label->sizeHint().width(), qPrintable(label->text()));
    for (QPushButton* button : dlg.findChildren<QPushButton*>())
        QVERIFY2(button->width() >= button->fontMetrics().horizontalAdvance(button->text()) + 6,
                 qPrintable(button->text()));
    // A screen reader can name every control, and a label's mnemonic leads to its field.
    for (QWidget* control : dlg.findChildren<QWidget*>(QRegularExpression("^\\d+$")))
        QVERIFY2(!QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name).isEmpty(),
                 qPrintable(control->objectName()));
    for (QLabel* label : dlg.findChildren<QLabel*>())
        QVERIFY2(!label->text().contains('&') || label->buddy(), qPrintable(label->text()));
}

void TestComminuteDlg::statusLine_data()
{
    QTest::addColumn<int>("language");
    QTest::addColumn<qint64>("done");
    QTest::addColumn<qint64>("total");
    QTest::addColumn<qint64>("elapsedMs");
    QTest::addColumn<qint64>("secondsLeft"); // -1: not known yet
    QTest::addColumn<QString>("line");
    const int none = lang::kNoLanguage;
    QTest::newRow("nothing done: no speed, no time left") << none << 0LL << 5 * MB << 900LL << -1LL << "0 B of 5.0 MB";
    QTest::newRow("midway after 10 s: 10 s left")
        << none << 5 * MB / 2 << 5 * MB << 10000LL << 10LL << "2.5 MB of 5.0 MB · 256.0 KB/s · 0:10 left";
    QTest::newRow("a part of a second left counts as one")
        << none << 3 * MB << 4 * MB << 1000LL << 1LL << "3.0 MB of 4.0 MB · 3.0 MB/s · 0:01 left";
    QTest::newRow("at the end: nothing left")
        << none << 5 * MB << 5 * MB << 20000LL << 0LL << "5.0 MB of 5.0 MB · 256.0 KB/s";
    QTest::newRow("hours past a day: hours counted on")
        << none << 1024 * MB << 400 * 1024 * MB << 3600000LL << 399 * 3600LL
        << "1.0 GB of 400.0 GB · 291.3 KB/s · 399:00:00 left";
    QTest::newRow("Japanese texts") << 3 << 5 * MB / 2 << 5 * MB << 10000LL << 10LL
                                    << "2.5 MB / 5.0 MB · 256.0 KB/秒 · 残り 0:10";
}

void TestComminuteDlg::statusLine()
{
    QFETCH(int, language);
    QFETCH(qint64, done);
    QFETCH(qint64, total);
    QFETCH(qint64, elapsedMs);
    QFETCH(qint64, secondsLeft);
    QFETCH(QString, line);
    LoadLanguage(language);
    QCOMPARE(ui::SecondsLeft(done, total, elapsedMs).value_or(-1), secondsLeft);
    QCOMPARE(ui::RunStatusText(done, total, elapsedMs), line);
}

void TestComminuteDlg::refusals_data()
{
    QTest::addColumn<QString>("sourceName"); // empty: no source chosen
    QTest::addColumn<qint64>("sourceSize");
    QTest::addColumn<QString>("size");
    QTest::addColumn<bool>("withDest");
    // Before the press: the source "missing", "locked" or a "folder"; in out/ a "link NAME" to a
    // file outside, an older "set BASE" (two chips and a header chip), or a "lock" on the set.
    QTest::addColumn<QString>("planted");
    QTest::addColumn<int>("message");
    QTest::addColumn<QString>("named"); // the file the message names, in the test folder
    QTest::addColumn<int>("focus");     // 0: the focus is not moved

    QTest::newRow("empty source and size 0: only the source message")
        << "" << 0LL << "0" << false << "" << int(IDS_SELECT_SOURCE) << "" << 1000;
    QTest::newRow("size 0") << "a.bin" << MB << "0" << true << "" << int(IDS_INVALID_SIZE) << "" << 1002;
    QTest::newRow("empty size") << "a.bin" << MB << "" << true << "" << int(IDS_INVALID_SIZE) << "" << 1002;
    QTest::newRow("4096 MB does not fit 32 bits")
        << "a.bin" << MB << "4096" << true << "" << int(IDS_INVALID_SIZE) << "" << 1002;
    QTest::newRow("above 2147483647 reads as 0")
        << "a.bin" << MB << "2147483648" << true << "" << int(IDS_INVALID_SIZE) << "" << 1002;
    QTest::newRow("no destination") << "a.bin" << MB << "1" << false << "" << int(IDS_SELECT_DEST_FOLDER) << "" << 1006;
    QTest::newRow("source missing") << "源 file.bin" << MB << "1" << true << "missing" << int(AFX_IDP_FILE_NOT_FOUND)
                                    << "源 file.bin" << 0;
    QTest::newRow("source held by another program")
        << "源 file.bin" << MB << "1" << true << "locked" << int(AFX_IDP_FILE_SHARING) << "源 file.bin" << 0;
    QTest::newRow("source is a folder") << "源 file.bin" << MB << "1" << true << "folder"
                                        << int(AFX_IDP_FILE_ACCESS_DENIED) << "源 file.bin" << 0;
    QTest::newRow("one byte short of n MB")
        << "a.bin" << 3 * MB - 1 << "3" << true << "" << int(IDS_SOURCE_TOO_SMALL) << "" << 0;
    QTest::newRow("exactly n MB: a set of one chip could never be joined")
        << "a.bin" << 2 * MB << "2" << true << "" << int(IDS_SOURCE_TOO_SMALL) << "" << 0;
    QTest::newRow("empty source file") << "a.bin" << 0LL << "1" << true << "" << int(IDS_SOURCE_TOO_SMALL) << "" << 0;
    QTest::newRow("100 n MB + 1 is 101 chips")
        << "a.bin" << 200 * MB + 1 << "2" << true << "" << int(IDS_TOO_MANY_CHIPS) << "" << 0;
    QTest::newRow("a link at a middle chip's name")
        << "a.bin" << 3 * MB << "1" << true << "link a.bin.D02" << int(IDS_NOT_A_FILE) << "out/a.bin.D02" << 0;
    QTest::newRow("a link at the header chip's name")
        << "a.bin" << 3 * MB << "1" << true << "link a.bin.DAV" << int(IDS_NOT_A_FILE) << "out/a.bin.DAV" << 0;
    const QString longName = QString(247, 'x') + ".bin";
    QTest::newRow("only the hundredth chip's name is too long")
        << longName << 100 * MB << "1" << true << "" << int(IDS_NAME_TOO_LONG) << "out/" + longName + ".D100" << 0;
    QTest::newRow("another run writes the set")
        << "a.bin" << 3 * MB << "1" << true << "lock" << int(IDS_SET_BUSY) << "out/a.bin" << 0;
    QTest::newRow("an older set, No to replacing it")
        << "a.bin" << 3 * MB << "1" << true << "set a.bin" << int(IDS_CONFIRM_REPLACE_SET) << "out/a.bin" << 0;
}

void TestComminuteDlg::refusals()
{
    QFETCH(QString, sourceName);
    QFETCH(qint64, sourceSize);
    QFETCH(QString, size);
    QFETCH(bool, withDest);
    QFETCH(QString, planted);
    QFETCH(int, message);
    QFETCH(QString, named);
    QFETCH(int, focus);

    const QString how = planted.section(' ', 0, 0);
    const QString plantedName = planted.section(' ', 1);
    const QString source = sourceName.isEmpty() ? QString() : QDir(Dir()).filePath(sourceName);
    if (how == "folder")
        QVERIFY(QDir().mkpath(source));
    else if (!source.isEmpty() && how != "missing")
        QVERIFY(MakeSparse(source, sourceSize));
    const int holder = how == "locked" ? ::open(QFile::encodeName(source).constData(), O_RDONLY) : -1;
    if (how == "locked")
        QCOMPARE(::flock(holder, LOCK_EX | LOCK_NB), 0);
    // Every file planted in out/ reads "precious" and must still read so: a link leads to a file
    // outside that the split must not write through.
    const QString out = QDir(Dir()).filePath("out");
    const QString victim = QDir(Dir()).filePath("victim");
    QVERIFY(WriteBytes(victim, "precious"));
    QStringList plantedNames;
    if (how == "link") {
        plantedNames << plantedName;
        QVERIFY(QFile::link(victim, out + "/" + plantedName));
    } else if (how == "set") {
        plantedNames << plantedName + ".D01" << plantedName + ".D02" << plantedName + ".DAV";
        for (const QString& name : plantedNames)
            QVERIFY(WriteBytes(out + "/" + name, "precious"));
    }
    FileError lockError = FileError::None;
    const SetLock lock = how == "lock" ? SetLock::Acquire(ToPathString(out + "/a.bin"), &lockError) : SetLock();
    QCOMPARE(lock.Held(), how == "lock");
    m_boxes.questionAnswer = MsgAnswer::No;

    CComminuteDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    Fill(dlg, source, size, withDest ? out : QString());
    Control<QLineEdit>(dlg, 1005)->setText(QStringLiteral("7")); // an earlier count stays
    Control(dlg, 2)->setFocus();

    Click(dlg, 1);
    if (holder >= 0)
        ::close(holder);
    const QString text =
        named.isEmpty()
            ? Text(message)
            : QString::fromStdString(FormatString1(LoadString(message), QDir(Dir()).filePath(named).toStdString()));
    QCOMPARE(m_boxes.Texts(), QStringList{text});
    QCOMPARE(m_boxes.boxes[0].icon, how == "set"      ? MsgIcon::Question
                                    : named.isEmpty() ? MsgIcon::Exclamation
                                                      : MsgIcon::Stop);
    QCOMPARE(dlg.focusWidget(), Control(dlg, focus ? focus : 2));
    // Nothing changed, nothing started, nothing written.
    QVERIFY(dlg.isVisible());
    QVERIFY(Control(dlg, 1)->isEnabled());
    QVERIFY(Control(dlg, 1002)->isEnabled());
    QCOMPARE(Control<QLineEdit>(dlg, 1005)->text(), QStringLiteral("7"));
    QVERIFY(!Control<ui::CPercentProgressCtrl>(dlg, 1008)->IsLabelShown());
    QVERIFY(!ComminuteWorkerBusy());
    QCOMPARE(QDir(out).entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot), plantedNames);
    for (const QString& name : plantedNames)
        QCOMPARE(ReadBytes(out + "/" + name), QByteArray("precious"));
}

void TestComminuteDlg::replacesAnOlderLargerSetAfterYes()
{
    const QString source = QDir(Dir()).filePath(QStringLiteral("set.bin"));
    QVERIFY(WriteBytes(source, PatternBytes(2 * MB + 1, 1)));
    const QString base = QDir(Dir()).filePath("out/set.bin");
    for (const char* suffix : {".D01", ".D02", ".D03", ".D04"})
        QVERIFY(WriteBytes(base + suffix, PatternBytes(10, 2)));
    QVERIFY(WriteBytes(base + ".DAV", QByteArray("\x04\x00\x00\x00", 4)));
    CComminuteDlg dlg;
    dlg.show();
    auto* progress = Control<ui::CPercentProgressCtrl>(dlg, 1008);
    int lastPos = -1;
    int upper = -1;
    QString status;
    m_boxes.onBox = [&](const ShownBox&) {
        lastPos = progress->GetPos();
        upper = progress->GetUpper();
        status = dlg.findChild<QLabel*>("runStatus")->text();
    };
    Fill(dlg, source, "1", QDir(Dir()).filePath("out"));
    Click(dlg, 1);
    QCOMPARE(m_boxes.boxes.size(), size_t(1)); // the question, answered Yes
    QCOMPARE(Control<QLineEdit>(dlg, 1005)->text(), QStringLiteral("3"));
    QVERIFY(!Control(dlg, 1)->isEnabled());
    QVERIFY(!Control(dlg, 1002)->isEnabled());
    QVERIFY(!Control(dlg, 1001)->isEnabled());
    QVERIFY(!Control(dlg, 1007)->isEnabled());
    QVERIFY(Control(dlg, 2)->isEnabled());
    QVERIFY(progress->IsLabelShown());

    QTRY_VERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QCOMPARE(m_boxes.Texts().value(1), Text(IDS_COMMINUTE_FINISHED));
    QCOMPARE(m_boxes.boxes[1].icon, MsgIcon::Exclamation);
    // The bar stood at its end, 33 blocks of 33, when the outcome was reported.
    QCOMPARE(upper, 33);
    QCOMPARE(lastPos, 33);
    QVERIFY2(status.startsWith("2.0 MB of 2.0 MB") && !status.contains("left"), qPrintable(status));
    QCOMPARE(ReadBytes(base + ".D01") + ReadBytes(base + ".D02") + ReadBytes(base + ".D03"), ReadBytes(source));
    QCOMPARE(ReadBytes(base + ".DAV"), QByteArray("\x03\x00\x00\x00", 4));
    QVERIFY(!QFile::exists(base + ".D04"));
}

void TestComminuteDlg::hundredChipsAcceptedThenCancelled()
{
    const QString source = QDir(Dir()).filePath(QStringLiteral("hundred.bin"));
    QVERIFY(MakeSparse(source, 100 * MB));
    const auto gate = WorkerGate::HoldAt(WM_COMMINUTE_PROGRESS, 1);
    CComminuteDlg dlg;
    dlg.show();
    Fill(dlg, source, "1", QDir(Dir()).filePath("out"));
    Click(dlg, 1);
    QTRY_VERIFY(gate->Reached());
    QCOMPARE(Control<QLineEdit>(dlg, 1005)->text(), QStringLiteral("100"));
    QCOMPARE(Control<ui::CPercentProgressCtrl>(dlg, 1008)->GetUpper(), 1600);
    QVERIFY(!DropOn(Control(dlg, 1000), {source})); // no new source during a run
    dlg.reject();
    gate->Release();
    QTRY_VERIFY(m_boxes.Shown(Text(IDS_COMMINUTE_CANCELED)));
    QVERIFY(dlg.isVisible());
}

void TestComminuteDlg::cancelQuestionWhileRunning_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("Yes cancels, the dialog is ready again") << true;
    QTest::newRow("No lets the run finish") << false;
}

void TestComminuteDlg::cancelQuestionWhileRunning()
{
    QFETCH(bool, yes);
    const QString source = QDir(Dir()).filePath(QStringLiteral("run.bin"));
    QVERIFY(WriteBytes(source, PatternBytes(3 * MB, 2)));
    const QString out = QDir(Dir()).filePath("out");
    const auto gate = WorkerGate::HoldAt(WM_COMMINUTE_PROGRESS, 1);
    m_boxes.questionAnswer = yes ? MsgAnswer::Yes : MsgAnswer::No;
    CComminuteDlg dlg;
    dlg.show();
    Fill(dlg, source, "1", out);
    Click(dlg, 1);
    // runState is 1 from the press on, before the worker's first step: a close request right
    // away asks instead of leaving the run without a window.
    QCOMPARE(ComminuteJob.runState.load(), kRunRunning);
    QTest::keyClick(&dlg, Qt::Key_Escape);
    QCOMPARE(m_boxes.Texts(), QStringList{Text(IDS_CONFIRM_CANCEL_COMMINUTE)});
    QCOMPARE(m_boxes.boxes[0].buttons, MsgButtons::YesNo);
    QCOMPARE(m_boxes.boxes[0].icon, MsgIcon::Question);
    QVERIFY(dlg.isVisible());
    if (!yes) {
        QCOMPARE(ComminuteJob.runState.load(), kRunRunning);
        // The close box asks the same question while the run goes on.
        dlg.close();
        QCOMPARE(m_boxes.Texts(),
                 QStringList({Text(IDS_CONFIRM_CANCEL_COMMINUTE), Text(IDS_CONFIRM_CANCEL_COMMINUTE)}));
        QVERIFY(dlg.isVisible());
    }
    gate->Release();

    if (yes) {
        QTRY_VERIFY(m_boxes.Shown(Text(IDS_COMMINUTE_CANCELED)));
        QCOMPARE(m_boxes.boxes.back().icon, MsgIcon::Stop);
        QVERIFY(dlg.isVisible());
        for (int id : {1, 1002, 1001, 1007})
            QVERIFY(Control(dlg, id)->isEnabled());
        QCOMPARE(Control<ui::CPercentProgressCtrl>(dlg, 1008)->GetPos(), 0);
        QVERIFY(!Control<ui::CPercentProgressCtrl>(dlg, 1008)->IsLabelShown());
        QVERIFY(!dlg.findChild<QLabel*>("runStatus")->isVisible());
        QCOMPARE(Control<QLineEdit>(dlg, 1005)->text(), QStringLiteral("3"));
        QVERIFY(!QFile::exists(out + "/run.bin.DAV"));
        // Pressing again with the same inputs writes the whole set over the cancelled one.
        ResetSeams();
        m_boxes.Install();
        Click(dlg, 1);
        QTRY_VERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    } else {
        QTRY_VERIFY(!dlg.isVisible());
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
        QVERIFY(!m_boxes.Shown(Text(IDS_COMMINUTE_CANCELED)));
    }
    QVERIFY(m_boxes.Shown(Text(IDS_COMMINUTE_FINISHED)));
    QCOMPARE(ReadBytes(out + "/run.bin.D01") + ReadBytes(out + "/run.bin.D02") + ReadBytes(out + "/run.bin.D03"),
             ReadBytes(source));
}

void TestComminuteDlg::confirmedCancelAfterWorkerFinished()
{
    // The question is open while the worker finishes: "finished" is shown over it, and the
    // dialog ends with OK once the question is answered, Yes or not.
    const QString source = QDir(Dir()).filePath(QStringLiteral("race.bin"));
    QVERIFY(WriteBytes(source, PatternBytes(2 * MB, 3)));
    const auto gate = WorkerGate::HoldAt(WM_COMMINUTE_PROGRESS, 1);
    CComminuteDlg dlg;
    dlg.show();
    Fill(dlg, source, "1", QDir(Dir()).filePath("out"));
    Click(dlg, 1);
    QTRY_VERIFY(gate->Reached());
    bool visibleUnderBoxes = false;
    m_boxes.onBox = [&](const ShownBox& box) {
        if (box.buttons != MsgButtons::YesNo)
            return;
        gate->Release();
        visibleUnderBoxes =
            QTest::qWaitFor([&] { return m_boxes.Shown(Text(IDS_COMMINUTE_FINISHED)); }, 20000) && dlg.isVisible();
    };
    dlg.reject();
    QCOMPARE(m_boxes.Texts(), QStringList({Text(IDS_CONFIRM_CANCEL_COMMINUTE), Text(IDS_COMMINUTE_FINISHED)}));
    QVERIFY(visibleUnderBoxes);
    QVERIFY(!dlg.isVisible());
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    // The late Yes cancels nothing and leaves nothing behind for the next run.
    QCOMPARE(ComminuteJob.runState.load(), kRunIdle);
}

void TestComminuteDlg::sourceLockedAfterThePress()
{
    const QString source = QDir(Dir()).filePath(QStringLiteral("locked later.bin"));
    QVERIFY(WriteBytes(source, PatternBytes(2 * MB, 4)));
    int holder = -1;
    ui::SetRunStartHook([&] {
        holder = ::open(QFile::encodeName(source).constData(), O_RDONLY);
        ::flock(holder, LOCK_EX | LOCK_NB);
    });
    CComminuteDlg dlg;
    dlg.show();
    Fill(dlg, source, "1", QDir(Dir()).filePath("out"));
    Click(dlg, 1);
    QVERIFY(holder >= 0);
    QTRY_VERIFY(!m_boxes.boxes.empty());
    ::close(holder);
    QCOMPARE(m_boxes.Texts(), QStringList{Text(IDS_OPEN_SOURCE_ERROR)});
    QCOMPARE(m_boxes.boxes[0].icon, MsgIcon::Stop);
    QVERIFY(dlg.isVisible());
    QVERIFY(Control(dlg, 1)->isEnabled());
    QVERIFY(QDir(Dir() + "/out").isEmpty());
}

void TestComminuteDlg::writeFailureIsReportedNotFinished()
{
    const QString source = QDir(Dir()).filePath(QStringLiteral("big.bin"));
    QVERIFY(WriteBytes(source, PatternBytes(4 * MB, 5)));
    const QString out = QDir(Dir()).filePath("out");
    CComminuteDlg dlg;
    dlg.show();
    Fill(dlg, source, "2", out);
    {
        FileSizeLimit limit(MB + 100);
        Click(dlg, 1);
        QTRY_VERIFY(!m_boxes.boxes.empty());
    }
    const QString expected =
        Text(IDS_COMMINUTE_IO_ERROR) + "\n" +
        QString::fromStdString(FormatString1(LoadString(AFX_IDP_FILE_DISKFULL), (out + "/big.bin.D01").toStdString()));
    QCOMPARE(m_boxes.Texts(), QStringList{expected});
    QCOMPARE(m_boxes.boxes[0].icon, MsgIcon::Stop);
    QVERIFY(dlg.isVisible());
    QVERIFY(Control(dlg, 1)->isEnabled());
    QVERIFY(!Control<ui::CPercentProgressCtrl>(dlg, 1008)->IsLabelShown());
    QVERIFY(!QFile::exists(out + "/big.bin.DAV"));
}

void TestComminuteDlg::doubleClickFallbackAndControls()
{
    CComminuteDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    // No language file: the built-in text.
    QTest::mouseDClick(&dlg, Qt::LeftButton, {}, QPoint(3, 3));
    QCOMPARE(m_boxes.Texts(), QStringList{"To split big file into several chip ones."});
    // An enabled button takes the double click for itself.
    QTest::mouseDClick(Control(dlg, 2), Qt::LeftButton);
    QCOMPARE(m_boxes.boxes.size(), size_t(1));
    // The language file's text, also through a group box.
    g_langFile.SetPath((QCoreApplication::applicationDirPath() + "/Lang/CHT.lang").toStdU16String());
    QVERIFY(g_langFile.Load());
    auto* group = Control(dlg, 1017);
    QTest::mouseDClick(group, Qt::LeftButton, {}, QPoint(group->width() / 2, 3));
    QCOMPARE(m_boxes.Texts().last(), QStringLiteral("將大檔案分割成數個小分塊檔案。"));
    QVERIFY(dlg.isVisible());
}

void TestComminuteDlg::workerOutlivesItsDialogAndBlocksANewRun()
{
    const QString source = QDir(Dir()).filePath(QStringLiteral("orphan.bin"));
    QVERIFY(WriteBytes(source, PatternBytes(3 * MB, 7)));
    const QString out = QDir(Dir()).filePath("out");
    const auto gate = WorkerGate::HoldAt(WM_COMMINUTE_PROGRESS, 1);
    auto dlg = std::make_unique<CComminuteDlg>();
    dlg->show();
    Fill(*dlg, source, "1", out);
    Click(*dlg, 1);
    QTRY_VERIFY(gate->Reached());
    dlg->reject(); // Yes: cancel requested
    QCOMPARE(ComminuteJob.runState.load(), kRunCancel);
    dlg->reject(); // no question any more: the dialog ends at once
    QCOMPARE(m_boxes.boxes.size(), size_t(1));
    QVERIFY(!dlg->isVisible());
    QCOMPARE(dlg->result(), int(QDialog::Rejected));

    // A new dialog cannot start a split over the running one.
    CComminuteDlg second;
    second.show();
    Fill(second, source, "1", out);
    Click(second, 1);
    QCOMPARE(m_boxes.Texts().last(), Text(IDS_WORKER_BUSY));
    QVERIFY(second.isVisible());
    QVERIFY(Control(second, 1)->isEnabled());
    QCOMPARE(Control<QLineEdit>(second, 1005)->text(), QString());
    QCOMPARE(ComminuteJob.runState.load(), kRunCancel);

    // The first dialog goes away; its worker's notifications reach nothing.
    dlg.reset();
    const size_t shown = m_boxes.boxes.size();
    gate->Release();
    QTRY_VERIFY(!ComminuteWorkerBusy());
    QCoreApplication::processEvents();
    QCOMPARE(m_boxes.boxes.size(), shown);
    QVERIFY(!QFile::exists(out + "/orphan.bin.DAV"));

    // Now the new dialog can run.
    Click(second, 1);
    QTRY_VERIFY(!second.isVisible());
    QCOMPARE(second.result(), int(QDialog::Accepted));
}

void TestComminuteDlg::closeDoesNotAskAboutAnotherDialogsRun()
{
    const QString source = QDir(Dir()).filePath(QStringLiteral("other.bin"));
    QVERIFY(WriteBytes(source, PatternBytes(2 * MB, 9)));
    const auto gate = WorkerGate::HoldAt(WM_COMMINUTE_PROGRESS, 1);
    auto first = std::make_unique<CComminuteDlg>();
    first->show();
    Fill(*first, source, "1", QDir(Dir()).filePath("out"));
    Click(*first, 1);
    QTRY_VERIFY(gate->Reached());
    first.reset(); // gone while its run goes on
    QCOMPARE(ComminuteJob.runState.load(), kRunRunning);

    CComminuteDlg second;
    second.show();
    second.reject();
    QCOMPARE(m_boxes.Texts(), QStringList());
    QCOMPARE(second.result(), int(QDialog::Rejected));
    gate->Release();
    QTRY_VERIFY(!ComminuteWorkerBusy());
    QCoreApplication::processEvents();
    QCOMPARE(m_boxes.Texts(), QStringList());
}

void TestComminuteDlg::endToEndSplit_data()
{
    QTest::addColumn<int>("depth");       // nested folders of 60 characters each
    QTest::addColumn<bool>("drop");       // the source and the folder dropped on their fields
    QTest::addColumn<bool>("background"); // another window is active when the run ends
    QTest::newRow("paths with a space and CJK") << 0 << false << false;
    QTest::newRow("paths of more than 300 characters held whole") << 5 << false << false;
    QTest::newRow("dropped on the fields, ends in the background: a desktop notice") << 0 << true << true;
}

void TestComminuteDlg::endToEndSplit()
{
    QFETCH(int, depth);
    QFETCH(bool, drop);
    QFETCH(bool, background);
    QString folder = Dir();
    for (int i = 0; i < depth; ++i)
        folder += QStringLiteral("/%1 长路径 long folder name to go past two hundred characters").arg(i);
    QVERIFY(QDir().mkpath(folder + "/chips"));
    const QString source = folder + QStringLiteral("/报告 report.tar.gz");
    const QByteArray data = PatternBytes(5 * MB + 123, 8);
    QVERIFY(WriteBytes(source, data));
    if (depth)
        QVERIFY(source.size() > 300);

    CComminuteDlg dlg;
    dlg.show();
    if (drop) {
        QVERIFY(DropOn(Control(dlg, 1000), {source}));
        QVERIFY(DropOn(Control(dlg, 1006), {folder + "/chips"}));
        Control<QLineEdit>(dlg, 1002)->setText("2");
    } else {
        Fill(dlg, source, "2", folder + "/chips");
    }
    QWidget other;
    other.show();
    QWidget& active = background ? other : static_cast<QWidget&>(dlg);
    active.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&active));
    Click(dlg, 1);
    QCOMPARE(Control<QLineEdit>(dlg, 1005)->text(), QStringLiteral("3"));
    QTRY_VERIFY_WITH_TIMEOUT(!dlg.isVisible(), 20000);
    QCOMPARE(m_boxes.Texts(), QStringList{Text(IDS_COMMINUTE_FINISHED)});
    QCOMPARE(m_boxes.notices,
             background ? QStringList{"File Comminute: " + Text(IDS_COMMINUTE_FINISHED)} : QStringList());

    const QString base = folder + QStringLiteral("/chips/报告 report.tar.gz");
    QCOMPARE(ReadBytes(base + ".D01").size(), 2 * MB);
    QCOMPARE(ReadBytes(base + ".D02").size(), 2 * MB);
    QCOMPARE(ReadBytes(base + ".D01") + ReadBytes(base + ".D02") + ReadBytes(base + ".D03"), data);
    QCOMPARE(ReadBytes(base + ".DAV"), QByteArray("\x03\x00\x00\x00", 4));
    QVERIFY(!QFile::exists(base + ".D04"));
}

QTEST_MAIN(TestComminuteDlg)
#include "tst_ComminuteDlg.moc"
