// The About box and the hyperlink label: what is opened, when the link turns purple, the beep on
// a failed open, and the look of text and picture labels. Opening goes through a URL handler that
// records the address; the beep through a counting beeper.
#include "Beep.h"
#include "CAboutDlg.h"
#include "CStaticLink.h"

#include <QDesktopServices>
#include <QFile>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <memory>

namespace {

const QString siteWithSlash = QStringLiteral("https://www.quorvex.example/");

// Counts the pixels of one exact colour: the underline is drawn solid, so a drawn link always
// has some in its colour.
int countPixels(QWidget& widget, QRgb colour)
{
    const QImage image = widget.grab().toImage().convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            count += (image.pixel(x, y) & 0xffffff) == (colour & 0xffffff) ? 1 : 0;
    return count;
}

QRgb textColourOf(const QLabel& label)
{
    return label.palette().color(QPalette::WindowText).rgb();
}

} // namespace

class UrlRecorder : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
};

class TestAbout : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void cleanup();

    void clickOpensTargetAndTurnsPurple_data();
    void clickOpensTargetAndTurnsPurple();
    void failedOpenBeepsAndStaysBlue_data();
    void failedOpenBeepsAndStaysBlue();
    void releaseOutsideTheLabelOpensNothing();
    void targetTextBecomesUrl_data();
    void targetTextBecomesUrl();
    void existingFileOpensAsDocument();
    void emptyTargetTakesTextOnce();
    void linkColourReadsOnItsBackground_data();
    void linkColourReadsOnItsBackground();
    void pictureOrFrameLabelKeepsItsLook_data();
    void pictureOrFrameLabelKeepsItsLook();
    void selfDeleteFollowsTheLabel_data();
    void selfDeleteFollowsTheLabel();
    void aboutBoxShowsItsTextsAndOpensTheSite();
    void reopenedAboutBoxIsBlueAgain();

private:
    // A shown window holding one link label, wider than its text.
    QLabel* makeLabel(const QString& text);

    UrlRecorder m_recorder;
    int m_beeps = 0;
    std::unique_ptr<QWidget> m_window;
};

void TestAbout::initTestCase()
{
    QDesktopServices::setUrlHandler(QStringLiteral("https"), &m_recorder, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("http"), &m_recorder, "open");
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &m_recorder, "open");
}

void TestAbout::cleanupTestCase()
{
    QDesktopServices::unsetUrlHandler(QStringLiteral("https"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("http"));
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
}

void TestAbout::init()
{
    m_recorder.opened.clear();
    m_beeps = 0;
    zelvo::ui::SetBeeper([this] { ++m_beeps; });
}

void TestAbout::cleanup()
{
    zelvo::ui::SetBeeper({});
    m_window.reset();
}

QLabel* TestAbout::makeLabel(const QString& text)
{
    m_window = std::make_unique<QWidget>();
    m_window->resize(400, 60);
    auto* label = new QLabel(text, m_window.get());
    label->setObjectName(QStringLiteral("1030"));
    label->setTextFormat(Qt::PlainText);
    label->setGeometry(10, 10, 360, 30);
    m_window->show();
    if (!QTest::qWaitForWindowExposed(m_window.get()))
        return nullptr;
    return label;
}

void TestAbout::clickOpensTargetAndTurnsPurple_data()
{
    QTest::addColumn<QPoint>("where");
    QTest::newRow("on the text") << QPoint(10, 15);
    QTest::newRow("blank part right of the text") << QPoint(350, 15);
    QTest::newRow("bottom right corner") << QPoint(359, 29);
}

void TestAbout::clickOpensTargetAndTurnsPurple()
{
    QFETCH(QPoint, where);
    QLabel* label = makeLabel(QStringLiteral("Quorvex"));
    QVERIFY(label);
    QFont own = label->font();
    own.setPointSize(15);
    own.setBold(true);
    label->setFont(own);

    CStaticLink link(siteWithSlash);
    QVERIFY(link.SubclassDlgItem(1030, m_window.get()));
    QVERIFY(!link.SubclassDlgItem(1030, m_window.get())); // attached once only

    // Unvisited: the label's own font underlined, blue, the hand over the whole label.
    QVERIFY(label->font().underline());
    QCOMPARE(label->font().pointSize(), 15);
    QVERIFY(label->font().bold());
    QCOMPARE(textColourOf(*label), CStaticLink::unvisitedColor);
    QCOMPARE(label->cursor().shape(), Qt::PointingHandCursor);
    QVERIFY(countPixels(*label, CStaticLink::unvisitedColor) > 0);

    QTest::mouseClick(label, Qt::LeftButton, {}, where);
    QCOMPARE(m_recorder.opened, QList<QUrl>{QUrl(siteWithSlash)});
    QCOMPARE(link.TextColor(), CStaticLink::visitedColor);
    QCOMPARE(textColourOf(*label), CStaticLink::visitedColor);
    QVERIFY(countPixels(*label, CStaticLink::visitedColor) > 0);
    QCOMPARE(countPixels(*label, CStaticLink::unvisitedColor), 0);

    // A second click opens again and the link stays purple.
    QTest::mouseClick(label, Qt::LeftButton, {}, where);
    QCOMPARE(m_recorder.opened.size(), 2);
    QCOMPARE(link.TextColor(), CStaticLink::visitedColor);
    QCOMPARE(m_beeps, 0);
}

void TestAbout::failedOpenBeepsAndStaysBlue_data()
{
    QTest::addColumn<QString>("target");
    // The offscreen desktop opens nothing on its own; only the recorder's schemes succeed.
    QTest::newRow("no program for the scheme") << QStringLiteral("zelvo-nowhere:chip.D01");
    QTest::newRow("malformed address") << QStringLiteral("https://[not-a-host/");
}

void TestAbout::failedOpenBeepsAndStaysBlue()
{
    QFETCH(QString, target);
    QLabel* label = makeLabel(QStringLiteral("Quorvex"));
    QVERIFY(label);
    CStaticLink link(target);
    QVERIFY(link.SubclassLabel(label));

    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(m_beeps, 1);
    QVERIFY(m_recorder.opened.isEmpty());
    QCOMPARE(link.TextColor(), CStaticLink::unvisitedColor);
    QCOMPARE(textColourOf(*label), CStaticLink::unvisitedColor);

    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(m_beeps, 2); // one beep per failed click
}

void TestAbout::releaseOutsideTheLabelOpensNothing()
{
    QLabel* label = makeLabel(QStringLiteral("Quorvex"));
    QVERIFY(label);
    CStaticLink link(siteWithSlash);
    QVERIFY(link.SubclassLabel(label));

    // Pressed on the link, released beside it: the click is abandoned.
    QTest::mousePress(label, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(label, Qt::LeftButton, {}, QPoint(5, 45));
    QVERIFY(m_recorder.opened.isEmpty());
    QCOMPARE(link.TextColor(), CStaticLink::unvisitedColor);

    // The right button is not a click on a link either.
    QTest::mouseClick(label, Qt::RightButton, {}, QPoint(5, 5));
    QVERIFY(m_recorder.opened.isEmpty());
    QCOMPARE(m_beeps, 0);
}

void TestAbout::targetTextBecomesUrl_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QUrl>("expected");
    QTest::newRow("full address kept as it is") << QStringLiteral("https://www.quorvex.example/a?b=1")
                                                << QUrl(QStringLiteral("https://www.quorvex.example/a?b=1"));
    QTest::newRow("bare host name is a web address")
        << QStringLiteral("www.quorvex.example") << QUrl(QStringLiteral("http://www.quorvex.example"));
    QTest::newRow("malformed address is not guessed") << QStringLiteral("https://[not-a-host/") << QUrl();
    QTest::newRow("other scheme passed on")
        << QStringLiteral("mailto:chips@quorvex.example") << QUrl(QStringLiteral("mailto:chips@quorvex.example"));
}

void TestAbout::targetTextBecomesUrl()
{
    QFETCH(QString, target);
    QFETCH(QUrl, expected);
    QCOMPARE(CStaticLink::TargetUrl(target).isValid(), expected.isValid());
    if (expected.isValid())
        QCOMPARE(CStaticLink::TargetUrl(target), expected);
}

void TestAbout::existingFileOpensAsDocument()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("big file 切片.D01"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();

    QLabel* label = makeLabel(path);
    QVERIFY(label);
    CStaticLink link;
    QVERIFY(link.SubclassLabel(label));
    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(m_recorder.opened, QList<QUrl>{QUrl::fromLocalFile(path)});
    QCOMPARE(link.TextColor(), CStaticLink::visitedColor);
}

void TestAbout::emptyTargetTakesTextOnce()
{
    QLabel* label = makeLabel(QStringLiteral("https://www.quorvex.example/chips"));
    QVERIFY(label);
    CStaticLink link;
    QVERIFY(link.SubclassLabel(label));
    QVERIFY(link.Target().isEmpty());

    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(m_recorder.opened, QList<QUrl>{QUrl(QStringLiteral("https://www.quorvex.example/chips"))});
    QCOMPARE(link.Target(), QStringLiteral("https://www.quorvex.example/chips"));

    // The target stays what the text was at the first click.
    label->setText(QStringLiteral("https://elsewhere.example/"));
    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(m_recorder.opened.size(), 2);
    QCOMPARE(m_recorder.opened.last(), QUrl(QStringLiteral("https://www.quorvex.example/chips")));

    // No target and no text: a click does nothing, not even beep.
    QLabel* blank = makeLabel(QString());
    QVERIFY(blank);
    CStaticLink nothing;
    QVERIFY(nothing.SubclassLabel(blank));
    QTest::mouseClick(blank, Qt::LeftButton, {}, QPoint(5, 5));
    QCOMPARE(m_recorder.opened.size(), 2);
    QCOMPARE(m_beeps, 0);
    QCOMPARE(nothing.TextColor(), CStaticLink::unvisitedColor);
}

void TestAbout::linkColourReadsOnItsBackground_data()
{
    QTest::addColumn<QRgb>("link");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<bool>("kept");

    const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
    const QColor lightWindow = fusion->standardPalette().color(QPalette::Window);
    const QColor darkWindow(0x35, 0x35, 0x35); // the usual dark Fusion face
    const QRgb blue = CStaticLink::unvisitedColor;
    const QRgb purple = CStaticLink::visitedColor;
    QTest::newRow("blue on the light Fusion face stays blue") << blue << lightWindow << true;
    QTest::newRow("purple on the light Fusion face stays purple") << purple << lightWindow << true;
    QTest::newRow("blue on white") << blue << QColor(Qt::white) << true;
    QTest::newRow("blue on the dark Fusion face is lightened") << blue << darkWindow << false;
    QTest::newRow("purple on the dark Fusion face is lightened") << purple << darkWindow << false;
    QTest::newRow("purple on black") << purple << QColor(Qt::black) << false;
    QTest::newRow("blue on the mid grey that neither end clears by much") << blue << QColor(0x76, 0x76, 0x76) << false;
}

void TestAbout::linkColourReadsOnItsBackground()
{
    QFETCH(QRgb, link);
    QFETCH(QColor, background);
    QFETCH(bool, kept);

    // Known ratios first, so a wrong ratio cannot pass the checks below.
    QCOMPARE(qRound(CStaticLink::ContrastRatio(Qt::black, Qt::white) * 100), 2100);
    QCOMPARE(qRound(CStaticLink::ContrastRatio(QColor(CStaticLink::unvisitedColor), Qt::white) * 100), 859);

    const QColor drawn = CStaticLink::ReadableOn(link, background);
    QCOMPARE(drawn.rgb() == QColor(link).rgb(), kept);
    QVERIFY2(CStaticLink::ContrastRatio(drawn, background) >= 4.5, qPrintable(drawn.name()));
    QCOMPARE(drawn.hue(), QColor(link).hue()); // still blue, still purple
}

void TestAbout::pictureOrFrameLabelKeepsItsLook_data()
{
    QTest::addColumn<bool>("picture");
    QTest::newRow("label showing a picture") << true;
    QTest::newRow("label drawn as a frame") << false;
}

void TestAbout::pictureOrFrameLabelKeepsItsLook()
{
    QFETCH(bool, picture);
    QLabel* label = makeLabel(QStringLiteral("Quorvex"));
    QVERIFY(label);
    if (picture) {
        QPixmap pixmap(16, 16);
        pixmap.fill(Qt::green);
        label->setPixmap(pixmap);
    } else {
        label->setFrameShape(QFrame::Box);
    }
    const QFont font = label->font();
    const QRgb colour = textColourOf(*label);

    CStaticLink link(siteWithSlash);
    QVERIFY(!CStaticLink::HasTextStyle(*label));
    QVERIFY(link.SubclassLabel(label));
    QCOMPARE(label->font(), font);
    QCOMPARE(textColourOf(*label), colour);
    QCOMPARE(label->cursor().shape(), Qt::PointingHandCursor);

    QTest::mouseClick(label, Qt::LeftButton, {}, QPoint(300, 20));
    QCOMPARE(m_recorder.opened, QList<QUrl>{QUrl(siteWithSlash)});
    QCOMPARE(label->font(), font);
    QCOMPARE(textColourOf(*label), colour);
}

void TestAbout::selfDeleteFollowsTheLabel_data()
{
    QTest::addColumn<bool>("deleteWithWindow");
    QTest::newRow("self-delete on: goes with its label") << true;
    QTest::newRow("self-delete off: the owner deletes it") << false;
}

void TestAbout::selfDeleteFollowsTheLabel()
{
    QFETCH(bool, deleteWithWindow);
    QLabel* label = makeLabel(QStringLiteral("Quorvex"));
    QVERIFY(label);
    QPointer<CStaticLink> link = new CStaticLink(siteWithSlash, deleteWithWindow);
    QVERIFY(link->SubclassLabel(label));

    delete label;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(link.isNull(), deleteWithWindow);
    if (link) {
        QCOMPARE(link->Label(), nullptr);
        delete link.data();
    }
}

void TestAbout::aboutBoxShowsItsTextsAndOpensTheSite()
{
    CAboutDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("About Zelvo for File"));
    auto* name = dlg.findChild<QLabel*>(QStringLiteral("name"));
    auto* icon = dlg.findChild<QLabel*>(QStringLiteral("icon"));
    auto* link = dlg.findChild<QLabel*>(QStringLiteral("1030"));
    auto* ok = dlg.findChild<QPushButton*>(QStringLiteral("1"));
    QVERIFY(name && icon && link && ok);
    QCOMPARE(name->text(), QStringLiteral("Zelvo for File Ver. 1.3"));
    QVERIFY(!icon->pixmap().isNull()); // the icon resource is linked in
    QCOMPARE(link->text(), QStringLiteral("https://www.quorvex.example"));
    QVERIFY(ok->isDefault());

    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    // Template order: icon left of the texts, link below them, OK at the bottom right.
    QVERIFY(icon->geometry().right() < name->geometry().left());
    QVERIFY(link->geometry().top() > name->geometry().bottom());
    QVERIFY(ok->geometry().left() > link->geometry().left());
    QVERIFY(dlg.width() >= ok->geometry().right());

    QCOMPARE(textColourOf(*link), CStaticLink::unvisitedColor);
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(link->width() - 1, link->height() / 2));
    QCOMPARE(m_recorder.opened, QList<QUrl>{QUrl(siteWithSlash)});
    QCOMPARE(textColourOf(*link), CStaticLink::visitedColor);

    QTest::mouseClick(ok, Qt::LeftButton);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!dlg.isVisible());
}

void TestAbout::reopenedAboutBoxIsBlueAgain()
{
    for (int opening = 0; opening < 2; ++opening) {
        CAboutDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        auto* link = dlg.findChild<QLabel*>(QStringLiteral("1030"));
        QVERIFY(link);
        QCOMPARE(textColourOf(*link), CStaticLink::unvisitedColor);
        QVERIFY(countPixels(*link, CStaticLink::unvisitedColor) > 0);
        QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(2, 2));
        QCOMPARE(textColourOf(*link), CStaticLink::visitedColor);
        dlg.reject();
    }
    QCOMPARE(m_recorder.opened.size(), 2);
}

QTEST_MAIN(TestAbout)
#include "tst_About.moc"
