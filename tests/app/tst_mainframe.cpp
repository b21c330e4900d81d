// The main window: status-bar prompts, the painted title and its colour, Exit, the dialog a file
// opens.
#include "AppTestSupport.h"
#include "CStaticLink.h"
#include "CTitleView.h"
#include "FileArgument.h"
#include "StringTable.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QStatusBar>
#include <QStyle>
#include <QStyleFactory>
#include <QTimer>

using namespace zelvo;

namespace {

// The bounding box of the navy title's pixels.
QRect navyPixels(const QImage& image)
{
    QRect box;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.blue() > 100 && c.red() < c.blue() - 60 && c.green() < c.blue() - 60)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

} // namespace

class TestMainFrame : public QObject
{
    Q_OBJECT

    AppFixture m_fx;

    CMainFrame* startFrame()
    {
        CSplitterApp& app = m_fx.NewApp();
        if (!app.InitInstance())
            return nullptr;
        return app.MainWnd();
    }

private slots:
    // The test itself goes on after the last window closes.
    void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }
    void init() { m_fx.SetUp(); }
    void cleanup()
    {
        if (QWidget* popup = QApplication::activePopupWidget())
            popup->close();
        m_fx.TearDown();
    }

    void statusBarShowsPromptOfHighlightedItem_data()
    {
        QTest::addColumn<int>("popup");
        QTest::addColumn<int>("id");
        QTest::addColumn<QString>("prompt");
        QTest::newRow("File Comminute") << 0 << int(ID_FILE_COMMINUTE) << "Comminute a big file into several chip ones";
        QTest::newRow("File Merge") << 0 << int(ID_FILE_MERGE) << "Merge all chip files into a big one";
        QTest::newRow("Exit: the part before the line break") << 0 << int(ID_APP_EXIT) << "Quit the application";
        QTest::newRow("About: the part before the line break")
            << 1 << int(ID_APP_ABOUT) << "Display program information, version number and copyright";
    }

    void statusBarShowsPromptOfHighlightedItem()
    {
        QFETCH(int, popup);
        QFETCH(int, id);
        QFETCH(QString, prompt);

        CMainFrame* frame = startFrame();
        QVERIFY(frame);
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        QLabel* pane = frame->statusBar()->findChild<QLabel*>(QStringLiteral("0"));
        QVERIFY(pane);
        QCOMPARE(pane->text(), QStringLiteral("Ready"));

        // Open the popup from the bar, as a user does, and highlight the item.
        QMenuBar* bar = AppFixture::Bar(frame);
        QMenu* menu = bar->actions().at(popup)->menu();
        bar->setActiveAction(menu->menuAction());
        QTRY_VERIFY(menu->isVisible());
        QAction* item = AppFixture::FindCommand(bar, id);
        QVERIFY(item);
        // Items whose dialog is still to come are disabled, and Qt highlights no disabled item;
        // the prompt is the item's own either way.
        item->setEnabled(true);
        menu->setActiveAction(item);
        QCOMPARE(pane->text(), prompt);

        // A separator, or nothing, highlighted while the menu is open: an empty pane.
        const auto separators = menu->actions();
        for (QAction* action : separators) {
            if (action->isSeparator())
                menu->setActiveAction(action);
        }
        if (popup == 0)
            QCOMPARE(pane->text(), QString());

        // Closed: "Ready" again.
        menu->close();
        bar->setActiveAction(nullptr);
        QTRY_COMPARE(pane->text(), QStringLiteral("Ready"));
    }

    void titleStaysCentredOnResize_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("small") << QSize(320, 200);
        QTest::newRow("wide and low") << QSize(900, 150);
        QTest::newRow("tall and narrow") << QSize(260, 700);
    }

    void titleStaysCentredOnResize()
    {
        QFETCH(QSize, size);
        CMainFrame* frame = startFrame();
        QVERIFY(frame);
        frame->resize(size);
        CTitleView* view = frame->View();
        QTRY_VERIFY(view->width() > 0 && view->height() > 0);
        const QImage image = view->grab().toImage();
        const QRect text = navyPixels(image);
        QVERIFY2(!text.isEmpty(), "no navy title painted");
        const QPointF viewCentre(image.width() / 2.0, image.height() / 2.0);
        const QPointF textCentre = QRectF(text).center();
        QVERIFY2(qAbs(textCentre.x() - viewCentre.x()) <= 3 && qAbs(textCentre.y() - viewCentre.y()) <= 4,
                 qPrintable(QStringLiteral("text box %1,%2 %3x%4 in %5x%6")
                                .arg(text.x())
                                .arg(text.y())
                                .arg(text.width())
                                .arg(text.height())
                                .arg(image.width())
                                .arg(image.height())));
        QCOMPARE(image.pixelColor(image.width() / 2, 3), view->palette().color(QPalette::Base));
    }

    void titleReadableOnLightAndDarkPalettes_data()
    {
        QTest::addColumn<QPalette>("palette");
        QTest::addColumn<bool>("navy");
        std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
        const QPalette light = fusion->standardPalette();
        QPalette dark = light;
        dark.setColor(QPalette::Window, QColor(53, 53, 53));
        dark.setColor(QPalette::Base, QColor(42, 42, 42));
        dark.setColor(QPalette::Text, Qt::white);
        dark.setColor(QPalette::WindowText, Qt::white);
        QTest::newRow("light Fusion: navy as ever") << light << true;
        QTest::newRow("dark Fusion: lightened navy") << dark << false;
    }

    void titleReadableOnLightAndDarkPalettes()
    {
        QFETCH(QPalette, palette);
        QFETCH(bool, navy);
        const QColor colour = CTitleView::TitleColour(palette);
        QVERIFY2(CStaticLink::ContrastRatio(colour, palette.color(QPalette::Base)) >= 4.5, qPrintable(colour.name()));
        QCOMPARE(colour == QColor(0, 0, 128), navy);

        CTitleView view;
        view.setPalette(palette);
        view.resize(300, 120);
        const QImage image = view.grab().toImage();
        bool painted = false;
        for (int y = 0; y < image.height() && !painted; ++y) {
            for (int x = 0; x < image.width() && !painted; ++x)
                painted = image.pixel(x, y) == colour.rgb();
        }
        QVERIFY2(painted, "the title is not painted in its colour");
    }

    void fileChoosesItsDialog_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("headerThere");
        QTest::addColumn<bool>("merge");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("ordinary file: split it") << "/d/a.bin" << true << false << "/d/a.bin";
        QTest::newRow("header chip: merge it") << "/d/a.bin.DAV" << true << true << "/d/a.bin.DAV";
        QTest::newRow("small letters: no a.bin.dAV here, split it")
            << "/d/a.bin.dav" << true << false << "/d/a.bin.dav";
        QTest::newRow("chip 01 chooses its header chip") << "/d/a.bin.D01" << true << true << "/d/a.bin.DAV";
        QTest::newRow("chip 99 chooses its header chip") << "/d/a.bin.D99" << true << true << "/d/a.bin.DAV";
        QTest::newRow("chip without header chip: split it") << "/d/a.bin.D07" << false << false << "/d/a.bin.D07";
        QTest::newRow("D00 is no chip") << "/d/a.bin.D00" << true << false << "/d/a.bin.D00";
        QTest::newRow("chip 100 has no header name") << "/d/a.bin.D100" << true << false << "/d/a.bin.D100";
        QTest::newRow("one digit is no chip") << "/d/a.bin.D7" << true << false << "/d/a.bin.D7";
    }

    void fileChoosesItsDialog()
    {
        QFETCH(QString, path);
        QFETCH(bool, headerThere);
        QFETCH(bool, merge);
        QFETCH(QString, chosen);
        const auto request = app::ClassifyFile(
            path, [&](const QString& p) { return headerThere && p == QStringLiteral("/d/a.bin.DAV"); });
        QCOMPARE(request.dialog == app::FileRequest::Dialog::Merge, merge);
        QCOMPARE(request.path, chosen);
    }

    void builtInItemsEnabledOnlyWhereAHandlerExists()
    {
        CMainFrame* frame = startFrame();
        QVERIFY(frame);
        QMenuBar* bar = AppFixture::Bar(frame);
        QVERIFY(AppFixture::FindCommand(bar, ID_APP_EXIT)->isEnabled());
        QVERIFY(AppFixture::FindCommand(bar, ID_APP_ABOUT)->isEnabled());
        QVERIFY(AppFixture::FindCommand(bar, ID_FILE_COMMINUTE)->isEnabled());
        QVERIFY(AppFixture::FindCommand(bar, ID_FILE_MERGE)->isEnabled());
    }

    void fileCommandsRunTheirDialogsModally_data()
    {
        QTest::addColumn<int>("command");
        QTest::addColumn<QString>("dialog");
        QTest::newRow("File Comminute") << int(ID_FILE_COMMINUTE) << "CComminuteDlg";
        QTest::newRow("File Merge") << int(ID_FILE_MERGE) << "CMergeDlg";
    }

    void fileCommandsRunTheirDialogsModally()
    {
        QFETCH(int, command);
        QFETCH(QString, dialog);
        CMainFrame* frame = startFrame();
        QVERIFY(frame);
        QString opened;
        bool modal = false;
        QTimer::singleShot(0, frame, [&] {
            QWidget* box = QApplication::activeModalWidget();
            opened = box ? QString::fromLatin1(box->metaObject()->className()) : QString();
            modal = box && box->isModal() && !box->parentWidget();
            if (box)
                box->close();
        });
        AppFixture::FindCommand(AppFixture::Bar(frame), command)->trigger();
        QCOMPARE(opened, dialog);
        QVERIFY(modal);
    }

    void aboutCommandOpensTheAboutBox()
    {
        CMainFrame* frame = startFrame();
        QVERIFY(frame);
        QVERIFY(!frame->windowIcon().isNull());

        // The box is closed from the event loop it runs, so the test never waits on it.
        QString opened;
        bool mainWindowBlocked = false;
        QTimer::singleShot(0, frame, [&] {
            QWidget* box = QApplication::activeModalWidget();
            opened = box ? QString::fromLatin1(box->metaObject()->className()) : QString();
            mainWindowBlocked = box && QApplication::activeModalWidget() != frame && box->isModal();
            if (box)
                box->close();
        });
        AppFixture::FindCommand(AppFixture::Bar(frame), ID_APP_ABOUT)->trigger();
        QCOMPARE(opened, QStringLiteral("CAboutDlg"));
        QVERIFY(mainWindowBlocked);
    }

    void exitAndCloseBoxEndTheWindowWithoutWriting_data()
    {
        QTest::addColumn<bool>("viaExit");
        QTest::newRow("Exit command") << true;
        QTest::newRow("close box") << false;
    }

    void exitAndCloseBoxEndTheWindowWithoutWriting()
    {
        QFETCH(bool, viaExit);
        CMainFrame* frame = startFrame();
        QVERIFY(frame);
        QPointer<CMainFrame> guard(frame);
        if (viaExit)
            AppFixture::FindCommand(AppFixture::Bar(frame), ID_APP_EXIT)->trigger();
        else
            QVERIFY(frame->close());
        QTRY_VERIFY(guard.isNull());
        QVERIFY(m_fx.m_messages.isEmpty());
        QVERIFY(!QFile::exists(m_fx.SettingsFile()));
    }
};

QTEST_MAIN(TestMainFrame)
#include "tst_mainframe.moc"
