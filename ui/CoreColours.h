// Colours between Qt and the core's colour maths (core/RunStatus.h).
#pragma once

#include "RunStatus.h"

#include <QColor>

namespace zelvo::ui {

inline core::Rgb ToRgb(const QColor& colour)
{
    const QColor rgb = colour.toRgb();
    return {uint8_t(rgb.red()), uint8_t(rgb.green()), uint8_t(rgb.blue())};
}

inline QColor FromRgb(core::Rgb colour)
{
    return QColor(colour.r, colour.g, colour.b);
}

} // namespace zelvo::ui
