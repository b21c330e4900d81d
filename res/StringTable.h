// The program's fixed English texts, keyed by their string ids. Message boxes are never
// translated: every message the program shows comes from here, whatever the interface language.
// Standard C++ only, so the command line and the dialogs share one table.
#pragma once

#include <string>

namespace zelvo {

enum StringId : int {
    IDR_MAINFRAME = 128,         // "Zelvo for File"
    AFX_IDS_APP_TITLE = 57344,   // "Zelvo"
    AFX_IDS_IDLEMESSAGE = 57345, // "Ready"
    ID_INDICATOR_CAPS = 59137,
    ID_INDICATOR_NUM = 59138,
    ID_INDICATOR_SCRL = 59139,

    // Command prompts (status bar), stored under the command ids.
    ID_FILE_COMMINUTE = 32771,
    ID_FILE_MERGE = 32772,
    ID_APP_ABOUT = 57664,
    ID_APP_EXIT = 57665,
    ID_LANG_ENG = 61215,
    ID_LANG_CHS = 61216,
    ID_LANG_CHT = 61217,
    ID_LANG_JAP = 61218,

    IDS_SOURCE_TOO_SMALL = 61204,
    IDS_TOO_MANY_CHIPS = 61205,
    IDS_COMMINUTE_FINISHED = 61206,
    IDS_SELECT_SOURCE = 61207,
    IDS_SELECT_DEST_FOLDER = 61208,
    IDS_INVALID_SIZE = 61209,
    IDS_MERGE_FINISHED = 61210,
    IDS_BAD_HEADER = 61211,
    IDS_INSTANCE_RUNNING = 61212,
    IDS_MERGE_CANCELED = 61213,
    IDS_LANG_FILE_FAILED = 61214,
    IDS_CONFIRM_CANCEL_MERGE = 61219,
    IDS_OPEN_CHIP_ERROR = 61220,
    IDS_CONFIRM_CANCEL_COMMINUTE = 61221,
    IDS_COMMINUTE_CANCELED = 61222,
    IDS_OPEN_SOURCE_ERROR = 61223,

    // A read or write failed during a run (a full disk, a folder that went away). Shown with the
    // file-error text of the file that failed on the next line.
    IDS_COMMINUTE_IO_ERROR = 61224,
    IDS_MERGE_IO_ERROR = 61225,
    // A run cannot start while the worker of an earlier run of the same kind is still finishing.
    IDS_WORKER_BUSY = 61226,

    // Questions before files already there are replaced; %1 is the file or the set's base path.
    IDS_CONFIRM_REPLACE_SET = 61227,
    IDS_CONFIRM_REPLACE_FILE = 61228,
    // Refusals of a plan and reasons of a failed run; %1 is the file concerned.
    IDS_CHIP_WRONG_LENGTH = 61229,
    IDS_LAST_CHIP_WRONG_LENGTH = 61230,
    IDS_NOT_A_FILE = 61231,
    IDS_NAME_TOO_LONG = 61232,
    IDS_DEST_IS_CHIP = 61233,
    IDS_SET_BUSY = 61234,
    IDS_SOURCE_CHANGED = 61235,
    IDS_CHIP_CHANGED = 61236,
    IDS_DEST_APPEARED = 61237,
    // The set's checksum file: damaged chips, a join that does not match, a file that is no sidecar.
    IDS_CHIP_DAMAGED = 61238,
    IDS_JOIN_DAMAGED = 61239,
    IDS_BAD_SIDECAR = 61240,
    IDS_NO_SIDECAR = 61241,
    // A file handed to the running program while one of its dialogs is open.
    IDS_BUSY_WITH_DIALOG = 61242,
    // A lock, the folder of locks or the hand-over socket that another user owns or could replace.
    IDS_LOCK_UNSAFE = 61243,
    // A file that could not be written because its file system or medium is read-only; %1 is the file.
    IDS_READ_ONLY = 61250,
    // A chip of the set's name past the header chip's count: %1 the chip, %2 the count.
    IDS_CHIP_BEYOND_COUNT = 61251,
    // The destination cannot take a run's files; %2 is the size needed, %3 the free space or, for a
    // file too large, the file system's name and %3 the size no file of it reaches.
    IDS_SET_NEEDS_SPACE = 61257,
    IDS_FILE_NEEDS_SPACE = 61258,
    IDS_FILE_TOO_LARGE_FOR_DRIVE = 61259,
    // A write refused for the file's size (the file-error text of FileError::TooLarge).
    IDS_FILE_TOO_LARGE = 61260,

    // The framework's file-error texts; %1 stands for the path.
    AFX_IDP_FILE_NONE = 61856,
    AFX_IDP_FILE_GENERIC = 61857,
    AFX_IDP_FILE_NOT_FOUND = 61858,
    AFX_IDP_FILE_BAD_PATH = 61859,
    AFX_IDP_FILE_TOO_MANY_OPEN = 61860,
    AFX_IDP_FILE_ACCESS_DENIED = 61861,
    AFX_IDP_FILE_INVALID_FILE = 61862,
    AFX_IDP_FILE_REMOVE_CURRENT = 61863,
    AFX_IDP_FILE_DIR_FULL = 61864,
    AFX_IDP_FILE_BAD_SEEK = 61865,
    AFX_IDP_FILE_HARD_IO = 61866,
    AFX_IDP_FILE_SHARING = 61867,
    AFX_IDP_FILE_LOCKING = 61868,
    AFX_IDP_FILE_DISKFULL = 61869,
    AFX_IDP_FILE_EOF = 61870,
};

// The UTF-8 text stored under id, or an empty string for an id the table does not hold.
std::string LoadString(int id);

// The id of the file-error text for one of the engine's FileError values: the framework's
// file-exception causes 0 to 14, then 15 (read-only) and 16 (too large); an unknown cause gets the
// generic text.
int FileErrorStringId(int cause);

// Replaces every "%1" in text with arg (the framework's AfxFormatString1).
std::string FormatString1(const std::string& text, const std::string& arg);
// Replaces "%1" and "%2" (AfxFormatString2).
std::string FormatString2(const std::string& text, const std::string& arg1, const std::string& arg2);

} // namespace zelvo
