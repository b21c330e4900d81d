// zelvo-cli: split a file into a chip set, join a set back, or check a set before joining it.
#include "Commands.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

using namespace zelvo::cli;

namespace {

int Usage(const QCommandLineParser& parser, const QString& problem)
{
    if (!problem.isEmpty())
        std::fprintf(stderr, "zelvo-cli: %s\n\n", qPrintable(problem));
    std::fputs(qPrintable(parser.helpText()), stderr);
    return kExitUsage;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zelvo-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZELVO_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Zelvo for File: split a file into numbered chips and join them back.\n\n"
                       "  zelvo-cli split SOURCE DEST_FOLDER --size MB   write chips of MB megabytes (1 to 4095)\n"
                       "  zelvo-cli merge HEADER_CHIP DEST_FOLDER        join the set of a .DAV header chip\n"
                       "  zelvo-cli info HEADER_CHIP                     check a set before joining it\n\n"
                       "Exit status: 0 finished (info: a complete set), 1 cancelled, 2 a file could not be opened,\n"
                       "3 a read or write failed, 4 input refused or an inconsistent set, 64 wrong usage."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption sizeOption(QStringList{QStringLiteral("s"), QStringLiteral("size")},
                                        QStringLiteral("Chip size in megabytes (split)."), QStringLiteral("MB"));
    const QCommandLineOption quietOption(QStringList{QStringLiteral("q"), QStringLiteral("quiet")},
                                         QStringLiteral("Print errors only."));
    parser.addOption(sizeOption);
    parser.addOption(quietOption);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("split, merge or info."));
    parser.addPositionalArgument(QStringLiteral("arguments"), QStringLiteral("The command's files."), "[...]");

    if (!parser.parse(QCoreApplication::arguments()))
        return Usage(parser, parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return kExitFinished;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("zelvo-cli %s\n", ZELVO_VERSION);
        return kExitFinished;
    }

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return Usage(parser, QStringLiteral("no command given"));
    const QString command = args.first();

    Options options;
    options.quiet = parser.isSet(quietOption);
    options.progress = !options.quiet && isatty(fileno(stderr));
    InstallCancelHandlers();

    if (command == QLatin1String("split")) {
        if (args.size() != 3)
            return Usage(parser, QStringLiteral("split takes SOURCE and DEST_FOLDER"));
        return RunSplit(args[1], args[2], parser.value(sizeOption), options);
    }
    if (parser.isSet(sizeOption))
        return Usage(parser, QStringLiteral("--size belongs to split"));
    if (command == QLatin1String("merge")) {
        if (args.size() != 3)
            return Usage(parser, QStringLiteral("merge takes HEADER_CHIP and DEST_FOLDER"));
        return RunMerge(args[1], args[2], options);
    }
    if (command == QLatin1String("info")) {
        if (args.size() != 2)
            return Usage(parser, QStringLiteral("info takes HEADER_CHIP"));
        return RunInfo(args[1], options);
    }
    return Usage(parser, QStringLiteral("unknown command: ") + command);
}
