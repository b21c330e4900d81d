// One SetPos per 64 KiB block is what the dialogs feed the bar during a run: 1,000,000 calls are a
// 61 GiB file. The GUI thread must stay responsive, so the bar may repaint only when its filled
// width in pixels changes: at most 301 times on a 300-pixel bar.
#include "CPercentProgressCtrl.h"

#include <QApplication>
#include <chrono>
#include <cstdio>

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    constexpr int calls = 1'000'000;
    constexpr int width = 300;
    zelvo::ui::CPercentProgressCtrl bar;
    bar.resize(width, 24);
    bar.show();
    QApplication::processEvents();
    bar.SetRange(0, calls - 1);

    using Clock = std::chrono::steady_clock;
    const int paintsBefore = bar.PaintCount();
    const auto start = Clock::now();
    for (int pos = 0; pos < calls; ++pos)
        bar.SetPos(pos);
    const std::chrono::duration<double, std::nano> elapsed = Clock::now() - start;
    const int repaints = bar.PaintCount() - paintsBefore;

    // The cost of one repaint on its own, to tell it apart from the cost of a call that skips it.
    constexpr int forced = 300;
    const auto paintStart = Clock::now();
    for (int i = 0; i < forced; ++i)
        bar.repaint();
    const std::chrono::duration<double, std::micro> paintElapsed = Clock::now() - paintStart;

    std::printf("progress_bench: %d SetPos calls on a %d-pixel bar\n", calls, width);
    std::printf("  total %.1f ms, %.1f ns per call\n", elapsed.count() / 1e6, elapsed.count() / calls);
    std::printf("  repaints: %d (limit %d)\n", repaints, width + 1);
    std::printf("  one repaint alone: %.1f us\n", paintElapsed.count() / forced);
    return repaints <= width + 1 ? 0 : 1;
}
