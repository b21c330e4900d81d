// zelvo-cli: split a file into a chip set, join a set back, or check a set before or after it travels.
#include "Commands.h"
#include "PathText.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFile>
#include <QHash>
#include <cstdio>
#include <string>

#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

using namespace zelvo::cli;

namespace {

// The arguments as the parser reads them. Qt decodes them as UTF-8; a file name that is not valid
// UTF-8 would come back from that text as other bytes, naming another file. Such a word goes to
// the parser as a stand-in that no decoded text can equal (it holds a lone surrogate) and comes
// back out as its own bytes. Windows hands over UTF-16, which converts without loss.
class Arguments
{
public:
    Arguments(int argc, char** argv)
    {
#ifdef _WIN32
        (void)argc;
        (void)argv;
        texts_ = QCoreApplication::arguments();
#else
        bool optionsEnded = false;
        for (int i = 0; i < argc; ++i) {
            const QByteArray bytes(argv[i]);
            QString text = QFile::decodeName(bytes);
            // An option is no file name (and must stay one for the parser), unless it follows "--".
            if (QFile::encodeName(text) != bytes && (optionsEnded || !bytes.startsWith('-'))) {
                text = QChar(0xDC00) + QString::number(i);
                raw_.insert(text, bytes);
            }
            optionsEnded = optionsEnded || bytes == "--";
            texts_.append(text);
        }
#endif
    }

    const QStringList& Texts() const
    {
        return texts_;
    }

    zelvo::PathString Path(const QString& argument) const
    {
#ifndef _WIN32
        if (const auto raw = raw_.constFind(argument); raw != raw_.cend())
            return raw->toStdString();
#endif
        return zelvo::ToPathString(argument);
    }

    std::string Shown(const QString& argument) const
    {
        const auto raw = raw_.constFind(argument);
        return raw != raw_.cend() ? raw->toStdString() : argument.toStdString();
    }

private:
    QStringList texts_;
    QHash<QString, QByteArray> raw_;
};

int Usage(const std::string& problem)
{
    std::fprintf(stderr, "zelvo-cli: %s\nTry 'zelvo-cli --help'.\n", problem.c_str());
    return kExitUsage;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("zelvo-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ZELVO_VERSION));
    InstallSignalHandlers();
    const Arguments arguments(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Zelvo for File: split a file into numbered chips and join them back.\n\n"
        "  zelvo-cli split SOURCE DEST_FOLDER --size SIZE [--force] [--no-checksum]\n"
        "      write chips of SIZE (whole megabytes from 1 to 4095: 700 or 700M, 1G, 4095M),\n"
        "      SOURCE.D01 onwards, the checksum file SOURCE.sha256, then the header chip SOURCE.DAV\n"
        "  zelvo-cli merge HEADER_CHIP DEST_FOLDER [--force]\n"
        "      join the set of a .DAV header chip (or of one of its chips) into DEST_FOLDER, checking\n"
        "      every chip against the set's checksum file when it has one\n"
        "  zelvo-cli info HEADER_CHIP\n"
        "      check a set before joining it: its chips' lengths and its checksum file's names\n"
        "  zelvo-cli verify HEADER_CHIP\n"
        "      read every chip of a set and say which ones match the set's checksum file\n\n"
        "The checksum file is in sha256sum's format: in the chip folder, `sha256sum -c --ignore-missing\n"
        "SOURCE.sha256` checks the chips, and after a join into that folder the joined file too.\n\n"
        "Files already there are replaced only with --force: chips or a header chip of the same name\n"
        "(split), a file of the joined file's name (merge). A merge writes NAME.zelvo-partial-XXXXXX in\n"
        "DEST_FOLDER and gives it its name only when it is whole and on the disk.\n\n"
        "Exit status: 0 finished (info: a complete set; verify: every chip matches), 1 cancelled, 2 a file\n"
        "could not be opened, 3 a read or write failed (merge: also a damaged chip) or another run holds the\n"
        "set, 4 input refused or an inconsistent set (verify: a chip that does not match, or no checksum\n"
        "file), 64 wrong usage."));
    // Not addHelpOption(): that one adds --help-all, which lists Qt's own options.
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Show this help."));
    const QCommandLineOption sizeOption(QStringList{QStringLiteral("s"), QStringLiteral("size")},
                                        QStringLiteral("Chip size in megabytes, or with M or G (split)."),
                                        QStringLiteral("SIZE"));
    const QCommandLineOption forceOption(
        QStringList{QStringLiteral("f"), QStringLiteral("force")},
        QStringLiteral("Replace chips of the same name (split) or an existing joined file (merge)."));
    const QCommandLineOption quietOption(QStringList{QStringLiteral("q"), QStringLiteral("quiet")},
                                         QStringLiteral("Print errors only (verify: only what does not match)."));
    const QCommandLineOption noChecksumOption(QStringLiteral("no-checksum"),
                                              QStringLiteral("Write no checksum file (split)."));
    parser.addOption(helpOption);
    parser.addVersionOption();
    parser.addOption(sizeOption);
    parser.addOption(forceOption);
    parser.addOption(quietOption);
    parser.addOption(noChecksumOption);
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("split, merge, info or verify."));
    parser.addPositionalArgument(QStringLiteral("arguments"), QStringLiteral("The command's files."), "[...]");

    if (!parser.parse(arguments.Texts()))
        return Usage(parser.errorText().toStdString());
    if (parser.isSet(helpOption)) {
        std::fputs(qPrintable(parser.helpText()), stdout);
        return kExitFinished;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("zelvo-cli %s\n", ZELVO_VERSION);
        return kExitFinished;
    }

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return Usage("no command given");
    const QString command = args.first();

    Options options;
    options.quiet = parser.isSet(quietOption);
    options.progress = !options.quiet && isatty(fileno(stderr));
    options.force = parser.isSet(forceOption);
    options.checksums = !parser.isSet(noChecksumOption);

    if (command == QLatin1String("split")) {
        if (args.size() != 3)
            return Usage("split takes SOURCE and DEST_FOLDER");
        return RunSplit(arguments.Path(args[1]), arguments.Path(args[2]), parser.value(sizeOption), options);
    }
    if (parser.isSet(sizeOption))
        return Usage("--size belongs to split");
    if (!options.checksums)
        return Usage("--no-checksum belongs to split");
    if (command == QLatin1String("merge")) {
        if (args.size() != 3)
            return Usage("merge takes HEADER_CHIP and DEST_FOLDER");
        return RunMerge(arguments.Path(args[1]), arguments.Path(args[2]), options);
    }
    if (options.force)
        return Usage("--force belongs to split and merge");
    if (command == QLatin1String("info")) {
        if (args.size() != 2)
            return Usage("info takes HEADER_CHIP");
        return RunInfo(arguments.Path(args[1]), options);
    }
    if (command == QLatin1String("verify")) {
        if (args.size() != 2)
            return Usage("verify takes HEADER_CHIP");
        return RunVerify(arguments.Path(args[1]), options);
    }
    return Usage("unknown command: " + arguments.Shown(command));
}
