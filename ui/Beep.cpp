#include "Beep.h"

#include <QApplication>

namespace zelvo::ui {
namespace {

Beeper& TheBeeper()
{
    static Beeper instance;
    return instance;
}

} // namespace

void SoundDefaultBeep()
{
    if (TheBeeper()) {
        TheBeeper()();
        return;
    }
    QApplication::beep();
}

void SetBeeper(Beeper newBeeper)
{
    TheBeeper() = std::move(newBeeper);
}

} // namespace zelvo::ui
