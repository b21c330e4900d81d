// The hand-off from a worker thread to the dialog that started it. The worker calls the poster
// made here; the notifications arrive on the GUI thread as events for a receiver object that the
// dialog owns. The channel outlives the dialog when the worker does: once the receiver is gone
// (Detach, or its destruction) the poster drops everything, so nothing reaches freed memory.
//
// Progress notifications are coalesced: while one progress event is pending, later counts only
// replace the latest value. A progress event stays pending from its posting until one frame
// (kProgressFrameMs) after it was handled; the frame's end hands on the latest count. Counts only
// grow, so the bar shows what it would have shown, at most about 60 times a second, and the GUI
// thread is woken that often instead of once per 64 KiB block (a wake costs far more than a
// block's copy from the page cache). The done notification is always posted; its handling first
// hands on the latest count, so the bar's last position is set before the outcome is handled.
#pragma once

#include "Workers.h"

#include <QObject>
#include <QTimer>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace zelvo::ui {

class WorkerReceiver;

class WorkerChannel
{
public:
    WorkerChannel(WorkerReceiver* receiver, uint32_t progressMessage, uint32_t doneMessage);
    Q_DISABLE_COPY_MOVE(WorkerChannel)

    // The poster for StartComminuteWorker / StartMergeWorker; it keeps the channel alive.
    static Poster MakePoster(const std::shared_ptr<WorkerChannel>& channel);

    // After this no event is posted any more. Called on the GUI thread.
    void Detach();

    // Takes and releases the lock the poster holds while it posts. An event is built on the
    // worker's thread; doing this before reading it makes the hand-off visible to thread
    // checkers, which cannot see the locking inside the toolkit's event queue.
    void Synchronize();

    // GUI side: the count of the queued progress event; clears the "queued" mark first so that a
    // count stored meanwhile posts a new event.
    uint64_t TakeProgress();
    uint64_t LatestProgress() const { return m_latest.load(); }

    static constexpr int kProgressFrameMs = 16;

private:
    void Post(uint32_t message, uint64_t wParam);

    std::mutex m_mutex;
    WorkerReceiver* m_receiver; // guarded by m_mutex; null once detached
    const uint32_t m_progressMessage;
    const uint32_t m_doneMessage;
    std::atomic<uint64_t> m_latest{0};
    std::atomic<bool> m_progressQueued{false};
};

// Lives on the GUI thread as a child of the dialog; turns the channel's events into calls.
class WorkerReceiver final : public QObject
{
    Q_OBJECT

public:
    using ProgressHandler = std::function<void(uint64_t blocks)>;
    using DoneHandler = std::function<void(uint64_t outcome)>;

    WorkerReceiver(QObject* parent, ProgressHandler onProgress, DoneHandler onDone);
    ~WorkerReceiver() override;
    Q_DISABLE_COPY_MOVE(WorkerReceiver)

    // A new channel for one run; the previous one (if any) is detached.
    std::shared_ptr<WorkerChannel> OpenChannel(uint32_t progressMessage, uint32_t doneMessage);
    void CloseChannel();
    // A run of this receiver's owner is between its start and its outcome.
    bool HasChannel() const { return m_channel != nullptr; }

    static int ProgressEventType();
    static int DoneEventType();

protected:
    bool event(QEvent* event) override;

private:
    void Deliver(uint64_t blocks);
    void OnFrameEnd();

    ProgressHandler m_onProgress;
    DoneHandler m_onDone;
    std::shared_ptr<WorkerChannel> m_channel;
    QTimer m_frame;
    uint64_t m_delivered = 0;
};

// Test seam: called on the worker's thread with every notification, before it is handed on. A
// test can hold the worker at a chosen block with it. Taken into each poster when the run
// starts; pass an empty function to remove it.
using WorkerPostHook = std::function<void(uint32_t message, uint64_t wParam)>;
void SetWorkerPostHook(WorkerPostHook hook);

} // namespace zelvo::ui
