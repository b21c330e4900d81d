#include "ProgressPump.h"

#include <mutex>

namespace zelvo::core {
namespace {

PostHook& Hook()
{
    static PostHook hook;
    return hook;
}

} // namespace

struct ProgressPump::Channel
{
    std::mutex mutex;
    bool attached = true;     // guarded by mutex; false once closed
    bool wakePending = false; // a wake was asked for and not yet followed by a Take
    int64_t quietUntilMs = 0; // no progress wake before this
    uint64_t latest = 0;
    std::optional<uint64_t> outcome;
    std::function<void()> wake;
    std::function<int64_t()> nowMs;
};

ProgressPump::ProgressPump(uint32_t progressMessage, uint32_t doneMessage)
    : m_progressMessage(progressMessage), m_doneMessage(doneMessage)
{}

ProgressPump::~ProgressPump()
{
    Close();
}

Poster ProgressPump::Open(std::function<void()> wake, std::function<int64_t()> nowMs)
{
    Close();
    m_channel = std::make_shared<Channel>();
    m_channel->wake = std::move(wake);
    m_channel->nowMs = std::move(nowMs);
    m_taken = 0;
    return [channel = m_channel, hook = Hook(), progress = m_progressMessage, done = m_doneMessage](uint32_t message,
                                                                                                    uint64_t value) {
        if (hook)
            hook(message, value);
        const std::lock_guard lock(channel->mutex);
        if (!channel->attached)
            return;
        if (message == progress) {
            channel->latest = value;
            if (channel->wakePending || channel->outcome || channel->nowMs() < channel->quietUntilMs)
                return;
        } else if (message == done) {
            channel->outcome = value;
        } else {
            return;
        }
        channel->wakePending = true;
        channel->wake();
    };
}

void ProgressPump::Close()
{
    if (!m_channel)
        return;
    {
        const std::lock_guard lock(m_channel->mutex);
        m_channel->attached = false;
    }
    m_channel.reset();
}

ProgressPump::Taken ProgressPump::Take()
{
    Taken taken;
    if (!m_channel)
        return taken;
    uint64_t latest = 0;
    {
        const std::lock_guard lock(m_channel->mutex);
        m_channel->wakePending = false;
        m_channel->quietUntilMs = m_channel->nowMs() + kFrameMs;
        latest = m_channel->latest;
        taken.outcome = m_channel->outcome;
    }
    if (latest != m_taken) {
        m_taken = latest;
        taken.blocks = latest;
    }
    if (taken.outcome)
        Close();
    return taken;
}

void SetPostHook(PostHook hook)
{
    Hook() = std::move(hook);
}

} // namespace zelvo::core
