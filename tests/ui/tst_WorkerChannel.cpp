// The hand-off from a worker thread to the GUI thread: progress coalesced without losing the last
// count, the done notification after it, and nothing delivered from an earlier run or once the
// receiver is gone.
#include "DialogTestSupport.h"

#include <QCoreApplication>
#include <QTest>
#include <thread>

using namespace zelvo;
using namespace zelvo::ui;

namespace {

constexpr uint32_t kProgress = 7;
constexpr uint32_t kDone = 8;

// What reached the receiver: "e" for a progress event (a wake of the GUI thread), and what it
// handed on: "p5" for a count, "d0" for an outcome.
struct Seen : QObject
{
    QStringList calls;
    WorkerReceiver* Receiver(QObject* parent)
    {
        auto* receiver = new WorkerReceiver(
            parent, [this](uint64_t blocks) { calls << QStringLiteral("p%1").arg(blocks); },
            [this](uint64_t outcome) { calls << QStringLiteral("d%1").arg(outcome); });
        receiver->installEventFilter(this);
        return receiver;
    }
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == WorkerReceiver::ProgressEventType())
            calls << QStringLiteral("e");
        return false;
    }
};

} // namespace

class TestWorkerChannel final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { ResetTestSeams(); }

    void handOn_data()
    {
        // "steps => what the receiver hands on". pN / dN: the run's poster posts a count or an
        // outcome; o…: the poster of the run before; "run": the GUI thread handles what is queued
        // (no frame ends meanwhile); "new": a new run's channel; "gone": the receiver destroyed.
        QTest::addColumn<QString>("script");
        QTest::newRow("the last count of a burst comes with the done notification, before it")
            << "p1 run p2 p3 d4 run => e p1 p3 d4";
        QTest::newRow("what the earlier run queued or posts later is dropped")
            << "p1 d2 new op3 od4 p5 d6 run => e p5 d6";
        QTest::newRow("nothing reaches a receiver that is gone") << "p1 gone p2 d0 run => ";
    }

    void handOn()
    {
        QFETCH(QString, script);
        auto owner = std::make_unique<QObject>();
        Seen got;
        WorkerReceiver* receiver = got.Receiver(owner.get());
        Poster post = WorkerChannel::MakePoster(receiver->OpenChannel(kProgress, kDone));
        Poster earlier;
        for (const QString& step : script.section(" => ", 0, 0).split(' ')) {
            const Poster& poster = step.startsWith('o') ? earlier : post;
            const QString what = step.startsWith('o') ? step.mid(1) : step;
            if (what == "run") {
                QCoreApplication::sendPostedEvents();
            } else if (what == "new") {
                earlier = post;
                post = WorkerChannel::MakePoster(receiver->OpenChannel(kProgress, kDone));
            } else if (what == "gone") {
                owner.reset();
            } else {
                poster(what.startsWith('p') ? kProgress : kDone, what.mid(1).toULongLong());
            }
        }
        QCOMPARE(got.calls.join(' '), script.section(" => ", 1));
    }

    // A worker thread posts beside the GUI: the counts delivered only grow, and the last one comes
    // before the outcome.
    void workerThreadBesideTheGui()
    {
        QObject owner;
        Seen got;
        WorkerReceiver* receiver = got.Receiver(&owner);
        // The filter would read each event before the receiver has synchronized with the worker.
        receiver->removeEventFilter(&got);
        const Poster post = WorkerChannel::MakePoster(receiver->OpenChannel(kProgress, kDone));
        std::thread worker([&] {
            for (uint64_t block = 1; block <= 200000; ++block)
                post(kProgress, block);
            post(kDone, 200000);
        });
        QTRY_VERIFY_WITH_TIMEOUT(!got.calls.isEmpty() && got.calls.last().startsWith('d'), 20000);
        worker.join();
        QCOMPARE(got.calls.mid(got.calls.size() - 2), QStringList({"p200000", "d200000"}));
        for (int i = 1; i < got.calls.size() - 1; ++i)
            QVERIFY(got.calls[i - 1].mid(1).toULongLong() < got.calls[i].mid(1).toULongLong());
    }
};

QTEST_MAIN(TestWorkerChannel)
#include "tst_WorkerChannel.moc"
