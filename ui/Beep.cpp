#include "Beep.h"

#include <QApplication>

namespace zelvo::ui {
namespace {

Beeper& beeper()
{
    static Beeper instance;
    return instance;
}

} // namespace

void SoundDefaultBeep()
{
    if (beeper()) {
        beeper()();
        return;
    }
    QApplication::beep();
}

void SetBeeper(Beeper newBeeper)
{
    beeper() = std::move(newBeeper);
}

} // namespace zelvo::ui
