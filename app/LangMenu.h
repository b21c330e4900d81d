// Menu bar built from the language file. Every command item carries its command id as the
// action's data and its (never translated) status-bar prompt as the status tip.
#pragma once

#include "CIniFile.h"

#include <QString>

class QAction;
class QMenu;
class QMenuBar;

namespace zelvo::app {

// Appends a text item for a command to menu. Language commands are checkable.
QAction* AddCommand(QMenu& menu, const QString& text, int commandId);

// The command id an item carries, or 0 for a popup title or a separator.
int CommandId(const QAction* action);

// The part of a command's prompt before the line break.
QString CommandPrompt(int commandId);

// Replaces the bar's popups with File, Setting (holding the language sub-popup) and Help, their
// texts from file. The old popups are deleted later, so this may run from one of their items.
void RebuildMenuBar(QMenuBar& bar, CIniFile& file);

} // namespace zelvo::app
