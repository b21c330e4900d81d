// Sets at the limits: 100 chips (the last named .D100) and the largest chip size, 4,095 MB, on
// sparse sources, split, joined back and compared by checksum. The full sizes (a 6 GiB source,
// chips of 62 and 64 MB, a 4,095 MB chip) write some 20 GiB and run with ZELVO_SCALE=full
// (`make test-scale`); without it the same cases run on a source scaled down to 1 MB chips.
#include "ChipSet.h"
#include "TestFiles.h"
#include "Workers.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace zelvo;
using namespace zelvo::test;

namespace {

constexpr int64_t MiB = kMegabyte;

bool FullScale()
{
    const char* scale = std::getenv("ZELVO_SCALE");
    return scale && std::string(scale) == "full";
}

// FNV-1a over the whole content, read in 1 MiB pieces.
uint64_t Checksum(const PathString& path, int64_t* length)
{
    uint64_t hash = 1469598103934665603ull;
    std::ifstream in(path, std::ios::binary);
    std::vector<char> buffer(1 << 20);
    *length = 0;
    while (in) {
        in.read(buffer.data(), std::streamsize(buffer.size()));
        const std::streamsize got = in.gcount();
        for (std::streamsize i = 0; i < got; ++i)
            hash = (hash ^ static_cast<unsigned char>(buffer[std::size_t(i)])) * 1099511628211ull;
        *length += got;
    }
    return hash;
}

struct ScaleRow
{
    const char* name;
    int64_t fullLength; // source length at full scale
    uint32_t fullSizeMB;
    int64_t smallLength; // the same shape with 1 MB chips
    uint32_t chipCount;
};
void PrintTo(const ScaleRow& row, std::ostream* os)
{
    *os << row.name;
}

class Scale : public testing::TestWithParam<ScaleRow>
{};

TEST_P(Scale, SparseSourceSplitsAndJoinsBack)
{
    const ScaleRow& row = GetParam();
    const bool full = FullScale();
    const int64_t length = full ? row.fullLength : row.smallLength;
    const uint32_t sizeMB = full ? row.fullSizeMB : 1;
    TempDir dir;
    struct statvfs fs;
    if (::statvfs(dir.path().c_str(), &fs) != 0 || int64_t(fs.f_bavail) * int64_t(fs.f_frsize) < 2 * length + MiB)
        GTEST_SKIP() << "needs " << (2 * length) / MiB << " MiB of free disk";

    // Holes with data at the start, around every chip boundary and at the end.
    const PathString source = dir / "disk image.img";
    {
        const int fd = ::open(source.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, length), 0);
        const Bytes marker = RandomBytes(4096, 77);
        const int64_t chip = int64_t(sizeMB) * MiB;
        for (int64_t at = 0; at < length; at += chip) {
            const int64_t from = std::max<int64_t>(0, at - 2048);
            const std::size_t size = std::size_t(std::min<int64_t>(4096, length - from));
            ASSERT_EQ(::pwrite(fd, marker.data(), size, from), ssize_t(size));
        }
        ASSERT_EQ(::pwrite(fd, "end", 3, length - 3), 3);
        ::close(fd);
    }
    int64_t sourceLength = 0;
    const uint64_t sourceSum = Checksum(source, &sourceLength);
    ASSERT_EQ(sourceLength, length);

    ChipSetSizing sizing;
    ASSERT_EQ(SizeChipSet(length, sizeMB, &sizing), SizingStatus::Ok);
    ASSERT_EQ(sizing.chipCount, row.chipCount);

    const std::filesystem::path chips = dir.path() / "chips";
    std::filesystem::create_directory(chips);
    RunTally split;
    RunSplit(source, chips.native(), sizing.blocksPerChip, sizing.chipCount, split.PosterFor(WM_COMMINUTE_DONE));
    ASSERT_EQ(split.outcome, kOutcomeFinished);
    EXPECT_EQ(split.lastBlock, sizing.totalBlocks);

    const PathString base = BasePath(chips.native(), source);
    const uint32_t n = sizing.chipCount;
    EXPECT_EQ(FileCount(chips), std::size_t(n) + 1) << "N chips and the header chip, nothing else";
    EXPECT_EQ(ReadFile(HeaderChipName(base)), (Bytes{uint8_t(n), uint8_t(n >> 8), 0, 0}));
    if (n == 100) {
        EXPECT_TRUE(Exists(base + ".D100")) << "the hundredth chip keeps its three digits";
    }
    int64_t first = 0, last = 0;
    ASSERT_EQ(QueryLength(ChipName(base, 1), &first), FileError::None);
    ASSERT_EQ(QueryLength(ChipName(base, n), &last), FileError::None);
    EXPECT_EQ(first, int64_t(sizing.chipSize));
    EXPECT_EQ(last, length - int64_t(n - 1) * int64_t(sizing.chipSize));

    const PathString joined = dir / "joined.img";
    RunTally merge;
    RunMerge(BasePathOfHeader(HeaderChipName(base)), int32_t(n), joined, merge.PosterFor(WM_MERGE_DONE));
    ASSERT_EQ(merge.outcome, kOutcomeFinished);
    EXPECT_EQ(merge.lastBlock, MergeProgressRange(int32_t(n), first, last));
    std::filesystem::remove_all(chips); // give the disk back before the last read

    int64_t joinedLength = 0;
    EXPECT_EQ(Checksum(joined, &joinedLength), sourceSum);
    EXPECT_EQ(joinedLength, length);
}

constexpr int64_t GiB = int64_t(1) << 30;
INSTANTIATE_TEST_SUITE_P(Engine, Scale,
                         testing::Values(
                             // 6 GiB / 62 MB = 99.1: 100 chips, the last one 6 MB.
                             ScaleRow{"six_GiB_in_100_chips_of_62_MB", 6 * GiB, 62, 99 * MiB + 6 * 65536 + 5, 100},
                             ScaleRow{"six_GiB_in_96_chips_of_64_MB", 6 * GiB, 64, 96 * MiB, 96},
                             // The largest chip, 4,095 MB = 0xFFF00000 bytes, with a joined file above 4 GiB.
                             ScaleRow{"chips_of_4095_MB_joined_above_4_GiB", 4095 * MiB + 3 * 65536 + 17, 4095,
                                      MiB + 3 * 65536 + 17, 2}),
                         [](const testing::TestParamInfo<ScaleRow>& info) { return std::string(info.param.name); });

} // namespace
