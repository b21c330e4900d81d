#include "RunStatus.h"

#include "StringTable.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>

namespace zelvo::core {
namespace {

// trunc(offset / span × scale) for span > 0, in 64 bits (the widths are far below 2^31), saturated.
int ScaledTrunc(int position, int lower, int upper, int scale)
{
    const int64_t value = (int64_t{position} - lower) * scale / (int64_t{upper} - lower);
    return static_cast<int>(std::clamp<int64_t>(value, INT_MIN, INT_MAX));
}

double Luminance(Rgb colour)
{
    const auto linear = [](int channel) {
        const double c = channel / 255.0;
        return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(colour.r) + 0.7152 * linear(colour.g) + 0.0722 * linear(colour.b);
}

Rgb Mixed(Rgb from, Rgb to, double share)
{
    const auto channel = [share](int a, int b) { return static_cast<uint8_t>(std::lround(a + (b - a) * share)); };
    return {channel(from.r, to.r), channel(from.g, to.g), channel(from.b, to.b)};
}

constexpr double kMinimumContrast = 4.5;

} // namespace

std::string RunDialogText(CIniFile& file, const char16_t* key, std::string builtIn)
{
    std::string text = Utf8OfUtf16(file.GetString(u"Run Dialogs", key));
    return text.empty() ? builtIn : text;
}

RunStatusTexts RunStatusTextsFrom(CIniFile& file)
{
    const RunStatusTexts builtIn;
    return {RunDialogText(file, u"Bytes Done", builtIn.bytesDone), RunDialogText(file, u"Speed", builtIn.speed),
            RunDialogText(file, u"Time Left", builtIn.timeLeft)};
}

std::optional<int64_t> SecondsLeft(uint64_t doneBytes, uint64_t totalBytes, int64_t elapsedMs)
{
    if (doneBytes >= totalBytes)
        return 0;
    if (doneBytes == 0 || elapsedMs <= 0)
        return std::nullopt;
    // In floating point: elapsed × remaining passes 64 bits for long runs of large sets.
    const double msLeft = double(elapsedMs) * double(totalBytes - doneBytes) / double(doneBytes);
    return static_cast<int64_t>(std::ceil(msLeft / 1000.0));
}

std::string SizeText(uint64_t bytes)
{
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    if (bytes < 1024)
        return std::to_string(bytes) + " B";
    double value = double(bytes) / 1024.0;
    int unit = 0;
    while (value >= 1024.0 && unit < 3) {
        value /= 1024.0;
        ++unit;
    }
    char text[48];
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
    return text;
}

std::string DurationText(int64_t seconds)
{
    char text[48];
    const long long h = seconds / 3600, m = seconds / 60 % 60, s = seconds % 60;
    if (h > 0)
        std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", h, m, s);
    else
        std::snprintf(text, sizeof text, "%lld:%02lld", m, s);
    return text;
}

std::string RunStatusText(uint64_t doneBytes, uint64_t totalBytes, int64_t elapsedMs, const RunStatusTexts& texts,
                          bool withRate)
{
    std::string line = FormatString2(texts.bytesDone, SizeText(doneBytes), SizeText(totalBytes));
    if (!withRate)
        return line;
    if (doneBytes > 0 && elapsedMs > 0) {
        const auto perSecond = static_cast<uint64_t>(double(doneBytes) * 1000.0 / double(elapsedMs));
        line += " · " + FormatString1(texts.speed, SizeText(perSecond));
    }
    if (const auto left = SecondsLeft(doneBytes, totalBytes, elapsedMs); left && doneBytes < totalBytes)
        line += " · " + FormatString1(texts.timeLeft, DurationText(*left));
    return line;
}

int ProgressFilledWidth(int position, int lower, int upper, int width)
{
    return lower < upper ? ScaledTrunc(position, lower, upper, std::clamp(width, 0, 1 << 24)) : 0;
}

std::string PercentText(int position, int lower, int upper)
{
    return std::to_string(lower < upper ? ScaledTrunc(position, lower, upper, 100) : 0) + "%";
}

double ContrastRatio(Rgb a, Rgb b)
{
    const double la = Luminance(a);
    const double lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Rgb ReadableOn(Rgb colour, Rgb background)
{
    if (ContrastRatio(colour, background) >= kMinimumContrast)
        return colour;
    // Towards whichever end contrasts more with the background; every background reaches 4.5
    // with white or with black, so the walk ends at the latest there.
    const Rgb white{255, 255, 255}, black{0, 0, 0};
    const Rgb end = ContrastRatio(white, background) >= ContrastRatio(black, background) ? white : black;
    constexpr int steps = 64;
    for (int step = 1; step < steps; ++step) {
        const Rgb candidate = Mixed(colour, end, double(step) / steps);
        if (ContrastRatio(candidate, background) >= kMinimumContrast)
            return candidate;
    }
    return end;
}

BarTextColours PercentTextColours(Rgb fill, Rgb empty)
{
    return {ReadableOn(empty, fill), ReadableOn(fill, empty)};
}

} // namespace zelvo::core
