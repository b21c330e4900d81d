// The line under the bar during a run ("6.3 MB of 20.0 MB · 2.5 MB/s · 0:06 left"), and the bar's
// own maths: its filled width, its percent text and the colours that keep that text readable.
#pragma once

#include "CIniFile.h"

#include <cstdint>
#include <optional>
#include <string>

namespace zelvo::core {

// The three parts' templates (UTF-8), "%1" and "%2" standing for sizes and times.
struct RunStatusTexts
{
    std::string bytesDone = "%1 of %2";
    std::string speed = "%1/s";
    std::string timeLeft = "%1 left";
};
// Section "Run Dialogs", keys "Bytes Done", "Speed", "Time Left"; the built-in text for an empty one.
RunStatusTexts RunStatusTextsFrom(CIniFile& file);
// text("Run Dialogs", key) of file as UTF-8, or builtIn when it is empty (the texts the run dialogs
// gained after their templates).
std::string RunDialogText(CIniFile& file, const char16_t* key, std::string builtIn);

// Whole seconds still to go at the average speed so far, rounded up: none while nothing is done
// (no speed yet), 0 once everything is.
std::optional<int64_t> SecondsLeft(uint64_t doneBytes, uint64_t totalBytes, int64_t elapsedMs);
// "0 B", "512 B", "1.5 KB", "700.0 MB": units of 1,024, one decimal above bytes.
std::string SizeText(uint64_t bytes);
// "0:07", "12:34", "1:02:03".
std::string DurationText(int64_t seconds);
// The whole line while a run goes on; with withRate false only "<done> of <total>" (a run that
// failed or was cancelled keeps the bytes it reached).
std::string RunStatusText(uint64_t doneBytes, uint64_t totalBytes, int64_t elapsedMs, const RunStatusTexts& texts,
                          bool withRate = true);

// trunc(f × width) for f = (position − lower) / (upper − lower), exactly in integers (29 of 100
// is 29 %, not the 28.999… of doubles); 0 for an empty range (lower ≥ upper). Not clamped.
int ProgressFilledWidth(int position, int lower, int upper, int width);
// "29%".
std::string PercentText(int position, int lower, int upper);

struct Rgb
{
    uint8_t r = 0, g = 0, b = 0;
    bool operator==(const Rgb&) const = default;
};
// The WCAG contrast ratio, 1 (the same) to 21 (black on white).
double ContrastRatio(Rgb a, Rgb b);
// colour itself where it reads on background (ratio at least 4.5), otherwise the same hue
// lightened or darkened just far enough that it does.
Rgb ReadableOn(Rgb colour, Rgb background);

// The bar's percent text is drawn over both parts: each half in the other part's colour where that
// reads, otherwise made readable on its own part.
struct BarTextColours
{
    Rgb onFill;
    Rgb onEmpty;
};
BarTextColours PercentTextColours(Rgb fill, Rgb empty);

} // namespace zelvo::core
