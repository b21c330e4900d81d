// What several test programs share, without Qt: files and sets written as a split writes them, one
// recorder of what a run posts; on POSIX also private folders, a limit on file sizes (the widget
// tests take that one too) and a second user.
#pragma once

#include "ChipSet.h"
#include "Workers.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#ifndef _WIN32
#include <pwd.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace zelvo::test {

using Bytes = std::vector<unsigned char>;
inline constexpr std::size_t MB = kMegabyte;

inline Bytes RandomBytes(std::size_t size, uint32_t seed)
{
    Bytes bytes(size);
    std::generate(bytes.begin(), bytes.end(), std::mt19937(seed));
    return bytes;
}

inline void WriteFile(const std::filesystem::path& path, const Bytes& bytes)
{
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::ssize(bytes));
}

inline Bytes ReadFile(const std::filesystem::path& path)
{
    return Bytes(std::istreambuf_iterator<char>(std::ifstream(path, std::ios::binary).rdbuf()), {});
}

inline std::size_t FileCount(const std::filesystem::path& folder)
{
    return std::size_t(std::distance(std::filesystem::directory_iterator(folder), {}));
}

// Chips of chipSize bytes cut from data, and the header chip: a set as a split leaves it.
inline void MakeSet(const PathString& base, const Bytes& data, std::size_t chipSize)
{
    unsigned char count = 0;
    for (std::size_t at = 0; at < data.size(); at += chipSize)
        WriteFile(ChipName(base, ++count),
                  Bytes(data.begin() + at, data.begin() + std::min(at + chipSize, data.size())));
    WriteFile(HeaderChipName(base), {count, 0, 0, 0});
}

// What a run posts. outcome() is the done notification's value, or 999 unless exactly one came,
// last, after progress counts that each went one block further. onProgress runs inside the poster,
// on the worker's thread, so that a test can act at an exact block.
struct Recorder
{
    uint64_t blocks = 0, done = 999;
    bool steady = true;
    std::function<void(uint64_t block)> onProgress;

    Poster poster()
    {
        return [this](uint32_t message, uint64_t wParam) {
            const bool last = message == WM_COMMINUTE_DONE || message == WM_MERGE_DONE;
            steady = steady && done == 999 && (last || wParam == blocks + 1);
            (last ? done : blocks) = wParam;
            if (!last && onProgress)
                onProgress(wParam);
        };
    }
    uint64_t outcome() const { return steady ? done : 999; }
};

#ifndef _WIN32
// A new private folder. All of a program's folders lie in one root that goes when the program
// ends; it is also the program's TMPDIR, and no runtime folder is set, so that the locks the engine
// takes on sets go there too.
inline std::filesystem::path NewFolder()
{
    struct Root
    {
        std::filesystem::path path =
            std::filesystem::temp_directory_path() / ("zelvo-test-" + std::to_string(std::random_device()()));
        std::error_code ignored;
        ~Root() { std::filesystem::remove_all(path, ignored); }
    };
    static Root root;
    static int count = 0;
    ::setenv("TMPDIR", root.path.c_str(), 1);
    ::unsetenv("XDG_RUNTIME_DIR");
    std::filesystem::create_directories(root.path / std::to_string(++count));
    return root.path / std::to_string(count);
}

// Files may not grow past `limit` bytes while this lives; SIGXFSZ is ignored so that a write fails
// with EFBIG (a file too large for its file system) instead of ending the process.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit) : handler_(std::signal(SIGXFSZ, SIG_IGN))
    {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        const rlimit next{limit, previous_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &next);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, handler_);
    }

private:
    rlimit previous_{};
    void (*handler_)(int);
};

// A second local user, made when there is none (root only); 0 when the test cannot have one.
inline uid_t OtherUser()
{
    if (::geteuid() != 0)
        return 0;
    if (!::getpwnam("zelvo-other") && std::system("useradd --system --no-create-home zelvo-other") != 0)
        return 0;
    const passwd* user = ::getpwnam("zelvo-other");
    return user ? user->pw_uid : 0;
}
#endif

} // namespace zelvo::test
