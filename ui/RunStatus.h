// The line under the bar during a run: bytes done of the total, the speed and the time left, from
// the blocks the worker reports and the time since the run started; and the other texts of the
// two run dialogs that came after their templates, each with its built-in English.
#pragma once

#include <QString>
#include <QStringView>
#include <cstdint>
#include <optional>

namespace zelvo::ui {

// Whole seconds still to go at the average speed so far, rounded up: none while nothing is done
// (no speed yet), 0 once everything is.
std::optional<int64_t> SecondsLeft(uint64_t doneBytes, uint64_t totalBytes, int64_t elapsedMs);

// "0 B", "512 B", "1.5 KB", "700.0 MB": units of 1,024, one decimal above bytes.
QString SizeText(uint64_t bytes);
// "0:07", "12:34", "1:02:03".
QString DurationText(int64_t seconds);

// The whole line, e.g. "1.5 MB of 5.0 MB · 3.0 MB/s · 0:02 left", in the loaded language.
QString RunStatusText(uint64_t doneBytes, uint64_t totalBytes, int64_t elapsedMs);

// text("Run Dialogs", key) of the loaded language file, or builtIn when it is empty.
QString RunDialogText(QStringView key, const QString& builtIn);

// A label's text as a name: without its mnemonic ("&F", or "(&F)" as CJK texts write it) and
// without the trailing colon.
QString PlainLabelText(const QString& text);

} // namespace zelvo::ui
