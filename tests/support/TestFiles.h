// Scratch files for the engine tests: a private folder per test, removed with everything in it.
#pragma once

#include "FileIO.h"
#include "Workers.h"

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>
#ifndef _WIN32
#include <sys/resource.h>
#endif

namespace zelvo::test {

using Bytes = std::vector<unsigned char>;

class TempDir
{
public:
    TempDir()
    {
        const char* base = std::getenv("TMPDIR");
        std::string pattern = std::string(base && *base ? base : "/tmp") + "/zelvo-engine-XXXXXX";
        path_ = ::mkdtemp(pattern.data());
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::filesystem::path& path() const { return path_; }
    PathString operator/(const std::string& name) const { return (path_ / name).native(); }

private:
    std::filesystem::path path_;
};

inline Bytes RandomBytes(std::size_t size, uint32_t seed)
{
    std::mt19937_64 gen(seed);
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; i += 8) {
        const uint64_t word = gen();
        for (std::size_t j = 0; j < 8 && i + j < size; ++j)
            bytes[i + j] = static_cast<unsigned char>(word >> (8 * j));
    }
    return bytes;
}

inline void WriteFile(const PathString& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadFile(const PathString& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline bool Exists(const PathString& path)
{
    return std::filesystem::exists(std::filesystem::path(path));
}

inline std::size_t FileCount(const std::filesystem::path& folder)
{
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()));
}

// Bytes [from, to) of bytes; a `to` past the end stops at the end.
inline Bytes Slice(const Bytes& bytes, std::size_t from, std::size_t to)
{
    to = std::min(to, bytes.size());
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.begin() + static_cast<std::ptrdiff_t>(to));
}

// Fill a job record and run its worker on this thread, as the command line does, with no plan
// behind it (the worker's own checks only) and leave to replace what is there.
inline uint32_t RunSplit(const PathString& source, const PathString& folder, uint32_t blocksPerChip, uint32_t chipCount,
                         const Poster& post)
{
    ComminuteJob.sourcePath = source;
    ComminuteJob.destFolder = folder;
    ComminuteJob.blocksPerChip = blocksPerChip;
    ComminuteJob.chipCount = chipCount;
    ComminuteJob.sourceLength = -1;
    ComminuteJob.replaceExisting = true;
    ComminuteJob.writeChecksums = false;
    return ComminuteWorker(post);
}

inline uint32_t RunMerge(const PathString& chipBase, int32_t chipTotal, const PathString& dest, const Poster& post)
{
    MergeJob.destPath = dest;
    MergeJob.chipBasePath = chipBase;
    MergeJob.chipTotal = chipTotal;
    MergeJob.chipLengths.clear();
    MergeJob.replaceExisting = true;
    MergeJob.chipDigests.clear();
    return MergeWorker(post);
}

// The last progress count and the outcome of one run.
struct RunTally
{
    uint64_t lastBlock = 0;
    uint64_t outcome = 99;
    Poster PosterFor(uint32_t doneMessage)
    {
        return [this, doneMessage](uint32_t message, uint64_t wParam) {
            (message == doneMessage ? outcome : lastBlock) = wParam;
        };
    }
};

#ifndef _WIN32
// Files may not grow past `limit` bytes while this lives; SIGXFSZ is ignored so that a write fails
// with EFBIG (reported as a full disk) instead of ending the process.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t limit)
    {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        rlimit next = previous_;
        next.rlim_cur = limit;
        ::setrlimit(RLIMIT_FSIZE, &next);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};
#endif

} // namespace zelvo::test
