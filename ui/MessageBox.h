// Every message box of the program goes through ZelvoMessageBox: caption "Zelvo", modal to the
// active window, the exclamation icon when the caller names none. Tests install an answerer so
// that no test ever blocks on a real modal box.
#pragma once

#include "RunPort.h"

#include <QString>
#include <functional>

namespace zelvo::ui {

enum class MsgButtons { Ok, YesNo };
using MsgIcon = core::BoxIcon;
enum class MsgAnswer { Ok, Yes, No };

// defaultNo: Enter answers No (a question whose Yes destroys something).
MsgAnswer ZelvoMessageBox(const QString& text, MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::Exclamation,
                          bool defaultNo = false);

// The text of string id (StringTable.h), shown as above.
MsgAnswer ZelvoMessageBox(int stringId, MsgButtons buttons = MsgButtons::Ok, MsgIcon icon = MsgIcon::Exclamation);

// Test seam: while set, boxes are not shown; the answerer sees what would have been shown and
// returns the button "pressed". Pass an empty function to show real boxes again.
using MessageBoxAnswerer = std::function<MsgAnswer(const QString& text, MsgButtons buttons, MsgIcon icon)>;
void SetMessageBoxAnswerer(MessageBoxAnswerer answerer);

} // namespace zelvo::ui
