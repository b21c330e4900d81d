// State of the Caps, Num and Scroll Lock keys for the status bar's indicator panes.
#pragma once

#include <optional>

namespace zelvo::app {

struct LockKeys
{
    bool caps = false;
    bool num = false;
    bool scroll = false;
};

// The current state, or nothing where the platform cannot tell (then the panes stay hidden).
std::optional<LockKeys> QueryLockKeys();

} // namespace zelvo::app
