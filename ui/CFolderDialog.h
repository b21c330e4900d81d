// The destination folder chooser of the Comminute and Merge dialogs: construct one on the stack,
// call Browse once, and on 1 put m_strPath into the read-only destination field.
#pragma once

#include <QString>
#include <functional>

namespace zelvo::ui {

class CFolderDialog
{
public:
    CFolderDialog() = default;
    virtual ~CFolderDialog() = default;
    CFolderDialog(const CFolderDialog&) = delete;
    CFolderDialog& operator=(const CFolderDialog&) = delete;

    // Shows the folder picker and blocks until it closes. Returns 1 when the user chose an existing
    // folder (m_strPath then holds its full path, native separators, a trailing separator only on a
    // root such as "/" or "E:\"), 0 on cancel or anything that is not a folder (m_strPath untouched).
    int Browse();

    QString m_strPath;
    // Where the picker opens; empty means the folder last picked at m_strPlace, or the top folder
    // (StartFolder()) when there is none.
    QString m_strRoot;
    // Which "..." button browses (for example "MergeDestination"): a successful Browse remembers
    // its folder there. Empty: nothing is remembered.
    QString m_strPlace;
    // The shell's m_iImage (the chosen item's index in the system image list) has no counterpart in
    // Qt's folder dialog, which reports a path only, so it is left out.

    static const QString& Title(); // "Select folder for destination files:"
    // The folder the picker opens at before anything was picked: the user's home folder, the top
    // of everything a user can write to on Linux (the filesystem root "/" is rarely writable), and
    // the profile folder on Windows, under which the desktop and documents lie.
    static QString StartFolder();
};

// Test seam, like the message box's: while set, Browse shows nothing; the answerer sees the title
// and the folder the picker would open at, and returns the chosen path, or an empty text for
// cancel. Pass an empty function to show the real picker again.
using FolderDialogAnswerer = std::function<QString(const QString& title, const QString& startFolder)>;
void SetFolderDialogAnswerer(FolderDialogAnswerer answerer);

} // namespace zelvo::ui
