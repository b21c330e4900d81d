// zelvo-cli: split a file into a chip set, join a set back, or check a set before or after it travels.
#include "Checksums.h"
#include "Commands.h"

#include <cstdio>
#include <string>
#include <vector>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

using namespace zelvo::cli;

namespace {

const char kHelp[] =
    "Usage: zelvo-cli [options] command arguments...\n"
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
    "file), 64 wrong usage.\n\n"
    "Options:\n"
    "  -h, --help         Show this help.\n"
    "  -v, --version      Displays version information.\n"
    "  -s, --size <SIZE>  Chip size in megabytes, or with M or G (split).\n"
    "  -f, --force        Replace chips of the same name (split) or an existing joined file (merge).\n"
    "  -q, --quiet        Print errors only (verify: only what does not match).\n"
    "  --no-checksum      Write no checksum file (split).\n\n"
    "Arguments:\n"
    "  command            split, merge, info or verify.\n"
    "  arguments          The command's files.\n";

// What the words of the command line ask for. File names stay as the system handed them over
// (bytes on POSIX, UTF-16 on Windows) and reach the engine unchanged; only the options and the
// command, which are ASCII, are compared as text.
struct CommandLine
{
    std::vector<zelvo::PathString> positional;
    std::string size;
    bool sizeSet = false;
    bool help = false;
    bool version = false;
    bool force = false;
    bool quiet = false;
    bool noChecksum = false;
    std::string error;
};

std::string Text(const zelvo::PathString& word)
{
    return zelvo::Utf8Of(word);
}

CommandLine Parse(const std::vector<zelvo::PathString>& words)
{
    CommandLine line;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size() && line.error.empty(); ++i) {
        const std::string word = Text(words[i]);
        if (optionsEnded || word.size() < 2 || word[0] != '-') {
            line.positional.push_back(words[i]);
            continue;
        }
        if (word == "--") {
            optionsEnded = true;
            continue;
        }
        // The size's value: "--size X", "--size=X", "-s X" or "-sX".
        auto takeSize = [&](std::string inlineValue, bool hasInline, const std::string& name) {
            if (hasInline) {
                line.size = std::move(inlineValue);
            } else if (i + 1 < words.size()) {
                line.size = Text(words[++i]);
            } else {
                line.error = "Missing value after '" + name + "'.";
                return;
            }
            line.sizeSet = true;
        };
        if (word.starts_with("--")) {
            const std::size_t equals = word.find('=');
            const std::string name = word.substr(2, equals == std::string::npos ? std::string::npos : equals - 2);
            const bool hasValue = equals != std::string::npos;
            if (name == "size") {
                takeSize(hasValue ? word.substr(equals + 1) : std::string(), hasValue, "--size");
                continue;
            }
            bool* flag = name == "help"          ? &line.help
                         : name == "version"     ? &line.version
                         : name == "force"       ? &line.force
                         : name == "quiet"       ? &line.quiet
                         : name == "no-checksum" ? &line.noChecksum
                                                 : nullptr;
            if (!flag)
                line.error = "Unknown option '" + name + "'.";
            else if (hasValue)
                line.error = "Unexpected value after '--" + name + "'.";
            else
                *flag = true;
            continue;
        }
        // Short options may be run together: "-fq".
        for (std::size_t c = 1; c < word.size() && line.error.empty(); ++c) {
            switch (word[c]) {
            case 's':
                takeSize(word.substr(c + 1), c + 1 < word.size(), "-s");
                c = word.size();
                break;
            case 'h':
                line.help = true;
                break;
            case 'v':
                line.version = true;
                break;
            case 'f':
                line.force = true;
                break;
            case 'q':
                line.quiet = true;
                break;
            default:
                line.error = "Unknown option '" + std::string(1, word[c]) + "'.";
            }
        }
    }
    return line;
}

int Usage(const std::string& problem)
{
    std::fprintf(stderr, "zelvo-cli: %s\nTry 'zelvo-cli --help'.\n", problem.c_str());
    return kExitUsage;
}

int Run(const std::vector<zelvo::PathString>& words)
{
    InstallSignalHandlers();
    const CommandLine line = Parse(words);
    if (!line.error.empty())
        return Usage(line.error);
    if (line.help) {
        std::fputs(kHelp, stdout);
        return kExitFinished;
    }
    if (line.version) {
        std::printf("zelvo-cli %s\n", ZELVO_VERSION);
        return kExitFinished;
    }

    const auto& args = line.positional;
    if (args.empty())
        return Usage("no command given");
    const std::string command = Text(args.front());

    Options options;
    options.quiet = line.quiet;
    options.progress = !options.quiet && isatty(fileno(stderr));
    options.force = line.force;
    options.checksums = !line.noChecksum;

    if (command == "split") {
        if (args.size() != 3)
            return Usage("split takes SOURCE and DEST_FOLDER");
        return RunSplit(args[1], args[2], line.size, options);
    }
    if (line.sizeSet)
        return Usage("--size belongs to split");
    if (!options.checksums)
        return Usage("--no-checksum belongs to split");
    if (command == "merge") {
        if (args.size() != 3)
            return Usage("merge takes HEADER_CHIP and DEST_FOLDER");
        return RunMerge(args[1], args[2], options);
    }
    if (options.force)
        return Usage("--force belongs to split and merge");
    if (command == "info") {
        if (args.size() != 2)
            return Usage("info takes HEADER_CHIP");
        return RunInfo(args[1], options);
    }
    if (command == "verify") {
        if (args.size() != 2)
            return Usage("verify takes HEADER_CHIP");
        return RunVerify(args[1], options);
    }
    return Usage("unknown command: " + command);
}

} // namespace

#ifdef _WIN32
// UTF-16 arguments, so that every file name arrives whatever the console's code page; the
// messages go out as UTF-8.
int wmain(int argc, wchar_t* argv[])
{
    SetConsoleOutputCP(CP_UTF8);
    return Run(std::vector<zelvo::PathString>(argv + 1, argv + argc));
}
#else
int main(int argc, char* argv[])
{
    return Run(std::vector<zelvo::PathString>(argv + 1, argv + argc));
}
#endif
