#include "FileArgument.h"

namespace zelvo::app {

FileRequest ClassifyFile(const QString& path, const std::function<bool(const QString&)>& exists)
{
    using Dialog = FileRequest::Dialog;
    // The Merge dialog finds the set's count in the chosen name less its last two characters plus
    // "AV": the header chip itself, the header chip of a chip ".D01" to ".D99", and for "x.dav"
    // the name "x.dAV", which only a file system that ignores letter case has. Chip 100 has three
    // digits and no such header name, so it stays an ordinary file.
    const auto digit = [](QChar c) { return c >= u'0' && c <= u'9'; };
    const qsizetype n = path.size();
    const bool headerName = path.endsWith(QStringLiteral(".DAV"), Qt::CaseInsensitive);
    const bool chipName = n > 4 && path.at(n - 4) == u'.' && path.at(n - 3).toUpper() == u'D' &&
                          digit(path.at(n - 2)) && digit(path.at(n - 1)) &&
                          !(path.at(n - 2) == u'0' && path.at(n - 1) == u'0');
    if (headerName || chipName) {
        const QString header = path.left(n - 2) + QStringLiteral("AV");
        if (exists(header))
            return {Dialog::Merge, headerName ? path : header};
    }
    return {Dialog::Comminute, path};
}

} // namespace zelvo::app
