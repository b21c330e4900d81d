// Start-up: settings, default language, language file choice, the main window it leaves behind.
#include "AppTestSupport.h"
#include "CTitleView.h"
#include "LangText.h"
#include "SystemLanguage.h"
#include "TestLangFiles.h"

#include <QApplication>
#include <QLabel>
#include <QStatusBar>

using namespace zelvo;

class TestStartup : public QObject
{
    Q_OBJECT

    AppFixture m_fx;

private slots:
    void init() { m_fx.SetUp(); }
    void cleanup() { m_fx.TearDown(); }

    void startsWithBuiltInTextsWithoutLangFolder()
    {
        CSplitterApp& app = m_fx.NewApp();
        QVERIFY(app.InitInstance());

        QCOMPARE(app.m_nLanguage, 99);
        QCOMPARE(lang::CurrentLanguage(), 99);
        QVERIFY(app.MainWnd()->isVisible());
        QCOMPARE(app.MainWnd()->windowTitle(), QStringLiteral("Zelvo for File"));
        const QStringList builtIn{
            QStringLiteral("&File: File &Comminute=32771 | File &Merge=32772 | --- | E&xit=57665"),
            QStringLiteral("&Help: &About Zelvo for Doc=57664"),
        };
        QCOMPARE(AppFixture::DescribeBar(AppFixture::Bar(app)), builtIn);
        QVERIFY2(m_fx.m_messages.isEmpty(), qPrintable(m_fx.m_messages.join('\n')));
        QVERIFY2(!QFile::exists(m_fx.SettingsFile()), "start-up must not write the settings");
    }

    void choosesLanguageFile_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QStringList>("files");
        QTest::addColumn<int>("systemId");
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("caption");

        const QStringList all{"ENG", "CHS", "CHT", "JAP"};
        QTest::newRow("stored CHS") << "CHS" << all << 0x0409 << 1 << "title CHS";
        QTest::newRow("stored JAP wins over a Chinese system") << "JAP" << all << 0x0804 << 3 << "title JAP";
        QTest::newRow("stored FRA with FRA.lang: its texts, index stays 0")
            << "FRA" << QStringList{"FRA", "CHS"} << 0x0804 << 0 << "title FRA";
        QTest::newRow("stored chs: path as typed, no exact name, index 0")
            << "chs" << QStringList{"chs", "CHS"} << 0x0409 << 0 << "title chs";
        QTest::newRow("stored CHT, file missing: built-in")
            << "CHT" << QStringList{"ENG"} << 0x0409 << 99 << "Zelvo for File";
        QTest::newRow("empty, system 0x0C04 (Hong Kong) loads CHS") << "" << all << 0x0C04 << 1 << "title CHS";
        QTest::newRow("empty, system 0x0404 loads CHT") << "" << all << 0x0404 << 2 << "title CHT";
        QTest::newRow("empty, system 0x0411 loads JAP") << "" << all << 0x0411 << 3 << "title JAP";
        QTest::newRow("empty, system 0x0407 loads ENG") << "" << all << 0x0407 << 0 << "title ENG";
        QTest::newRow("empty, default file missing: built-in")
            << "" << QStringList{"ENG"} << 0x0411 << 99 << "Zelvo for File";
    }

    void choosesLanguageFile()
    {
        QFETCH(QString, stored);
        QFETCH(QStringList, files);
        QFETCH(int, systemId);
        QFETCH(int, language);
        QFETCH(QString, caption);

        for (const QString& name : std::as_const(files))
            QVERIFY(WriteLangFile(m_fx.LangPath(name), MenuEntries(name, "title " + name)));
        if (!stored.isEmpty())
            AppFixture::StoreLanguage(stored);
        const QByteArray settingsBefore = [&] {
            QFile f(m_fx.SettingsFile());
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        }();

        CSplitterApp& app = m_fx.NewApp(static_cast<std::uint16_t>(systemId));
        QVERIFY(app.InitInstance());

        QCOMPARE(app.m_nLanguage, language);
        QCOMPARE(app.MainWnd()->windowTitle(), caption);
        const int popups = AppFixture::Bar(app)->actions().size();
        QCOMPARE(popups, language == 99 ? 2 : 3);
        QVERIFY(m_fx.m_messages.isEmpty());
        // Nothing written, not even the default taken from the system.
        QFile after(m_fx.SettingsFile());
        QCOMPARE(after.open(QIODevice::ReadOnly) ? after.readAll() : QByteArray(), settingsBefore);
    }

    void emptyTitleGivesEmptyCaption()
    {
        QVERIFY(WriteLangFile(m_fx.LangPath("ENG"), MenuEntries("ENG", "")));
        CSplitterApp& app = m_fx.NewApp();
        QVERIFY(app.InitInstance());
        QCOMPARE(app.m_nLanguage, 0);
        QCOMPARE(app.MainWnd()->windowTitle(), QString());
    }

    void defaultLanguageName_data()
    {
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("name");
        QTest::newRow("0x0404 Chinese Taiwan") << 0x0404 << "CHT";
        QTest::newRow("0x0804 Chinese PRC") << 0x0804 << "CHS";
        QTest::newRow("0x0C04 Chinese Hong Kong is Simplified") << 0x0C04 << "CHS";
        QTest::newRow("0x1004 Chinese Singapore") << 0x1004 << "CHS";
        QTest::newRow("0x1404 Chinese Macao") << 0x1404 << "CHS";
        QTest::newRow("0x0004 Chinese neutral") << 0x0004 << "CHS";
        QTest::newRow("0x7C04 Chinese Traditional neutral is not sub-language 1") << 0x7C04 << "CHS";
        QTest::newRow("0x0411 Japanese") << 0x0411 << "JAP";
        QTest::newRow("0x0011 Japanese neutral") << 0x0011 << "JAP";
        QTest::newRow("0x0409 English US") << 0x0409 << "ENG";
        QTest::newRow("0x0407 German") << 0x0407 << "ENG";
        QTest::newRow("0x0412 Korean") << 0x0412 << "ENG";
        QTest::newRow("0x0000 neutral") << 0x0000 << "ENG";
    }

    void defaultLanguageName()
    {
        QFETCH(int, id);
        QFETCH(QString, name);
        QCOMPARE(app::DefaultLanguageName(static_cast<std::uint16_t>(id)), name);
    }

    void defaultLanguageFromLocale_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("name");
        QTest::newRow("zh_TW") << "zh_TW"
                               << "CHT";
        QTest::newRow("zh_CN") << "zh_CN"
                               << "CHS";
        QTest::newRow("zh_HK") << "zh_HK"
                               << "CHS";
        QTest::newRow("zh_SG") << "zh_SG"
                               << "CHS";
        QTest::newRow("ja_JP") << "ja_JP"
                               << "JAP";
        QTest::newRow("en_GB") << "en_GB"
                               << "ENG";
        QTest::newRow("ko_KR") << "ko_KR"
                               << "ENG";
        QTest::newRow("C") << "C"
                           << "ENG";
    }

    void defaultLanguageFromLocale()
    {
        QFETCH(QString, locale);
        QFETCH(QString, name);
        QCOMPARE(app::DefaultLanguageName(app::LanguageIdFromLocale(QLocale(locale))), name);
    }

    void langFilePathKeepsTheNameAsItStands()
    {
        CSplitterApp& app = m_fx.NewApp();
        const QString sep = QDir::separator();
        const QString folder = QDir::toNativeSeparators(m_fx.ProgramFolder());
        QCOMPARE(app.LangFilePath("CHS"), folder + sep + "Lang" + sep + "CHS.lang");
        QCOMPARE(app.LangFilePath("my lang"), folder + sep + "Lang" + sep + "my lang.lang");
    }

    void secondInstanceInProcessIsRefused()
    {
        CSplitterApp& first = m_fx.NewApp();
        QVERIFY(first.InitInstance());
        const int windowsBefore = QApplication::topLevelWidgets().size();

        CSplitterApp& second = m_fx.NewApp();
        QVERIFY(!second.InitInstance());
        QCOMPARE(m_fx.m_messages, QStringList{"An instance of Zelvo for File has been running!"});
        QCOMPARE(m_fx.m_icons.value(0), ui::MsgIcon::Exclamation);
        QVERIFY(second.MainWnd() == nullptr);
        QCOMPARE(QApplication::topLevelWidgets().size(), windowsBefore);
        QVERIFY(first.MainWnd()->isVisible());
    }

    void failedMainWindowEndsStartup()
    {
        class NoFrameApp final : public CSplitterApp
        {
        protected:
            bool CreateMainFrame() override { return false; }
        };
        NoFrameApp app;
        app.SetProgramFolder(m_fx.ProgramFolder());
        app.SetInstanceLockFolder(m_fx.LockFolder());
        QVERIFY(!app.InitInstance());
        QVERIFY(app.MainWnd() == nullptr);
    }
};

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
