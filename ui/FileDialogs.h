// The file-open dialog of the Comminute and Merge dialogs, with a test seam like the folder
// chooser's and the message box's; where each "..." button's dialog starts; and paths dropped on
// the dialogs' path fields.
#pragma once

#include <QString>
#include <functional>

class QMimeData;
class QWidget;

namespace zelvo::ui {

// The folder last picked at place (for example "ComminuteSource"), kept in the settings file
// under "LastFolders"; empty when nothing was picked there or it is no folder any more.
QString LastPickedFolder(const QString& place);
void RememberPickedFolder(const QString& place, const QString& folder);

// Shows the file-open dialog over owner: one existing file, the single filter given (for example
// "All Files (*.*)"), opening in the folder last picked at place (the dialog's own choice when
// none). Returns the chosen file's full path in native separators, or an empty text on cancel.
QString GetOpenFilePath(QWidget* owner, const QString& filter, const QString& place);

// While set, GetOpenFilePath shows nothing: the answerer sees the filter and returns the path
// "chosen" (empty for cancel). Pass an empty function to show the real dialog again.
using OpenFileAnswerer = std::function<QString(const QString& filter)>;
void SetOpenFileAnswerer(OpenFileAnswerer answerer);

// The one local file (or, with folder, the one folder) that data carries, as the file and folder
// dialogs return it; empty for anything else, several items included.
QString DroppedPath(const QMimeData* data, bool folder);

} // namespace zelvo::ui
