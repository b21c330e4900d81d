// Which dialog a file handed to the program opens: from the command line, from a second start, or
// dropped on the main window.
#pragma once

#include <QString>
#include <functional>

namespace zelvo::app {

struct FileRequest
{
    enum class Dialog { Comminute, Merge };
    Dialog dialog;
    // The Comminute dialog's source, or the Merge dialog's header chip.
    QString path;
};

// A header chip opens the Merge dialog; so does a chip ".D01" to ".D99" whose header chip exists,
// which is then the one chosen. Anything else, a header name whose count file is not there
// included, is a source to split.
FileRequest ClassifyFile(const QString& path, const std::function<bool(const QString&)>& exists);

} // namespace zelvo::app
