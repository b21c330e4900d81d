#include "ProgressLine.h"

#include "ChipSet.h"

#include <algorithm>

namespace zelvo::cli {

using Clock = std::chrono::steady_clock;
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);

ProgressLine::ProgressLine(bool enabled, int64_t totalBytes, uint32_t blocksPerChip, uint32_t chipCount)
    : enabled_(enabled), totalBytes_(totalBytes), blocksPerChip_(std::max<uint32_t>(blocksPerChip, 1)),
      chipCount_(chipCount), start_(Clock::now()), lastDraw_(start_)
{}

void ProgressLine::Update(uint64_t blocksDone)
{
    lastBlocks_ = blocksDone;
    if (!enabled_)
        return;
    // Called once per 64 KiB block: reading the clock is cheap, drawing is not.
    const auto now = Clock::now();
    if (now - lastDraw_ >= kRedrawInterval)
        Draw(blocksDone, now);
}

void ProgressLine::Finish()
{
    if (!enabled_ || (!drawn_ && lastBlocks_ == 0))
        return;
    Draw(lastBlocks_, Clock::now());
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void ProgressLine::Draw(uint64_t blocksDone, Clock::time_point now)
{
    lastDraw_ = now;
    drawn_ = true;
    const int64_t done = std::min<int64_t>(static_cast<int64_t>(blocksDone) * kCopyBlock, totalBytes_);
    const double seconds = std::chrono::duration<double>(now - start_).count();
    const double rate = seconds > 0 ? static_cast<double>(done) / seconds : 0.0;
    const int percent = totalBytes_ > 0 ? static_cast<int>(done * 100 / totalBytes_) : 100;
    const uint32_t chip = std::min<uint64_t>(blocksDone == 0 ? 1 : (blocksDone - 1) / blocksPerChip_ + 1, chipCount_);

    char left[32] = "--:--";
    if (rate > 0) {
        const auto remaining = static_cast<int64_t>(static_cast<double>(totalBytes_ - done) / rate + 0.5);
        std::snprintf(left, sizeof left, "%lld:%02lld", static_cast<long long>(remaining / 60),
                      static_cast<long long>(remaining % 60));
    }
    std::fprintf(stderr, "\r%3d%%  %s / %s  %.1f MB/s  %s left  chip %u/%u\033[K", percent, FormatBytes(done).c_str(),
                 FormatBytes(totalBytes_).c_str(), rate / 1e6, left, chip, chipCount_);
    std::fflush(stderr);
}

std::string FormatBytes(int64_t bytes)
{
    static const char* const units[] = {"B", "KiB", "MiB", "GiB", "TiB"};
    double value = static_cast<double>(bytes);
    int unit = 0;
    while (value >= 1024.0 && unit < 4) {
        value /= 1024.0;
        ++unit;
    }
    char text[32];
    if (unit == 0)
        std::snprintf(text, sizeof text, "%lld B", static_cast<long long>(bytes));
    else
        std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

} // namespace zelvo::cli
