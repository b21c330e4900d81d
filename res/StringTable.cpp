#include "StringTable.h"

#include "FileIO.h"

#include <string_view>
#include <utility>

namespace zelvo {
namespace {

constexpr std::pair<int, std::string_view> kStrings[] = {
    {IDR_MAINFRAME, "Zelvo for File"},
    {AFX_IDS_APP_TITLE, "Zelvo"},
    {AFX_IDS_IDLEMESSAGE, "Ready"},
    {ID_INDICATOR_CAPS, "CAP"},
    {ID_INDICATOR_NUM, "NUM"},
    {ID_INDICATOR_SCRL, "SCRL"},

    {ID_FILE_COMMINUTE, "Comminute a big file into several chip ones"},
    {ID_FILE_MERGE, "Merge all chip files into a big one"},
    {ID_APP_ABOUT, "Display program information, version number and copyright\nAbout"},
    {ID_APP_EXIT, "Quit the application\nExit"},
    {ID_LANG_ENG, "Set Language for UI to English"},
    {ID_LANG_CHS, "Set Language for UI to Simplified Chinese"},
    {ID_LANG_CHT, "Set Language for UI to Traditional Chinese"},
    {ID_LANG_JAP, "Set Language for UI to Japanese"},

    // "\b" below is a backslash and the letter b, two plain characters of the text.
    {IDS_SOURCE_TOO_SMALL, "The source file is less than cmnt size!\\bYou needn't comminute it at all."},
    {IDS_TOO_MANY_CHIPS, "The destination files are too many(>100)!"},
    {IDS_COMMINUTE_FINISHED, "The File Comminuting is Finished!"},
    {IDS_SELECT_SOURCE, "Please select the source file!"},
    {IDS_SELECT_DEST_FOLDER, "Please select folder for destination file(s)!"},
    {IDS_INVALID_SIZE, "Invalid file size!"},
    {IDS_MERGE_FINISHED, "The File Merging is Finished!"},
    {IDS_BAD_HEADER, "The header chip file is bad!"},
    {IDS_INSTANCE_RUNNING, "An instance of Zelvo for File has been running!"},
    {IDS_MERGE_CANCELED, "The File Merging is canceled!"},
    {IDS_LANG_FILE_FAILED, "Failed to read lang file!"},
    {IDS_CONFIRM_CANCEL_MERGE, "Are you sure to cancel this File Merging?"},
    {IDS_OPEN_CHIP_ERROR, "Open chip file error!"},
    {IDS_CONFIRM_CANCEL_COMMINUTE, "Are you sure to cancel this File Comminuting?"},
    {IDS_COMMINUTE_CANCELED, "The File Comminuting is canceled!"},
    {IDS_OPEN_SOURCE_ERROR, "Open the big source file error!"},

    {IDS_COMMINUTE_IO_ERROR, "The File Comminuting has failed!"},
    {IDS_MERGE_IO_ERROR, "The File Merging has failed!"},
    {IDS_WORKER_BUSY, "The previous run is still finishing. Please try again in a moment."},

    {IDS_CONFIRM_REPLACE_SET, "The folder already holds chip files of %1. Replace them?"},
    {IDS_CONFIRM_REPLACE_FILE, "%1 already exists. Replace it?"},
    {IDS_CHIP_WRONG_LENGTH, "The chip file %1 is not as long as the first chip of its set!"},
    {IDS_LAST_CHIP_WRONG_LENGTH, "The last chip file %1 is empty or longer than the first chip!"},
    {IDS_NOT_A_FILE, "%1 is not a regular file (a link, folder, pipe or device)!"},
    {IDS_NAME_TOO_LONG, "The name %1 is too long for the destination folder!"},
    {IDS_DEST_IS_CHIP, "%1 is one of the files that this run reads!"},
    {IDS_SET_BUSY, "Another run is writing the chip set %1 at this moment!"},
    {IDS_SOURCE_CHANGED, "%1 changed while it was being comminuted!"},
    {IDS_CHIP_CHANGED, "The chip file %1 changed while it was being merged!"},
    {IDS_DEST_APPEARED, "%1 appeared during the run and was not replaced."},
    {IDS_CHIP_DAMAGED, "Chip %1 is damaged: %2 does not match its checksum!"},
    {IDS_JOIN_DAMAGED, "The joined file %1 does not match the source's checksum!"},
    {IDS_BAD_SIDECAR, "The checksum file %1 is damaged or belongs to another set!"},
    {IDS_NO_SIDECAR, "The chip set has no checksum file %1!"},
    {IDS_BUSY_WITH_DIALOG, "Zelvo for File is busy with another dialog. Close it first."},
    {IDS_READ_ONLY, "%1 could not be written because the destination is read-only."},
    {IDS_CHIP_BEYOND_COUNT, "The chip file %1 lies beyond the count %2 of its header chip!"},
    {IDS_SET_NEEDS_SPACE, "The chip files of %1 need %2; the destination has %3 free."},
    {IDS_FILE_NEEDS_SPACE, "%1 needs %2; the destination has %3 free."},
    {IDS_FILE_TOO_LARGE_FOR_DRIVE, "%1 is on a %2 drive, which holds no file of %3 or more."},
    {IDS_FILE_TOO_LARGE, "%1 is too large for the destination's file system."},
    {IDS_LOCK_UNSAFE, "%1 belongs to another user or is open to one, so Zelvo for File does not use it! Remove it, "
                      "or set XDG_RUNTIME_DIR to a folder of your own."},

    {AFX_IDP_FILE_NONE, "No error occurred."},
    {AFX_IDP_FILE_GENERIC, "An unknown error occurred while accessing %1."},
    {AFX_IDP_FILE_NOT_FOUND, "%1 was not found."},
    {AFX_IDP_FILE_BAD_PATH, "%1 contains an invalid path."},
    {AFX_IDP_FILE_TOO_MANY_OPEN, "%1 could not be opened because there are too many open files."},
    {AFX_IDP_FILE_ACCESS_DENIED, "Access to %1 was denied."},
    {AFX_IDP_FILE_INVALID_FILE, "An invalid file handle was associated with %1."},
    {AFX_IDP_FILE_REMOVE_CURRENT, "%1 could not be removed because it is the current directory."},
    {AFX_IDP_FILE_DIR_FULL, "%1 could not be created because the directory is full."},
    {AFX_IDP_FILE_BAD_SEEK, "Seek failed on %1"},
    {AFX_IDP_FILE_HARD_IO, "A hardware I/O error was reported while accessing %1."},
    {AFX_IDP_FILE_SHARING, "A sharing violation occurred while accessing %1."},
    {AFX_IDP_FILE_LOCKING, "A locking violation occurred while accessing %1."},
    {AFX_IDP_FILE_DISKFULL, "Disk full while accessing %1."},
    {AFX_IDP_FILE_EOF, "An attempt was made to access %1 past its end."},
};

} // namespace

std::string LoadString(int id)
{
    for (const auto& [key, text] : kStrings) {
        if (key == id)
            return std::string(text);
    }
    return {};
}

int FileErrorStringId(int cause)
{
    // The engine's causes beyond the framework's: a read-only destination, a file too large for
    // its file system.
    if (cause == static_cast<int>(FileError::ReadOnly))
        return IDS_READ_ONLY;
    if (cause == static_cast<int>(FileError::TooLarge))
        return IDS_FILE_TOO_LARGE;
    if (cause < 0 || cause > AFX_IDP_FILE_EOF - AFX_IDP_FILE_NONE)
        return AFX_IDP_FILE_GENERIC;
    return AFX_IDP_FILE_NONE + cause;
}

std::string FormatString2(const std::string& text, const std::string& arg1, const std::string& arg2)
{
    std::string result;
    result.reserve(text.size() + arg1.size() + arg2.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && (text[i + 1] == '1' || text[i + 1] == '2')) {
            result += text[i + 1] == '1' ? arg1 : arg2;
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

std::string FormatString1(const std::string& text, const std::string& arg)
{
    // A "%2" in a one-argument text stays as it is.
    std::string result;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] == '1') {
            result += arg;
            ++i;
        } else {
            result += text[i];
        }
    }
    return result;
}

} // namespace zelvo
