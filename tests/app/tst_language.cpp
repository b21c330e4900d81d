// The language menu and the run-time switch: the rebuilt bar, accumulation across files, the
// check mark, and what a failed switch leaves alone.
#include "AppTestSupport.h"
#include "LangText.h"
#include "StringTable.h"
#include "TestLangFiles.h"

#include <QApplication>

using namespace zelvo;

class TestLanguage : public QObject
{
    Q_OBJECT

    AppFixture m_fx;

    CSplitterApp& startWith(const QString& stored)
    {
        AppFixture::StoreLanguage(stored);
        CSplitterApp& app = m_fx.NewApp();
        [&] { QVERIFY(app.InitInstance()); }();
        return app;
    }

    static QMenu* languagePopup(CSplitterApp& app)
    {
        QMenu* setting = AppFixture::Bar(app)->actions().at(1)->menu();
        return setting->actions().at(0)->menu();
    }

    // Opens the language popup the way the user does and returns, per item, "checked/enabled".
    static QStringList languageItemStates(CSplitterApp& app)
    {
        QMenu* popup = languagePopup(app);
        emit popup->aboutToShow();
        QStringList states;
        const auto actions = popup->actions();
        for (const QAction* action : actions)
            states << QStringLiteral("%1%2").arg(action->isChecked() ? "x" : "-", action->isEnabled() ? "e" : "d");
        return states;
    }

private slots:
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() { m_fx.SetUp(); }
    void cleanup() { m_fx.TearDown(); }

    void rebuiltBarHoldsFileSettingHelp()
    {
        QVERIFY(WriteLangFile(m_fx.LangPath("CHS"), MenuEntries("CHS", "标题")));
        CSplitterApp& app = startWith("CHS");
        const QStringList expected{
            "CHS &File: CHS Comminute=32771 | CHS Merge=32772 | --- | CHS Exit=57665",
            "CHS &Setting: {CHS Language: CHS English=61215 | CHS Simplified Chinese=61216 | "
            "CHS Traditional Chinese=61217 | CHS Japanese=61218}",
            "CHS &Help: CHS About=57664",
        };
        QCOMPARE(AppFixture::DescribeBar(AppFixture::Bar(app)), expected);
        QCOMPARE(app.MainWnd()->windowTitle(), QStringLiteral("标题"));
        // The prompts stay English whatever the language.
        QCOMPARE(AppFixture::FindCommand(AppFixture::Bar(app), ID_LANG_JAP)->statusTip(),
                 QStringLiteral("Set Language for UI to Japanese"));
    }

    void firstFileWithoutHelpMenuGivesEmptyLabels()
    {
        QVERIFY(WriteLangFile(m_fx.LangPath("ENG"), Without(MenuEntries("ENG", "t"), "Help Menu")));
        CSplitterApp& app = startWith("ENG");
        QMenuBar* bar = AppFixture::Bar(app);
        QCOMPARE(bar->actions().size(), 3);
        QCOMPARE(bar->actions().at(2)->text(), QString());
        QAction* about = AppFixture::FindCommand(bar, ID_APP_ABOUT);
        QVERIFY(about);
        QCOMPARE(about->text(), QString());
        QCOMPARE(about->data().toInt(), int(ID_APP_ABOUT));
        QVERIFY(about->isEnabled());
    }

    void missingKeyKeepsPreviousLanguageText()
    {
        QVERIFY(WriteLangFile(m_fx.LangPath("CHS"), MenuEntries("CHS", "CHS title")));
        QVERIFY(WriteLangFile(m_fx.LangPath("JAP"), Without(MenuEntries("JAP", "JAP title"), "Help Menu", "1001")));
        CSplitterApp& app = startWith("CHS");

        // Chosen from the menu, as a user does: the item's popup is replaced while it runs.
        AppFixture::FindCommand(AppFixture::Bar(app), ID_LANG_JAP)->trigger();

        QCOMPARE(app.m_nLanguage, 3);
        QCOMPARE(lang::CurrentLanguage(), 3);
        QCOMPARE(app.MainWnd()->windowTitle(), QStringLiteral("JAP title"));
        QMenuBar* bar = AppFixture::Bar(app);
        QCOMPARE(AppFixture::FindCommand(bar, ID_APP_ABOUT)->text(), QStringLiteral("CHS About"));
        QCOMPARE(bar->actions().at(2)->text(), QStringLiteral("JAP &Help"));
        QCOMPARE(AppFixture::FindCommand(bar, ID_FILE_MERGE)->text(), QStringLiteral("JAP Merge"));
        QCOMPARE(AppFixture::StoredLanguage().toString(), QStringLiteral("JAP"));
        QVERIFY(m_fx.m_messages.isEmpty());
    }

    void switchToMissingFileChangesNothing()
    {
        QVERIFY(WriteLangFile(m_fx.LangPath("CHT"), MenuEntries("CHT", "CHT title")));
        CSplitterApp& app = startWith("CHT");
        QMenuBar* bar = AppFixture::Bar(app);
        const QStringList barBefore = AppFixture::DescribeBar(bar);

        AppFixture::FindCommand(bar, ID_LANG_ENG)->trigger();

        QCOMPARE(m_fx.m_messages, QStringList{"Failed to read lang file!"});
        QCOMPARE(m_fx.m_icons.value(0), ui::MsgIcon::Exclamation);
        QCOMPARE(app.m_nLanguage, 2);
        QCOMPARE(app.MainWnd()->windowTitle(), QStringLiteral("CHT title"));
        QCOMPARE(AppFixture::DescribeBar(bar), barBefore);
        QCOMPARE(AppFixture::StoredLanguage().toString(), QStringLiteral("CHT"));
        QCOMPARE(languageItemStates(app), (QStringList{"-e", "-e", "xe", "-e"}));
        QCOMPARE(app.theLangFile.GetString(u"Application", u"Title"), std::u16string(u"CHT title"));
    }

    void checkMarkFollowsTheCurrentLanguage_data()
    {
        QTest::addColumn<QString>("start");
        QTest::addColumn<int>("switchTo");
        QTest::addColumn<QStringList>("states");
        QTest::newRow("ENG, no switch") << "ENG" << -1 << QStringList{"xe", "-e", "-e", "-e"};
        QTest::newRow("ENG to CHS") << "ENG" << 1 << QStringList{"-e", "xe", "-e", "-e"};
        QTest::newRow("CHS to JAP") << "CHS" << 3 << QStringList{"-e", "-e", "-e", "xe"};
        QTest::newRow("CHS to CHS again") << "CHS" << 1 << QStringList{"-e", "xe", "-e", "-e"};
        QTest::newRow("FRA file checks English") << "FRA" << -1 << QStringList{"xe", "-e", "-e", "-e"};
    }

    void checkMarkFollowsTheCurrentLanguage()
    {
        QFETCH(QString, start);
        QFETCH(int, switchTo);
        QFETCH(QStringList, states);
        // No CHT file: its item is enabled all the same.
        for (const char* name : {"ENG", "CHS", "JAP", "FRA"})
            QVERIFY(WriteLangFile(m_fx.LangPath(name), MenuEntries(name, QString::fromLatin1(name))));
        CSplitterApp& app = startWith(start);
        if (switchTo >= 0)
            app.SwitchLanguage(switchTo);
        QCOMPARE(languageItemStates(app), states);
        QVERIFY(m_fx.m_messages.isEmpty());
    }

    void switchAfterStartWithoutFileIsImpossible()
    {
        CSplitterApp& app = startWith("ENG");
        QCOMPARE(app.m_nLanguage, 99);
        QVERIFY(!AppFixture::FindCommand(AppFixture::Bar(app), ID_LANG_ENG));
    }

    void dialogTextsFollowTheSwitch()
    {
        QVERIFY(WriteLangFile(m_fx.LangPath("ENG"), {{"Doc Merge Dialog", "Dialog Title", "Merge ENG"}}));
        QVERIFY(WriteLangFile(m_fx.LangPath("CHS"), {{"Doc Merge Dialog", "Dialog Title", "合并文件"}}));
        CSplitterApp& app = startWith("ENG");
        QCOMPARE(lang::DialogTextsFor(lang::LangDialog::Merge)->at(0).text, QStringLiteral("Merge ENG"));
        app.SwitchLanguage(1);
        QCOMPARE(lang::DialogTextsFor(lang::LangDialog::Merge)->at(0).text, QStringLiteral("合并文件"));
    }
};

QTEST_MAIN(TestLanguage)
#include "tst_language.moc"
