// The texts of the two run dialogs that came after their templates, each with its built-in English
// (the status line's are the core's: core::RunStatusTextsFrom).
#pragma once

#include "CIniFile.h"

#include <QString>
#include <QStringView>

namespace zelvo::ui {

// text("Run Dialogs", key) of the language file, or builtIn when it is empty.
QString RunDialogText(CIniFile& langFile, QStringView key, const QString& builtIn);

// A label's text as a name: without its mnemonic ("&F", or "(&F)" as CJK texts write it) and
// without the trailing colon.
QString PlainLabelText(const QString& text);

} // namespace zelvo::ui
