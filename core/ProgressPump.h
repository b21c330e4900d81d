// The hand-off of a worker's notifications to the GUI thread, without the transport. The worker
// calls the poster made by Open; the pump keeps the latest block count and the outcome, and asks
// the front end to wake its GUI thread, which then takes what is there.
//
// Progress is coalesced: a wake is asked for at most once a frame (kFrameMs after the last Take)
// and never while one is pending, so the GUI thread is woken about 60 times a second instead of
// once per 64 KiB block. A count posted inside a frame is taken by the next wake or the next Take
// of the session's clock. The done notification always wakes; it is taken with the latest count,
// and after it, or after Close, nothing reaches the GUI any more.
#pragma once

#include "Workers.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace zelvo::core {

class ProgressPump
{
public:
    ProgressPump(uint32_t progressMessage, uint32_t doneMessage);
    ~ProgressPump();
    ProgressPump(const ProgressPump&) = delete;
    ProgressPump& operator=(const ProgressPump&) = delete;

    // A channel for one run; the previous one, if any, is closed. wake and nowMs are called on
    // the worker's thread, wake never after Close has returned.
    Poster Open(std::function<void()> wake, std::function<int64_t()> nowMs);
    void Close();

    struct Taken
    {
        std::optional<uint64_t> blocks;  // the latest count, when it changed since the last Take
        std::optional<uint64_t> outcome; // the done notification's; the pump is closed then
    };
    // GUI thread: after a wake, and on the session's clock.
    Taken Take();

    static constexpr int64_t kFrameMs = 16;

    struct Channel;

private:
    const uint32_t m_progressMessage;
    const uint32_t m_doneMessage;
    std::shared_ptr<Channel> m_channel;
    uint64_t m_taken = 0;
};

// Test seam: called on the worker's thread with every notification before the pump sees it (a
// test can hold the worker at a chosen block). Taken into each poster when Open makes it; pass an
// empty function to remove it.
using PostHook = std::function<void(uint32_t message, uint64_t wParam)>;
void SetPostHook(PostHook hook);

} // namespace zelvo::core
