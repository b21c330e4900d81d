// A source above 4 GiB: sizes, offsets and block counts must all be 64-bit clean. The source is
// sparse (data at a few offsets only); chips and the joined file are compared with it in full.
#include "ChipSet.h"
#include "TestFiles.h"
#include "Workers.h"

#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace zelvo;
using namespace zelvo::test;

namespace {

constexpr int64_t GiB = int64_t(1) << 30;
constexpr int64_t kLength = 4 * GiB + 2 * 65536 + 7;

struct Marker
{
    int64_t offset;
    const char* text;
};
// At the start, across the chip 1/2 boundary, inside chip 3, across 2^32, at the very end.
const Marker kMarkers[] = {{0, "first"},
                           {GiB - 3, "across-chips"},
                           {2 * GiB + 12345, "in-chip-3"},
                           {4 * GiB - 2, "across-4GiB"},
                           {kLength - 4, "end!"}};

// Compares a run of files, read one after another, with the sparse source.
::testing::AssertionResult SameBytes(const PathString& sourcePath, const std::vector<PathString>& parts)
{
    std::ifstream source(sourcePath, std::ios::binary);
    std::vector<char> a(1 << 20), b(1 << 20);
    int64_t offset = 0;
    for (const PathString& part : parts) {
        std::ifstream in(part, std::ios::binary);
        for (;;) {
            in.read(b.data(), std::streamsize(b.size()));
            const std::streamsize got = in.gcount();
            if (got == 0)
                break;
            source.read(a.data(), got);
            if (source.gcount() != got || std::memcmp(a.data(), b.data(), std::size_t(got)) != 0)
                return ::testing::AssertionFailure() << "differs near offset " << offset;
            offset += got;
        }
    }
    if (offset != kLength)
        return ::testing::AssertionFailure() << "length " << offset << " instead of " << kLength;
    return ::testing::AssertionSuccess();
}

// Gives the disk back before the join: the zeros of chips 1 to 4 become holes again (content
// unchanged, since all markers lie in the first and last 64 KiB of those chips).
void PunchZeros(const PathString& chip)
{
    const int fd = ::open(chip.c_str(), O_RDWR);
    if (fd < 0)
        return;
    ::fallocate(fd, FALLOC_FL_PUNCH_HOLE | FALLOC_FL_KEEP_SIZE, 65536, GiB - 2 * 65536);
    ::close(fd);
}

TEST(LargeSource, SparseSourceAbove4GiBSplitsAndJoins)
{
    TempDir dir;
    struct statvfs fs;
    if (::statvfs(dir.path().c_str(), &fs) != 0 || int64_t(fs.f_bavail) * int64_t(fs.f_frsize) < 10 * GiB)
        GTEST_SKIP() << "needs about 5 GiB of free disk";

    const PathString source = dir / "big image.iso";
    {
        const int fd = ::open(source.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, kLength), 0);
        for (const Marker& m : kMarkers)
            ASSERT_EQ(::pwrite(fd, m.text, std::strlen(m.text), m.offset), ssize_t(std::strlen(m.text)));
        ::close(fd);
    }
    int64_t length = 0;
    ASSERT_EQ(QueryLength(source, &length), FileError::None);
    ASSERT_EQ(length, kLength);

    ChipSetSizing sizing;
    ASSERT_EQ(SizeChipSet(length, 1024, &sizing), SizingStatus::Ok);
    EXPECT_EQ(sizing.chipCount, 5u);
    EXPECT_EQ(sizing.totalBlocks, 65539u);

    const std::filesystem::path chips = dir.path() / "chips";
    std::filesystem::create_directory(chips);
    RunTally split;
    RunSplit(source, chips.native(), sizing.blocksPerChip, sizing.chipCount, split.PosterFor(WM_COMMINUTE_DONE));
    ASSERT_EQ(split.outcome, kOutcomeFinished);
    EXPECT_EQ(split.lastBlock, sizing.totalBlocks);

    const PathString base = BasePath(chips.native(), source);
    std::vector<PathString> parts;
    for (int k = 1; k <= 5; ++k) {
        parts.push_back(ChipName(base, k));
        int64_t chipLength = 0;
        ASSERT_EQ(QueryLength(parts.back(), &chipLength), FileError::None);
        EXPECT_EQ(chipLength, k < 5 ? GiB : kLength - 4 * GiB) << "chip " << k;
    }
    EXPECT_EQ(ReadFile(HeaderChipName(base)), (Bytes{5, 0, 0, 0}));
    EXPECT_TRUE(SameBytes(source, parts));

    for (int k = 1; k <= 4; ++k)
        PunchZeros(parts[std::size_t(k - 1)]);

    int64_t first = 0, last = 0;
    ASSERT_EQ(QueryLength(parts.front(), &first), FileError::None);
    ASSERT_EQ(QueryLength(parts.back(), &last), FileError::None);
    const PathString dest = dir / "big image joined.iso";
    RunTally merge;
    RunMerge(base, 5, dest, merge.PosterFor(WM_MERGE_DONE));
    ASSERT_EQ(merge.outcome, kOutcomeFinished);
    EXPECT_EQ(merge.lastBlock, MergeProgressRange(5, first, last));
    EXPECT_EQ(merge.lastBlock, sizing.totalBlocks);
    EXPECT_TRUE(SameBytes(source, {dest}));
}

} // namespace
