#include "WorkerChannel.h"

#include <QCoreApplication>
#include <QEvent>

namespace zelvo::ui {
namespace {

WorkerPostHook& postHook()
{
    static WorkerPostHook hook;
    return hook;
}

class DoneEvent final : public QEvent
{
public:
    explicit DoneEvent(uint64_t outcome)
        : QEvent(static_cast<QEvent::Type>(WorkerReceiver::DoneEventType())), m_outcome(outcome)
    {}
    uint64_t m_outcome;
};

} // namespace

WorkerChannel::WorkerChannel(WorkerReceiver* receiver, uint32_t progressMessage, uint32_t doneMessage)
    : m_receiver(receiver), m_progressMessage(progressMessage), m_doneMessage(doneMessage)
{}

Poster WorkerChannel::MakePoster(const std::shared_ptr<WorkerChannel>& channel)
{
    WorkerPostHook hook = postHook();
    return [channel, hook = std::move(hook)](uint32_t message, uint64_t wParam) {
        if (hook)
            hook(message, wParam);
        channel->Post(message, wParam);
    };
}

void WorkerChannel::Post(uint32_t message, uint64_t wParam)
{
    QEvent* event = nullptr;
    if (message == m_progressMessage) {
        m_latest.store(wParam);
        if (m_progressQueued.exchange(true))
            return; // the queued event will carry this count
        event = new QEvent(static_cast<QEvent::Type>(WorkerReceiver::ProgressEventType()));
    } else if (message == m_doneMessage) {
        event = new DoneEvent(wParam);
    } else {
        return;
    }
    const std::lock_guard lock(m_mutex);
    if (m_receiver)
        QCoreApplication::postEvent(m_receiver, event);
    else
        delete event;
}

void WorkerChannel::Detach()
{
    const std::lock_guard lock(m_mutex);
    m_receiver = nullptr;
}

void WorkerChannel::Synchronize()
{
    const std::lock_guard lock(m_mutex);
}

uint64_t WorkerChannel::TakeProgress()
{
    m_progressQueued.store(false);
    return m_latest.load();
}

WorkerReceiver::WorkerReceiver(QObject* parent, ProgressHandler onProgress, DoneHandler onDone)
    : QObject(parent), m_onProgress(std::move(onProgress)), m_onDone(std::move(onDone))
{
    m_frame.setSingleShot(true);
    m_frame.setInterval(WorkerChannel::kProgressFrameMs);
    connect(&m_frame, &QTimer::timeout, this, &WorkerReceiver::OnFrameEnd);
}

WorkerReceiver::~WorkerReceiver()
{
    // Events already queued for this object are discarded by QObject's destructor; Detach keeps
    // the worker from queueing new ones.
    CloseChannel();
}

std::shared_ptr<WorkerChannel> WorkerReceiver::OpenChannel(uint32_t progressMessage, uint32_t doneMessage)
{
    CloseChannel();
    m_channel = std::make_shared<WorkerChannel>(this, progressMessage, doneMessage);
    m_delivered = 0;
    return m_channel;
}

void WorkerReceiver::CloseChannel()
{
    if (m_channel)
        m_channel->Detach();
    m_channel.reset();
    m_frame.stop();
    // A notification of the closed channel that is already queued must not reach the next run.
    QCoreApplication::removePostedEvents(this, ProgressEventType());
    QCoreApplication::removePostedEvents(this, DoneEventType());
}

int WorkerReceiver::ProgressEventType()
{
    static const int type = QEvent::registerEventType();
    return type;
}

int WorkerReceiver::DoneEventType()
{
    static const int type = QEvent::registerEventType();
    return type;
}

bool WorkerReceiver::event(QEvent* event)
{
    if (m_channel)
        m_channel->Synchronize();
    if (event->type() == ProgressEventType()) {
        // The event stays pending until the frame ends, so the worker posts no other meanwhile.
        if (m_channel) {
            Deliver(m_channel->LatestProgress());
            m_frame.start();
        }
        return true;
    }
    if (event->type() == DoneEventType()) {
        if (m_channel) {
            const uint64_t outcome = static_cast<DoneEvent*>(event)->m_outcome;
            Deliver(m_channel->LatestProgress());
            // The run is over: its channel is not needed for anything after this outcome.
            CloseChannel();
            m_onDone(outcome);
        }
        return true;
    }
    return QObject::event(event);
}

void WorkerReceiver::Deliver(uint64_t blocks)
{
    if (blocks == m_delivered)
        return;
    m_delivered = blocks;
    m_onProgress(blocks);
}

void WorkerReceiver::OnFrameEnd()
{
    if (m_channel)
        Deliver(m_channel->TakeProgress());
}

void SetWorkerPostHook(WorkerPostHook hook)
{
    postHook() = std::move(hook);
}

} // namespace zelvo::ui
