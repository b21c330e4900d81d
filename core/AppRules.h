// The application's rules, without a toolkit: which dialog a file handed to the program opens,
// the interface language chosen at start and switched from the menu, the single-instance start
// and the message that hands a file to the running copy, and the names of the settings.
#pragma once

#include "CIniFile.h"
#include "FileIO.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zelvo::core {

// The settings: HKCU\software\Quorvex\Zelvo\Settings on Windows, ~/.config/Quorvex/Zelvo.conf
// on Linux, value "Language" in group "Settings". The remembered folders live beside it.
inline constexpr char kCompanyName[] = "Quorvex";
inline constexpr char kProductName[] = "Zelvo";
inline constexpr char kSettingsGroup[] = "Settings";
inline constexpr char kLanguageKey[] = "Language";
// The named mutex, and the lock and socket names on Linux.
inline constexpr char kInstanceName[] = "Zelvo for File";

// ---- File arguments: from the command line, a second start, or a drop on the main window.
enum class FileDialog { Comminute, Merge };
struct FileRequest
{
    FileDialog dialog;
    PathString path; // the Comminute dialog's source, or the Merge dialog's header chip
};
// A header chip opens the Merge dialog; so does a chip ".D01" to ".D99" whose header chip exists,
// which is then the one chosen. Anything else, a header name whose count file is not there
// included, is a source to split.
FileRequest ClassifyFile(const PathString& path, const std::function<bool(const PathString&)>& exists);

// ---- Language. Indices are theLanguageTable's (ENG, CHS, CHT, JAP); kNoLanguage when no file loaded.
// "CHT" for 0x0404, "CHS" for other Chinese, "JAP" for Japanese, "ENG" for anything else.
int DefaultLanguageIndex(uint16_t systemLanguageId);
std::u16string LanguageName(int index);
// The table's index of a menu command (61215 to 61218).
std::optional<int> LanguageOfCommand(unsigned commandId);
// The check mark of language item index.
inline bool LanguageChecked(int index, int nLanguage)
{
    return index == nLanguage;
}

// What the application does for the language rules (settings, files, menu, boxes).
class LanguagePort
{
public:
    virtual ~LanguagePort() = default;
    virtual std::u16string StoredLanguage() = 0; // empty when the settings hold none
    virtual void StoreLanguage(const std::u16string& name) = 0;
    virtual std::u16string LangFilePath(const std::u16string& name) = 0; // <program folder>/Lang/<name>.lang
    // The file was loaded: rebuild the menu bar from it and take the main window's title from it.
    virtual void LanguageLoaded() = 0;
    virtual void Show(int stringId) = 0;
};

// Start-up: the stored name, or the system's default (used, not stored); loaded into langFile.
// nLanguage becomes the name's table index (a name outside the table leaves it), or kNoLanguage
// when no file could be loaded, and then nothing else happens.
void StartLanguage(LanguagePort& port, CIniFile& langFile, int& nLanguage, uint16_t systemLanguageId);
// The menu's language command: loads the file over what is held; only when it loaded, rebuilds,
// sets nLanguage and stores the name. A file that cannot be loaded gets IDS_LANG_FILE_FAILED.
void SwitchLanguage(LanguagePort& port, CIniFile& langFile, int& nLanguage, int index);

// ---- Single instance.
enum class LockResult { Acquired, HeldElsewhere, Unavailable };
enum class StartAction {
    Run,          // the lock could not be made at all: run, without a hand-over listener
    RunAndListen, // this is the only copy
    HandOver,     // another copy runs and one file was given: hand it over; if that fails, Refuse
    Refuse,       // another copy runs: IDS_INSTANCE_RUNNING, then end
};
StartAction InstanceStart(LockResult lock, bool oneFile);

// The hand-over: one line (base64 of the UTF-8 path, so a line break in a name cannot end it),
// answered with kHandOverReply once the running copy has taken it.
std::string HandOverMessage(const std::string& utf8Path);
// The path of a received line (with or without its line end); none when it is no such line.
std::optional<std::string> ReadHandOverMessage(std::string_view line);
inline constexpr char kHandOverReply[] = "ok\n";

} // namespace zelvo::core
