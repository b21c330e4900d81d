#include "CPercentProgressCtrl.h"

#include <QImage>
#include <QMouseEvent>
#include <QTest>
#include <climits>
#include <memory>

using zelvo::ui::ComputeProgressLayout;
using zelvo::ui::CPercentProgressCtrl;

namespace {

int distance(QColor a, QColor b)
{
    return qAbs(a.red() - b.red()) + qAbs(a.green() - b.green()) + qAbs(a.blue() - b.blue());
}

// Pixels of the image between columns [from, to) that lie nearer to `ink` than to `paper`.
int inkPixels(const QImage& image, int from, int to, QColor ink, QColor paper)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = from; x < to; ++x) {
            const QColor pixel = image.pixelColor(x, y);
            count += distance(pixel, ink) < distance(pixel, paper) ? 1 : 0;
        }
    return count;
}

// Stands for the dialog: counts the double clicks that reach it.
class Host final : public QWidget
{
public:
    int doubleClicks = 0;

protected:
    void mouseDoubleClickEvent(QMouseEvent* /*event*/) override { ++doubleClicks; }
};

} // namespace

class TestPercentProgressCtrl final : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout_data();
    void layout();
    void noWindowStoresNothing();
    void repaintsOnlyWhenFilledWidthChanges();
    void resizeForcesRepaint();
    void labelReplacesPercentAndRepaintsOnce();
    void showLabelRepaintsOnlyOnChange();
    void emptyRangePaintsNothing();
    void colours_data();
    void colours();
    void doubleClickStaysOnTheBar();

private:
    // The client area inside the border, where the fill and the text go.
    QImage grabBar() { return m_bar->grab(m_bar->contentsRect()).toImage().convertToFormat(QImage::Format_RGB32); }
    QColor highlight() const { return m_bar->palette().color(QPalette::Active, QPalette::Highlight); }
    QColor base() const { return m_bar->palette().color(QPalette::Active, QPalette::Base); }

    // The bar sits in a host like in a dialog: a child's resize is delivered at once.
    std::unique_ptr<Host> m_host;
    CPercentProgressCtrl* m_bar = nullptr;
};

void TestPercentProgressCtrl::init()
{
    m_host = std::make_unique<Host>();
    m_host->resize(140, 40);
    m_bar = new CPercentProgressCtrl(m_host.get());
    m_bar->setGeometry(10, 10, 102, 26); // a client area of 100 x 24 inside the border
    m_host->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
}

void TestPercentProgressCtrl::cleanup()
{
    m_host.reset();
    m_bar = nullptr;
}

void TestPercentProgressCtrl::layout_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("lower");
    QTest::addColumn<int>("upper");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("label");
    QTest::addColumn<bool>("paints");
    QTest::addColumn<int>("filled");
    QTest::addColumn<QString>("text");

    QTest::newRow("0..33 at 33 fills and reads 100%") << 33 << 0 << 33 << 100 << "" << true << 100 << "100%";
    QTest::newRow("0..10 at 15 is not clamped: 150%") << 15 << 0 << 10 << 100 << "" << true << 150 << "150%";
    QTest::newRow("999 of 1000 truncates to 99%") << 999 << 0 << 1000 << 100 << "" << true << 99 << "99%";
    QTest::newRow("100 px, 0..1000 at 5: width 0, 0%") << 5 << 0 << 1000 << 100 << "" << true << 0 << "0%";
    QTest::newRow("100 px, 0..1000 at 10: width 1, 1%") << 10 << 0 << 1000 << 100 << "" << true << 1 << "1%";
    QTest::newRow("29 of 100 is 29%, no float shortfall") << 29 << 0 << 100 << 300 << "" << true << 87 << "29%";
    QTest::newRow("11 of 15 on 300 px is 220 px exactly") << 11 << 0 << 15 << 300 << "" << true << 220 << "73%";
    QTest::newRow("lower end not zero") << 150 << 100 << 200 << 200 << "" << true << 100 << "50%";
    QTest::newRow("0..0 paints nothing") << 0 << 0 << 0 << 100 << "" << false << 0 << "0%";
    QTest::newRow("lower above upper paints nothing") << 5 << 10 << 0 << 100 << "" << false << 0 << "0%";
    QTest::newRow("label replaces the percentage") << 37 << 0 << 100 << 100 << "Copying" << true << 37 << "Copying";
    QTest::newRow("below the lower end goes negative") << -5 << 0 << 10 << 100 << "" << true << -50 << "-50%";
    QTest::newRow("full int range does not overflow")
        << INT_MAX << INT_MIN << INT_MAX << 300 << "" << true << 300 << "100%";
    QTest::newRow("far past a one-step range saturates")
        << INT_MAX << 0 << 1 << 300 << "" << true << INT_MAX << QString::number(INT_MAX) + "%";
}

void TestPercentProgressCtrl::layout()
{
    QFETCH(int, position);
    QFETCH(int, lower);
    QFETCH(int, upper);
    QFETCH(int, width);
    QFETCH(QString, label);
    QFETCH(bool, paints);
    QFETCH(int, filled);
    QFETCH(QString, text);

    const auto layout = ComputeProgressLayout(position, lower, upper, width, label);
    QCOMPARE(layout.paints, paints);
    QCOMPARE(layout.filledWidth, filled);
    QCOMPARE(layout.text, text);
}

void TestPercentProgressCtrl::noWindowStoresNothing()
{
    // Inside a dialog that has never been shown the bar has no window yet.
    QWidget dialog;
    auto* bar = new CPercentProgressCtrl(&dialog);
    QVERIFY(!bar->HasWindow());
    bar->SetRange(0, 10);
    QCOMPARE(bar->SetPos(5), -1);
    QCOMPARE(bar->GetPos(), 0);
    bar->ShowLabel(false); // what the dialogs do as they open
    QVERIFY(!bar->IsLabelShown());

    dialog.show();
    QVERIFY(bar->HasWindow());
    QCOMPARE(bar->SetPos(5), 0);
    QCOMPARE(bar->SetPos(7), 5);
    QCOMPARE(bar->text(), QString()); // the hidden label stayed hidden
}

void TestPercentProgressCtrl::repaintsOnlyWhenFilledWidthChanges()
{
    m_bar->SetRange(0, 1000);
    m_bar->SetPos(0);
    const int painted = m_bar->PaintCount();

    QCOMPARE(m_bar->SetPos(5), 0);
    QCOMPARE(m_bar->PaintCount(), painted);
    QCOMPARE(m_bar->text(), QStringLiteral("0%"));

    QCOMPARE(m_bar->SetPos(10), 5);
    QCOMPARE(m_bar->PaintCount(), painted + 1); // painted before SetPos returned
    QCOMPARE(m_bar->text(), QStringLiteral("1%"));

    m_bar->ShowLabel(false);
    const QImage image = grabBar();
    QCOMPARE(image.pixelColor(0, 12), highlight());
    QCOMPARE(image.pixelColor(1, 12), base());
}

void TestPercentProgressCtrl::resizeForcesRepaint()
{
    m_bar->SetRange(0, 1000);
    m_bar->SetPos(0);
    m_bar->setGeometry(10, 10, 122, 26);
    QCoreApplication::processEvents();
    const int painted = m_bar->PaintCount();
    // Filled width 0 before and after, yet the new size is drawn at once.
    m_bar->SetPos(0);
    QCOMPARE(m_bar->PaintCount(), painted + 1);
    m_bar->SetPos(0);
    QCOMPARE(m_bar->PaintCount(), painted + 1);
}

void TestPercentProgressCtrl::labelReplacesPercentAndRepaintsOnce()
{
    m_bar->SetRange(0, 100);
    m_bar->SetPos(37);
    QCoreApplication::processEvents();
    const int painted = m_bar->PaintCount();

    m_bar->SetWindowText(QStringLiteral("Copying"));
    QTRY_COMPARE(m_bar->PaintCount(), painted + 1);
    m_bar->SetWindowText(QStringLiteral("Copying"));
    QCoreApplication::processEvents();
    QCOMPARE(m_bar->PaintCount(), painted + 1);
    QCOMPARE(m_bar->GetWindowText(), QStringLiteral("Copying"));
    QCOMPARE(m_bar->text(), QStringLiteral("Copying"));

    m_bar->SetWindowText(QString());
    QTRY_COMPARE(m_bar->PaintCount(), painted + 2);
    QCOMPARE(m_bar->text(), QStringLiteral("37%"));
}

void TestPercentProgressCtrl::showLabelRepaintsOnlyOnChange()
{
    m_bar->SetRange(0, 100);
    m_bar->SetPos(0);
    QCoreApplication::processEvents();
    const int painted = m_bar->PaintCount();

    m_bar->ShowLabel(false);
    QTRY_COMPARE(m_bar->PaintCount(), painted + 1);
    m_bar->ShowLabel(false);
    QCoreApplication::processEvents();
    QCOMPARE(m_bar->PaintCount(), painted + 1);
    m_bar->ShowLabel(true);
    QTRY_COMPARE(m_bar->PaintCount(), painted + 2);
    QCOMPARE(m_bar->text(), QStringLiteral("0%"));
}

void TestPercentProgressCtrl::emptyRangePaintsNothing()
{
    m_bar->SetRange(0, 0);
    QCOMPARE(m_bar->SetPos(0), 0);
    QCOMPARE(m_bar->SetPos(5), 0);
    const int painted = m_bar->PaintCount();
    const QImage image = grabBar();
    QCOMPARE(m_bar->PaintCount(), painted);
    QCOMPARE(inkPixels(image, 0, image.width(), highlight(), m_bar->palette().color(QPalette::Window)), 0);
    QCOMPARE(m_bar->text(), QString());
}

void TestPercentProgressCtrl::colours_data()
{
    QTest::addColumn<int>("position");
    QTest::addColumn<bool>("showLabel");

    QTest::newRow("at 0, no text: all window colour") << 0 << false;
    QTest::newRow("at 0: highlight text on window colour") << 0 << true;
    QTest::newRow("half way: each half in the other's colour") << 50 << true;
    QTest::newRow("at the end: window-colour text on highlight") << 100 << true;
    QTest::newRow("at the end, no text: all highlight") << 100 << false;
}

void TestPercentProgressCtrl::colours()
{
    QFETCH(int, position);
    QFETCH(bool, showLabel);

    m_bar->SetRange(0, 100);
    m_bar->ShowLabel(showLabel);
    m_bar->SetPos(position);
    const QImage image = grabBar();
    const int edge = image.width() * position / 100;
    const QColor fill = highlight();
    const QColor empty = base();

    // Every pixel is one of the two colours or a blend of them (the text's soft edges).
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            QVERIFY2(distance(pixel, fill) + distance(pixel, empty) <= distance(fill, empty) + 6,
                     qPrintable(QStringLiteral("(%1,%2) is %3").arg(x).arg(y).arg(pixel.name())));
        }
    // Over the filled part, text is in the window colour; over the rest, in the highlight colour.
    const int textOnFill = inkPixels(image, 0, edge, empty, fill);
    const int textOnEmpty = inkPixels(image, edge, image.width(), fill, empty);
    QCOMPARE(textOnFill > 0, showLabel && edge > image.width() / 2 - 5);
    QCOMPARE(textOnEmpty > 0, showLabel && edge < image.width() / 2 + 5);
}

void TestPercentProgressCtrl::doubleClickStaysOnTheBar()
{
    QTest::mouseDClick(m_bar, Qt::LeftButton, {}, QPoint(50, 12));
    QCOMPARE(m_host->doubleClicks, 0);
    QTest::mouseDClick(m_host.get(), Qt::LeftButton, {}, QPoint(3, 3)); // the host does see its own
    QCOMPARE(m_host->doubleClicks, 1);
}

QTEST_MAIN(TestPercentProgressCtrl)
#include "tst_PercentProgressCtrl.moc"
