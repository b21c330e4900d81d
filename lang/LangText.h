// Texts of the interface that come from the loaded language file. The application object owns
// the language index and the language file; it registers them here at start-up so that the
// dialogs, which may not depend on the application layer, can reach them.
#pragma once

#include "CIniFile.h"
#include "DialogKeys.h"

#include <QString>
#include <QStringView>
#include <array>
#include <optional>
#include <string_view>

class QWidget;

namespace zelvo::lang {

// Points CurrentLanguage() and LangFile() at the application object's members. Until this is
// called, CurrentLanguage() is kNoLanguage and LangFile() an empty reader.
void RegisterLanguageState(const int& language, CIniFile& langFile);
// Forgets the registered state if langFile is the registered file (its owner is going away).
void UnregisterLanguageState(const CIniFile& langFile);
int CurrentLanguage();
CIniFile& LangFile();

// The tables of built-in names and keys hold UTF-16 views; Qt wants them as QString.
QString ToQString(std::u16string_view text);

// text(section, key) of the given file: empty when the section or the key is missing.
QString Text(CIniFile& file, QStringView section, QStringView key);

struct DialogText
{
    int controlId; // 0 for the dialog's caption; 1 and 2 for the start and close buttons
    QString text;
};
using DialogTexts = std::array<DialogText, 9>;

// The caption and the eight control texts of a dialog, caption first, in the order in which they
// are applied. Empty when language is kNoLanguage: the dialog keeps its template texts.
std::optional<DialogTexts> DialogTextsFor(LangDialog dialog, CIniFile& file, int language);
std::optional<DialogTexts> DialogTextsFor(LangDialog dialog); // the registered state

// Applies DialogTextsFor(dialog) to a dialog whose controls carry their control id as objectName
// or as the integer property "id"; QLabel, QAbstractButton and QGroupBox children are handled, and
// control 0 is the dialog's caption. Call it once the controls exist and before the dialog shows.
void ApplyDialogTexts(QWidget& dialogWidget, LangDialog dialog);

// The message of a double-click on the dialog's surface: the language file's text, or the built-in
// one when that is empty (whatever the language index).
QString DoubleClickMessage(LangDialog dialog, CIniFile& file);
QString DoubleClickMessage(LangDialog dialog); // the registered file

} // namespace zelvo::lang
