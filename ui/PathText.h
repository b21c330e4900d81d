// A path between Qt's text and the engine's native path text, for the Qt users of the engine. Every
// path is held whole, whatever its length; on POSIX a name that is not valid in the locale's
// encoding keeps its bytes through QFile's name codec.
#pragma once

#include "FileIO.h"

#include <QByteArray>
#include <QFile>
#include <QString>

namespace zelvo {

inline PathString ToPathString(const QString& path)
{
#ifdef _WIN32
    return path.toStdWString();
#else
    return QFile::encodeName(path).toStdString();
#endif
}

inline QString FromPathString(const PathString& path)
{
#ifdef _WIN32
    return QString::fromStdWString(path);
#else
    return QFile::decodeName(QByteArray::fromStdString(path));
#endif
}

} // namespace zelvo
