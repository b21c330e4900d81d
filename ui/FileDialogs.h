// The file-open dialog of the Comminute and Merge dialogs, with a test seam like the folder
// chooser's and the message box's.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace zelvo::ui {

// Shows the file-open dialog over owner: one existing file, the single filter given (for example
// "All Files (*.*)"), no start folder. Returns the chosen file's full path in native separators,
// or an empty text on cancel.
QString GetOpenFilePath(QWidget* owner, const QString& filter);

// While set, GetOpenFilePath shows nothing: the answerer sees the filter and returns the path
// "chosen" (empty for cancel). Pass an empty function to show the real dialog again.
using OpenFileAnswerer = std::function<QString(const QString& filter)>;
void SetOpenFileAnswerer(OpenFileAnswerer answerer);

} // namespace zelvo::ui
