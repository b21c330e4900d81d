// The application shell: the language file start-up loads and the locale's language id,
// the menu built from a file and the switch from it, the built-in menu and its prompts, and the
// dialog a file opens, be it dropped on the window, given at start or handed over by a second start,
// which the single-instance lock otherwise refuses.
#include "CSplitterApp.h"
#include "DialogTestSupport.h"
#include "LangMenu.h"
#include "StringTable.h"
#include "SystemLanguage.h"

#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QProcess>
#include <QPushButton>
#include <QStatusTipEvent>
#include <QStringEncoder>
#include <QtTest>
#include <sys/stat.h>

using namespace zelvo;

// Language files as the shipped ones are stored: UTF-16 little-endian with a byte-order mark and
// CR LF line ends. entries: "Section/key=text".
static bool WriteLangFile(const QString& path, const QStringList& entries)
{
    // A header before every entry: the reader gathers repeated sections into one.
    QString text;
    for (const QString& entry : entries)
        text += "[" + entry.section('/', 0, 0) + "]\r\n" + entry.section('/', 1) + "\r\n";
    QStringEncoder utf16(QStringConverter::Utf16LE, QStringConverter::Flag::WriteBom);
    QFile file(path);
    return QDir().mkpath(QFileInfo(path).path()) && file.open(QIODevice::WriteOnly) &&
           file.write(QByteArray(utf16(text))) > 0;
}

// The title and every menu text, each naming its file, popup and key: "CHS File 1001".
static QStringList MenuEntries(const QString& tag, const QString& title)
{
    QStringList entries{"Application/Title=" + title};
    for (const char* popup : {"File", "Setting", "Lang", "Help"}) {
        for (const char* key : {"1000", "1001", "1002", "1003"})
            entries << QString("%1 Menu/%2=%3 %1 %2").arg(popup, key, tag);
    }
    return entries;
}

// Tells report of each dialog that shows, with the first of its fields filled ("CMergeDlg /d/x.DAV"),
// then closes it.
struct DialogWatch final : QObject
{
    explicit DialogWatch(std::function<void(const QString&)> report) : m_report(std::move(report))
    {
        QCoreApplication::instance()->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* dialog = qobject_cast<QDialog*>(watched);
        if (dialog && event->type() == QEvent::Show) {
            // A file goes into its field once the dialog shows.
            QMetaObject::invokeMethod(
                dialog,
                [this, dialog] {
                    QStringList seen{dialog->metaObject()->className()};
                    for (const QLineEdit* edit : dialog->findChildren<QLineEdit*>())
                        seen << edit->text();
                    seen.removeAll(QString());
                    m_report(seen.mid(0, 2).join(' '));
                    dialog->close();
                },
                Qt::QueuedConnection);
        }
        return false;
    }

    std::function<void(const QString&)> m_report;
};

// Each test has a fresh program, lock and settings folder, and every box recorded.
class TestShell : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<CSplitterApp> m_app;
    BoxRecorder m_boxes;

    QString Path(const QString& name) const { return m_dir->filePath(name); }
    // The system's language is Traditional Chinese. A copy started before ends first.
    CSplitterApp& NewApp()
    {
        if (m_app)
            m_app->ExitInstance();
        m_app = std::make_unique<CSplitterApp>();
        m_app->SetProgramFolder(m_dir->path());
        m_app->SetSystemLanguageId(0x0404);
        m_app->SetInstanceLockFolder(m_dir->path());
        return *m_app;
    }

    static QString StoredLanguage() { return QSettings("Quorvex", "Zelvo").value("Settings/Language").toString(); }

    // A popup as the user sees it on opening it: "&File: File &Comminute=32771 | =0 | E&xit=57665",
    // a separator as "=0", sub-popups in braces, "[x]" for a check mark, "(off)" for a disabled item.
    static QString Describe(QMenu& menu)
    {
        emit menu.aboutToShow();
        QStringList items;
        for (QAction* action : menu.actions())
            items << (action->menu() ? "{" + Describe(*action->menu()) + "}"
                                     : action->text() + "=" + QString::number(zelvo::app::CommandId(action)) +
                                           (action->isChecked() ? " [x]" : "") + (action->isEnabled() ? "" : " (off)"));
        return menu.title() + ": " + items.join(" | ");
    }
    // The main window as the user sees it: its caption, then its popups.
    static QStringList DescribeWindow(CSplitterApp& app)
    {
        QStringList popups{app.MainWnd()->windowTitle()};
        for (QAction* popup : app.MainWnd()->menuBar()->actions())
            popups << Describe(*popup->menu());
        return popups;
    }

    // The item of a command on the bar as it stands (the popups a rebuild replaced go first).
    static QAction* Command(CSplitterApp& app, int id)
    {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        for (QAction* action : app.MainWnd()->menuBar()->findChildren<QAction*>()) {
            if (zelvo::app::CommandId(action) == id)
                return action;
        }
        return nullptr;
    }

    // The dialog that trigger opens, at once or from the event loop; it is closed again.
    static QString Opened(const std::function<void()>& trigger)
    {
        QString seen;
        DialogWatch watch([&](const QString& dialog) { seen = dialog; });
        trigger();
        QCoreApplication::sendPostedEvents();
        return seen;
    }

private slots:
    void init()
    {
        // A blank and CJK in the program folder's name, as users have them.
        m_dir = std::make_unique<QTemporaryDir>(QDir::tempPath() + "/zelvo app 文件-XXXXXX");
        QVERIFY(m_dir->isValid());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Path("settings"));
        m_boxes = BoxRecorder();
        m_boxes.Install();
    }
    void cleanup()
    {
        if (m_app)
            m_app->ExitInstance();
        m_app.reset();
        ResetTestSeams();
    }

    // The ids the system's locale stands for, as Windows reports them (the language they choose is
    // the core's rule).
    void languageIdFromTheLocale()
    {
        const std::pair<const char*, int> rows[] = {{"zh_TW", 0x0404}, {"zh_HK", 0x0C04}, {"zh_SG", 0x1004},
                                                    {"zh_MO", 0x1404}, {"zh_CN", 0x0804}, {"ja_JP", 0x0411},
                                                    {"ko_KR", 0x0409}};
        for (const auto& [locale, id] : rows)
            QCOMPARE(int(app::LanguageIdFromLocale(QLocale(locale))), id);
    }

    // Nothing stored: the system's language, CHT, with only its Merge item at start, read but never
    // written (which file wins is the core's rule); a file's menu replaces the built-in one. JAP,
    // without that item and without the Merge dialog's Close, chosen from the menu; then ENG, whose
    // file is missing, and a new start in JAP. There is no CHS file: its item is there all the same.
    void menuFromTheFileAndTheSwitch()
    {
        QVERIFY(WriteLangFile(Path("Lang/CHT.lang"), {"File Menu/1002=CHT Merge"}));
        QStringList jap = MenuEntries("JAP", "JAP title").filter(QRegularExpression("^(?!File Menu/1002)"));
        for (const char* key : {"Dialog Title", "Group Title Destination", "Group Title Source", "Source File Prompt",
                                "Destination Path Prompt", "Destination Name", "Chip File Totals Prompt", "Merge"})
            jap << QString("Doc Merge Dialog/%1=%1").arg(key);
        QVERIFY(WriteLangFile(Path("Lang/JAP.lang"), jap));
        CSplitterApp& app = NewApp();
        QVERIFY(app.InitInstance());
        // Missing texts give an empty caption and labels; the items keep their commands.
        QCOMPARE(DescribeWindow(app), (QStringList{"", ": =32771 | CHT Merge=32772 | =0 | =57665",
                                                   ": {: =61215 | =61216 | =61217 [x] | =61218}", ": =57664"}));
        QCOMPARE(StoredLanguage(), QString());

        // Chosen as a user does: the item's popup is replaced while it runs. A text the new file
        // lacks stays as the last file had it.
        Command(app, ID_LANG_JAP)->trigger();
        const QStringList japanese{
            "JAP title", "JAP File 1000: JAP File 1001=32771 | CHT Merge=32772 | =0 | JAP File 1003=57665",
            "JAP Setting 1000: {JAP Setting 1001: JAP Lang 1000=61215 | JAP Lang 1001=61216 | JAP Lang 1002=61217 | "
            "JAP Lang 1003=61218 [x]}",
            "JAP Help 1000: JAP Help 1001=57664"};
        QCOMPARE(DescribeWindow(app), japanese);
        QCOMPARE(StoredLanguage(), QString("JAP"));
        // The dialogs opened from the menu are handed the same file.
        QStringList mergeTexts;
        DialogWatch watch([&](const QString&) {
            const QWidget* dialog = QApplication::activeModalWidget();
            mergeTexts << dialog->windowTitle() << dialog->findChild<QPushButton*>("1")->text();
        });
        Command(app, ID_FILE_MERGE)->trigger();
        QCoreApplication::sendPostedEvents();
        QCOMPARE(mergeTexts, (QStringList{"Dialog Title", "Merge"}));

        // A missing file changes nothing; it is only said.
        Command(app, ID_LANG_ENG)->trigger();
        QCOMPARE(m_boxes.texts, QStringList{"Failed to read lang file!"});
        QCOMPARE(m_boxes.icons.at(0), ui::MsgIcon::Exclamation);
        QCOMPARE(DescribeWindow(app), japanese);
        QCOMPARE(StoredLanguage(), QString("JAP"));
        // The next start takes the stored language.
        QVERIFY(NewApp().InitInstance());
        QCOMPARE(m_app->MainWnd()->windowTitle(), QString("JAP title"));
    }

    void builtInMenuAndItsPrompts()
    {
        CSplitterApp& app = NewApp();
        QVERIFY(app.InitInstance());
        QVERIFY(!app.MainWnd()->windowIcon().isNull());
        QCOMPARE(DescribeWindow(app),
                 (QStringList{"Zelvo for File", "&File: File &Comminute=32771 | File &Merge=32772 | =0 | E&xit=57665",
                              "&Help: &About Zelvo for Doc=57664"}));
        QCOMPARE(Opened([&] { Command(app, ID_APP_ABOUT)->trigger(); }), QString("CAboutDlg"));

        // The message pane: the prompt of a highlighted item up to its line break, "Ready" once none is.
        QStatusTipEvent highlighted(Command(app, ID_APP_EXIT)->statusTip());
        QCoreApplication::sendEvent(app.MainWnd(), &highlighted);
        QCOMPARE(app.MainWnd()->findChild<QLabel*>("0")->text(), QString("Quit the application"));
        QStatusTipEvent none((QString()));
        QCoreApplication::sendEvent(app.MainWnd(), &none);
        QCOMPARE(app.MainWnd()->findChild<QLabel*>("0")->text(), QString("Ready"));
    }

    // Dropped on the window, or given at start: the files → the dialog opened. x.bin.DAV is there.
    void fileOpensItsDialog()
    {
        QVERIFY(QFile(Path("x.bin.DAV")).open(QIODevice::WriteOnly));
        const std::tuple<bool, QStringList, QString> rows[] = {
            {false, {"a.bin"}, "CComminuteDlg a.bin"},
            {false, {"x.bin.D01"}, "CMergeDlg x.bin.DAV"}, // a chip: its header chip
            {false, {"a.bin", "x.bin.DAV"}, ""},           // two files are not taken
            {false, {"."}, ""},                            // nor is a folder
            {true, {"x.bin.D01"}, "CMergeDlg x.bin.DAV"},
            {true, {"a.bin", "x.bin.DAV"}, ""},
        };
        for (const auto& [atStart, files, dialog] : rows) {
            QStringList paths;
            for (const QString& file : files)
                paths << Path(file);
            CSplitterApp& app = NewApp();
            QString opened = Opened([&, start = atStart, taken = !dialog.isEmpty()] {
                if (start)
                    QVERIFY(app.InitInstance(paths));
                else
                    QCOMPARE(app.InitInstance() && DropFiles(app.MainWnd(), paths), taken);
            });
            QCOMPARE(opened.remove(Path("") + "/"), dialog);
        }
    }

    void secondStartRefusedOrHandsOver()
    {
        // The first copy killed with SIGKILL leaves its lock file behind, yet the next start goes ahead.
        QProcess killed;
        killed.start(ZELVO_INSTANCE_PROBE, {Path("")});
        QVERIFY(killed.waitForReadyRead(30000));
        killed.kill();
        QVERIFY(killed.waitForFinished(30000) && QFile::exists(Path("Zelvo for File.lock")));
        QVERIFY(NewApp().InitInstance());

        // Without a file, or with several, a second start is refused.
        CSplitterApp second;
        second.SetInstanceLockFolder(Path(""));
        QVERIFY(!second.InitInstance() && !second.InitInstance({"a.bin", "b.bin"}) && !second.HandedOver());
        QCOMPARE(m_boxes.texts, QStringList(2, "An instance of Zelvo for File has been running!"));

        // With one file, named relative to its folder, it hands the file over and ends: this copy opens
        // the file's dialog with the full path, and says it is busy while that is open.
        const auto handOver = [this](QProcess& start, const QString& file) {
            start.setWorkingDirectory(Path(""));
            start.start(ZELVO_INSTANCE_PROBE, {Path(""), file});
            return QTest::qWaitFor([&] { return start.state() == QProcess::NotRunning; }, 30000) &&
                   start.exitCode() == 0;
        };
        QProcess handing, busy;
        QString opened;
        bool busyHandedOver = false;
        DialogWatch watch([&](const QString& dialog) {
            opened = dialog;
            busyHandedOver = handOver(busy, "a.bin.DAV");
        });
        QVERIFY(handOver(handing, "a.bin") && busyHandedOver);
        QCOMPARE(opened, "CComminuteDlg " + Path("a.bin"));
        QCOMPARE(m_boxes.texts.last(), QString("Zelvo for File is busy with another dialog. Close it first."));
    }

    // A lock that another user could hold or replace, here a link at the lock file (which locks are
    // unsafe is the engine's rule): the start is refused, naming it, rather than handing a file to
    // whoever listens there or writing through the link.
    void unsafeLockRefusesTheStart()
    {
        const QString folder = Path("locks"), named = folder + "/Zelvo for File.lock";
        QFile victim(Path("victim"));
        QVERIFY(::mkdir(QFile::encodeName(folder), 0700) == 0 && QFile::link(Path("victim"), named));
        QVERIFY(victim.open(QIODevice::WriteOnly) && victim.write("precious") == 8 && victim.flush());
        CSplitterApp app;
        app.SetInstanceLockFolder(folder);
        QVERIFY(!app.InitInstance({Path("a.bin")}) && !app.HandedOver());
        QCOMPARE(m_boxes.texts,
                 QStringList(QString::fromStdString(FormatString1(LoadString(IDS_LOCK_UNSAFE), named.toStdString()))));
        QCOMPARE(victim.size(), 8); // not cut through the link
    }
};

QTEST_MAIN(TestShell)
#include "tst_shell.moc"
