// The hyperlink label of the About box: what a click opens, when the link turns
// purple, the beep of a failed open, and a colour that reads on the dialog's face. Opening goes
// through URL handlers that record the address; the beep through a counting beeper.
#include "CStaticLink.h"
#include "DialogTestSupport.h"

#include <QDesktopServices>
#include <QLabel>
#include <QStyle>
#include <QStyleFactory>
#include <QTest>

namespace {

const QString kSite = QStringLiteral("https://www.quorvex.example/");

QRgb TextColour(const QLabel& label)
{
    return label.palette().color(QPalette::WindowText).rgb();
}

} // namespace

class TestAboutLink final : public QObject
{
    Q_OBJECT

    QStringList m_opened;
    int m_beeps = 0;

public slots:
    void Open(const QUrl& url) { m_opened << url.toString(); }

private slots:
    void initTestCase() { QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "Open"); }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    void init()
    {
        m_opened.clear();
        m_beeps = 0;
        zelvo::ui::SetBeeper([this] { ++m_beeps; });
    }
    void cleanup() { ResetTestSeams(); }

    void clicks_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QPoint>("press");
        QTest::addColumn<QPoint>("release");
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("outcome"); // "opens", a "beep", or "nothing"

        const QPoint at(350, 15); // right of the text, still on the label
        const int left = Qt::LeftButton;
        QTest::newRow("blank part right of the text") << kSite << at << at << left << "opens";
        QTest::newRow("released beside the label: abandoned") << kSite << at << QPoint(10, 45) << left << "nothing";
        QTest::newRow("right button") << kSite << at << at << int(Qt::RightButton) << "nothing";
        QTest::newRow("no program for the scheme") << "zelvo-nowhere:chip.D01" << at << at << left << "beep";
    }

    void clicks()
    {
        QFETCH(QString, target);
        QFETCH(QPoint, press);
        QFETCH(QPoint, release);
        QFETCH(int, button);
        QFETCH(QString, outcome);
        QWidget window;
        window.resize(400, 60);
        auto* label = new QLabel(QStringLiteral("Quorvex"), &window);
        label->setObjectName(QStringLiteral("1030"));
        label->setGeometry(10, 10, 360, 30);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        CStaticLink link(target);
        QVERIFY(link.SubclassDlgItem(1030, &window));
        QCOMPARE(TextColour(*label), CStaticLink::unvisitedColor); // a new link is blue, whatever came before
        QTest::mousePress(label, Qt::MouseButton(button), {}, press);
        QTest::mouseRelease(label, Qt::MouseButton(button), {}, release);
        QCOMPARE(m_opened, outcome == "opens" ? QStringList{target} : QStringList());
        QCOMPARE(m_beeps, outcome == "beep" ? 1 : 0);
        QCOMPARE(TextColour(*label), outcome == "opens" ? CStaticLink::visitedColor : CStaticLink::unvisitedColor);
    }

    // A link colour that reads on the dialog's face is kept; on a dark face it is lightened, still blue.
    void readableColour()
    {
        const QColor blue(CStaticLink::unvisitedColor);
        // A known ratio first, so that a wrong ratio cannot pass the checks below.
        QCOMPARE(qRound(CStaticLink::ContrastRatio(blue, Qt::white) * 100), 859);
        const std::unique_ptr<QStyle> fusion(QStyleFactory::create(QStringLiteral("Fusion")));
        QCOMPARE(CStaticLink::ReadableOn(blue.rgb(), fusion->standardPalette().color(QPalette::Window)), blue);
        const QColor dark(0x35, 0x35, 0x35);
        const QColor lightened = CStaticLink::ReadableOn(blue.rgb(), dark);
        QVERIFY2(CStaticLink::ContrastRatio(lightened, dark) >= 4.5, qPrintable(lightened.name()));
        QCOMPARE(lightened.hue(), blue.hue());
    }
};

QTEST_MAIN(TestAboutLink)
#include "tst_AboutLink.moc"
