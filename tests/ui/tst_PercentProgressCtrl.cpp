// The percent bar: where the fill ends and what the text says for a position in a range, and a
// repaint only when what is drawn changes.
#include "CComminuteDlg.h"
#include "CPercentProgressCtrl.h"
#include "DialogTestSupport.h"

#include <QImage>
#include <QTest>
#include <climits>

using zelvo::ui::CPercentProgressCtrl;

class TestPercentProgressCtrl final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { ResetTestSeams(); }

    void positions_data()
    {
        QTest::addColumn<int>("width"); // of the client area
        QTest::addColumn<int>("lower");
        QTest::addColumn<int>("upper");
        QTest::addColumn<int>("position"); // set after the lower end
        QTest::addColumn<int>("edge");     // pixels filled
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("repainted"); // at once, before SetPos returns

        QTest::newRow("0..1000 at 5: 0 px, 0%, no repaint") << 100 << 0 << 1000 << 5 << 0 << "0%" << false;
        QTest::newRow("0..1000 at 10: 1 px, 1%") << 100 << 0 << 1000 << 10 << 1 << "1%" << true;
        QTest::newRow("29 of 100 is 29%, no float shortfall") << 300 << 0 << 100 << 29 << 87 << "29%" << true;
        QTest::newRow("11 of 15 on 300 px is 220 px exactly") << 300 << 0 << 15 << 11 << 220 << "73%" << true;
        QTest::newRow("lower end not zero") << 200 << 100 << 200 << 150 << 100 << "50%" << true;
        QTest::newRow("the whole int range does not overflow")
            << 300 << INT_MIN << INT_MAX << INT_MAX << 300 << "100%" << true;
        QTest::newRow("0..0 draws nothing") << 100 << 0 << 0 << 0 << 0 << "" << false;
    }

    void positions()
    {
        QFETCH(int, width);
        QFETCH(int, lower);
        QFETCH(int, upper);
        QFETCH(int, position);
        QFETCH(int, edge);
        QFETCH(QString, text);
        QFETCH(bool, repainted);
        // The bar sits in a host as in a dialog: a child's resize is delivered at once.
        QWidget host;
        host.resize(340, 40);
        auto* bar = new CPercentProgressCtrl(&host);
        bar->setGeometry(10, 10, width + 2, 26); // the client area inside the border
        host.show();
        QVERIFY(QTest::qWaitForWindowExposed(&host));
        bar->SetRange(lower, upper);
        bar->ShowLabel(true);
        bar->SetPos(lower);
        QCoreApplication::processEvents();
        const int painted = bar->PaintCount();
        bar->SetPos(position);
        QCOMPARE(bar->PaintCount(), painted + (repainted ? 1 : 0));
        QCOMPARE(bar->text(), text);
        // The top row is clear of the text: filled up to the edge only.
        const QImage image = bar->grab(bar->contentsRect()).toImage().convertToFormat(QImage::Format_RGB32);
        const QColor fill = bar->palette().color(QPalette::Active, QPalette::Highlight);
        int filled = 0;
        for (int x = 0; x < width; ++x)
            filled += image.pixelColor(x, 0) == fill ? 1 : 0;
        QCOMPARE(filled, edge);
        QVERIFY(edge == 0 || image.pixelColor(edge - 1, 0) == fill);
    }

    void doubleClickIsNotTheDialogs()
    {
        BoxRecorder boxes;
        boxes.Install();
        CComminuteDlg dlg;
        dlg.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dlg));
        QTest::mouseDClick(dlg.findChild<CPercentProgressCtrl*>(), Qt::LeftButton);
        QCOMPARE(boxes.Texts(), QStringList());
    }
};

QTEST_MAIN(TestPercentProgressCtrl)
#include "tst_PercentProgressCtrl.moc"
