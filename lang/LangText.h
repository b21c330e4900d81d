// Texts of the interface that come from a language file. The application object owns the language
// index and the language file and hands them to what shows a text; nothing here keeps either.
#pragma once

#include "CIniFile.h"
#include "DialogKeys.h"
#include "LanguageTable.h"

#include <QString>
#include <QStringView>
#include <array>
#include <optional>
#include <string_view>

class QWidget;

namespace zelvo::lang {

// A language as a window is given it: the index into theLanguageTable (kNoLanguage while no file
// is loaded: the window keeps its built-in texts) and the texts of its file.
struct LanguageTexts
{
    int language = kNoLanguage;
    CIniFile file;
};

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

// Applies DialogTextsFor(dialog, ...) to a dialog whose controls carry their control id as objectName
// or as the integer property "id"; QLabel, QAbstractButton and QGroupBox children are handled, and
// control 0 is the dialog's caption. Call it once the controls exist and before the dialog shows.
void ApplyDialogTexts(QWidget& dialogWidget, LangDialog dialog, LanguageTexts& texts);

// The message of a double-click on the dialog's surface: the language file's text, or the built-in
// one when that is empty (whatever the language index).
QString DoubleClickMessage(LangDialog dialog, CIniFile& file);

} // namespace zelvo::lang
