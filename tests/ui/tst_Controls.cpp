// The dialogs' own controls: the percent bar (where the fill ends and what the text says for a
// position in a range, and a repaint only when what is drawn changes), the About box's link (what a
// click opens, when it turns purple, the beep of a failed open, a colour that reads on the dialog's
// face) and the destination folder chooser (what counts as a choice, how its path is written, where
// it opens). Opening goes through a URL handler that records the address, the beep through a
// counting beeper.
#include "CPercentProgressCtrl.h"
#include "CStaticLink.h"
#include "DialogTestSupport.h"

#include <QDesktopServices>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTest>
#include <climits>

using zelvo::ui::CFolderDialog;
using zelvo::ui::CPercentProgressCtrl;
using zelvo::ui::SetFolderDialogAnswerer;

namespace {

const QString kSite = QStringLiteral("https://www.quorvex.example/");

} // namespace

class TestControls final : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QStringList m_opened;
    int m_beeps = 0;

public slots:
    void Open(const QUrl& url) { m_opened << url.toString(); }

private slots:
    void initTestCase()
    {
        QDesktopServices::setUrlHandler(QStringLiteral("https"), this, "Open");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_dir.filePath(QStringLiteral("settings")));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("plain")));
    }
    void cleanupTestCase() { QDesktopServices::unsetUrlHandler(QStringLiteral("https")); }
    void init()
    {
        m_opened.clear();
        m_beeps = 0;
        zelvo::ui::SetBeeper([this] { ++m_beeps; });
    }
    void cleanup() { ResetTestSeams(); }

    // Painted as the core computes it (tests/core): filled up to the edge, repainted only when a
    // pixel changes. In a client area 100 px wide: range, position → pixels filled, text, repainted
    // at once (before SetPos returns).
    void positions()
    {
        const std::tuple<int, int, int, int, const char*, bool> rows[] = {
            {0, 1000, 5, 0, "0%", false}, {0, 1000, 10, 1, "1%", true}, {0, 0, 0, 0, "", false}};
        for (const auto& [lower, upper, position, edge, text, repainted] : rows) {
            // The bar sits in a host as in a dialog: a child's resize is delivered at once.
            QWidget host;
            host.resize(340, 40);
            auto* bar = new CPercentProgressCtrl(&host);
            bar->setGeometry(10, 10, 102, 26); // the client area inside the border
            host.show();
            QVERIFY(QTest::qWaitForWindowExposed(&host));
            bar->SetRange(lower, upper);
            bar->ShowLabel(true);
            bar->SetPos(lower);
            QCoreApplication::processEvents();
            const int painted = bar->PaintCount();
            bar->SetPos(position);
            QCOMPARE(bar->PaintCount(), painted + (repainted ? 1 : 0));
            QCOMPARE(bar->text(), QString(text));
            // The top row is clear of the text.
            const QImage image = bar->grab(bar->contentsRect()).toImage().convertToFormat(QImage::Format_RGB32);
            const QColor fill = bar->palette().color(QPalette::Active, QPalette::Highlight);
            int filled = 0;
            for (int x = 0; x < 100; ++x)
                filled += image.pixelColor(x, 0) == fill ? 1 : 0;
            QCOMPARE(filled, edge);
            QVERIFY(edge == 0 || image.pixelColor(edge - 1, 0) == fill);
        }
    }

    // Pressed right of the text, still on the label: target, where released, button → "opens", a
    // "beep", or "nothing".
    void clicks()
    {
        const QPoint at(350, 15);
        const std::tuple<QString, QPoint, Qt::MouseButton, const char*> rows[] = {
            {kSite, at, Qt::LeftButton, "opens"},
            {kSite, QPoint(10, 45), Qt::LeftButton, "nothing"}, // released beside the label: abandoned
            {kSite, at, Qt::RightButton, "nothing"},
            {"zelvo-nowhere:chip.D01", at, Qt::LeftButton, "beep"}, // no program for the scheme
        };
        for (const auto& [target, release, button, outcome] : rows) {
            m_opened.clear();
            m_beeps = 0;
            QWidget window;
            window.resize(400, 60);
            auto* label = new QLabel(QStringLiteral("Quorvex"), &window);
            label->setObjectName(QStringLiteral("1030"));
            label->setGeometry(10, 10, 360, 30);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            CStaticLink link(target);
            QVERIFY(link.SubclassDlgItem(1030, &window));
            const auto colour = [label] { return label->palette().color(QPalette::WindowText).rgb(); };
            QCOMPARE(colour(), CStaticLink::unvisitedColor); // a new link is blue, whatever came before
            QTest::mousePress(label, button, {}, at);
            QTest::mouseRelease(label, button, {}, release);
            QCOMPARE(m_opened, outcome == QString("opens") ? QStringList{target} : QStringList());
            QCOMPARE(m_beeps, outcome == QString("beep") ? 1 : 0);
            QCOMPARE(colour(), outcome == QString("opens") ? CStaticLink::visitedColor : CStaticLink::unvisitedColor);
        }
    }

    // Each place remembers its own pick; a cancel keeps the earlier path; a remembered folder that
    // is gone opens at the top again.
    void opensWhereLastPicked()
    {
        QStringList starts;
        QString chosen = m_dir.filePath(QStringLiteral("plain/"));
        SetFolderDialogAnswerer([&](const QString&, const QString& start) {
            starts << start;
            return chosen;
        });
        // The path chosen, or "0" and the earlier path when nothing was.
        const auto browse = [](const QString& place) {
            CFolderDialog dialog;
            dialog.m_strPlace = place;
            dialog.m_strPath = QStringLiteral("earlier");
            return dialog.Browse() ? dialog.m_strPath : "0 " + dialog.m_strPath;
        };
        const QString plain = QDir::toNativeSeparators(m_dir.filePath(QStringLiteral("plain")));
        QCOMPARE(browse("A"), plain); // without the trailing separator
        QCOMPARE(browse("A"), plain);
        QCOMPARE(browse("B"), plain);
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("brief")));
        chosen = m_dir.filePath(QStringLiteral("brief"));
        QCOMPARE(browse("C"), QDir::toNativeSeparators(chosen));
        QVERIFY(QDir(chosen).removeRecursively());
        chosen.clear(); // cancelled
        QCOMPARE(browse("C"), QStringLiteral("0 earlier"));
        QCOMPARE(starts, QStringList({QDir::homePath(), plain, QDir::homePath(), QDir::homePath(), QDir::homePath()}));
    }
};

QTEST_MAIN(TestControls)
#include "tst_Controls.moc"
