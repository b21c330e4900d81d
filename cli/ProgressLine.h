// The one-line progress display of zelvo-cli: percent, bytes, speed, time left and the chip in
// hand, redrawn on stderr at most ten times a second.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

namespace zelvo::cli {

class ProgressLine
{
public:
    // totalBytes: the run's bytes; blocksPerChip: to tell the current chip; chipCount: N.
    ProgressLine(bool enabled, int64_t totalBytes, uint32_t blocksPerChip, uint32_t chipCount);

    void Update(uint64_t blocksDone);
    // Draws the final state (if anything was drawn) and ends the line.
    void Finish();

private:
    void Draw(uint64_t blocksDone, std::chrono::steady_clock::time_point now);

    bool enabled_;
    int64_t totalBytes_;
    uint32_t blocksPerChip_;
    uint32_t chipCount_;
    uint64_t lastBlocks_ = 0;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};

// "1.5 GiB", "812.0 MiB", "12 B": what the line shows for a byte count.
std::string FormatBytes(int64_t bytes);

} // namespace zelvo::cli
