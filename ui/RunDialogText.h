// The accessible names of the run dialogs' fields, taken from their labels (the texts the dialogs
// gained after their templates are the core's: core::RunDialogText).
#pragma once

#include <QString>

namespace zelvo::ui {

// A label's text as a name: without its mnemonic ("&F", or "(&F)" as CJK texts write it) and
// without the trailing colon.
QString PlainLabelText(const QString& text);

} // namespace zelvo::ui
