// The default system beep, the program's only sound. Tests install a beeper that counts instead
// of sounding, the same way they answer message boxes.
#pragma once

#include <functional>

namespace zelvo::ui {

// Sounds the desktop's default beep (QApplication::beep), or calls the installed beeper.
void SoundDefaultBeep();

// Test seam: while set, the beeper is called instead of the real beep. Pass an empty function to
// beep for real again.
using Beeper = std::function<void()>;
void SetBeeper(Beeper beeper);

} // namespace zelvo::ui
