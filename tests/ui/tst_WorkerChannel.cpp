// The hand-off from a worker thread to the GUI thread: progress coalesced without losing the
// last count, the done notification always after it, and nothing delivered once the receiver
// is gone, even while a thread is still posting.
#include "WorkerChannel.h"

#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <thread>
#include <vector>

using namespace zelvo;
using namespace zelvo::ui;

namespace {

constexpr uint32_t kProgress = 7;
constexpr uint32_t kDone = 8;

struct Seen
{
    std::vector<uint64_t> progress;
    std::vector<uint64_t> done;
    uint64_t progressAtDone = 0;
};

WorkerReceiver* MakeReceiver(QObject* parent, Seen& seen)
{
    return new WorkerReceiver(
        parent, [&seen](uint64_t blocks) { seen.progress.push_back(blocks); },
        [&seen](uint64_t outcome) {
            seen.progressAtDone = seen.progress.empty() ? 0 : seen.progress.back();
            seen.done.push_back(outcome);
        });
}

} // namespace

class TestWorkerChannel final : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SetWorkerPostHook({}); }

    void burstIsCoalescedAndLastCountComesBeforeDone()
    {
        QObject owner;
        Seen seen;
        WorkerReceiver* receiver = MakeReceiver(&owner, seen);
        const Poster post = WorkerChannel::MakePoster(receiver->OpenChannel(kProgress, kDone));
        std::thread worker([&post] {
            for (uint64_t block = 1; block <= 10000; ++block)
                post(kProgress, block);
            post(kDone, 3);
        });
        worker.join();
        QTRY_COMPARE(seen.done, std::vector<uint64_t>{3});
        // The whole burst came while one event was pending: one delivery, of the last count.
        QCOMPARE(seen.progress, std::vector<uint64_t>{10000});
        QCOMPARE(seen.progressAtDone, uint64_t(10000));
    }

    void countsOnlyGrowWhileTheGuiKeepsUp()
    {
        QObject owner;
        Seen seen;
        WorkerReceiver* receiver = MakeReceiver(&owner, seen);
        const Poster post = WorkerChannel::MakePoster(receiver->OpenChannel(kProgress, kDone));
        std::atomic<bool> finished{false};
        std::thread worker([&] {
            for (uint64_t block = 1; block <= 200000; ++block)
                post(kProgress, block);
            post(kDone, 0);
            finished = true;
        });
        QTRY_VERIFY_WITH_TIMEOUT(!seen.done.empty(), 20000);
        worker.join();
        QVERIFY(std::is_sorted(seen.progress.begin(), seen.progress.end()));
        QVERIFY(std::adjacent_find(seen.progress.begin(), seen.progress.end()) == seen.progress.end());
        QCOMPARE(seen.progress.back(), uint64_t(200000));
        QCOMPARE(seen.progressAtDone, uint64_t(200000));
        QCOMPARE(seen.done.size(), size_t(1));
    }

    void nothingArrivesOnceTheReceiverIsGone()
    {
        Seen seen;
        auto owner = std::make_unique<QObject>();
        WorkerReceiver* receiver = MakeReceiver(owner.get(), seen);
        const Poster post = WorkerChannel::MakePoster(receiver->OpenChannel(kProgress, kDone));
        std::atomic<bool> gone{false};
        std::thread worker([&] {
            uint64_t block = 0;
            while (!gone.load())
                post(kProgress, ++block);
            for (int i = 0; i < 1000; ++i)
                post(kProgress, ++block);
            post(kDone, 0);
        });
        QTRY_VERIFY(!seen.progress.empty());
        owner.reset(); // while the worker goes on posting
        gone = true;
        worker.join();
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QVERIFY(seen.done.empty());
    }

    void aClosedChannelDropsWhatItHadQueued()
    {
        QObject owner;
        Seen seen;
        WorkerReceiver* receiver = MakeReceiver(&owner, seen);
        const Poster post = WorkerChannel::MakePoster(receiver->OpenChannel(kProgress, kDone));
        post(kProgress, 1);
        post(kDone, 0);
        receiver->CloseChannel();
        post(kDone, 1);
        QCoreApplication::sendPostedEvents();
        QCoreApplication::processEvents();
        QVERIFY(seen.progress.empty());
        QVERIFY(seen.done.empty());
    }

    void hookSeesEveryNotification()
    {
        std::vector<uint64_t> hooked;
        SetWorkerPostHook([&hooked](uint32_t, uint64_t wParam) { hooked.push_back(wParam); });
        QObject owner;
        Seen seen;
        WorkerReceiver* receiver = MakeReceiver(&owner, seen);
        const Poster post = WorkerChannel::MakePoster(receiver->OpenChannel(kProgress, kDone));
        for (uint64_t block = 1; block <= 5; ++block)
            post(kProgress, block);
        post(kDone, 2);
        QCOMPARE(hooked, (std::vector<uint64_t>{1, 2, 3, 4, 5, 2}));
        QTRY_COMPARE(seen.done, std::vector<uint64_t>{2});
    }
};

QTEST_MAIN(TestWorkerChannel)
#include "tst_WorkerChannel.moc"
