// Sparse sources at the limits, split and joined back and compared in full: one above 4 GiB, which
// every test run takes, and the full-size sets (100 chips, the largest chip of 4,095 MB), which
// write some 20 GiB and run only with ZELVO_SCALE=full (`make test-scale`).
#include "Plan.h"
#include "TestFiles.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sys/statvfs.h>

using namespace zelvo;
using namespace zelvo::test;

namespace {

constexpr int64_t MiB = kMegabyte, GiB = 1024 * MiB;

// name, source length, chip size in MB, chips, full scale only
using Row = std::tuple<std::string, int64_t, int64_t, uint32_t, bool>;

using SparseSource = testing::TestWithParam<Row>;

TEST_P(SparseSource, SplitsAndJoinsBack)
{
    const auto& [name, length, sizeMB, chips, fullScaleOnly] = GetParam();
    const char* scale = std::getenv("ZELVO_SCALE");
    if (fullScaleOnly && !(scale && std::string(scale) == "full"))
        GTEST_SKIP() << "runs with ZELVO_SCALE=full";
    const std::filesystem::path dir = NewFolder(), set = NewFolder(), joined = NewFolder();
    struct statvfs fs;
    if (::statvfs(dir.c_str(), &fs) != 0 || int64_t(fs.f_bavail) * int64_t(fs.f_frsize) < 2 * length + GiB)
        GTEST_SKIP() << "needs " << 2 * length / GiB + 1 << " GiB of free disk";

    // Holes, with data across every chip boundary (one of them 2^32 for chips of 1 GiB) and at the end.
    const PathString source = (dir / "disk image.img").native();
    WriteFile(source, {});
    std::filesystem::resize_file(source, uint64_t(length));
    {
        const Bytes marker = RandomBytes(4096, 77);
        std::fstream file(source, std::ios::in | std::ios::out | std::ios::binary);
        for (int64_t at = 0; at < length; at += sizeMB * MiB)
            file.seekp(std::max<int64_t>(0, at - 2048)).write(reinterpret_cast<const char*>(marker.data()), 4096);
        file.seekp(length - 3).write("end", 3);
    }
    const SplitPlan plan = PlanSplit(source, sizeMB, set.native());
    ASSERT_EQ(std::make_tuple(plan.refusal.what, plan.sizing.chipCount), std::make_tuple(Refusal::None, chips));
    LoadComminuteJob(plan, false, false);
    Recorder split, merge;
    ComminuteWorker(split.poster());
    EXPECT_EQ(std::make_pair(split.outcome(), split.blocks),
              std::make_pair(kOutcomeFinished, uint64_t(plan.sizing.totalBlocks)));

    const MergePlan join = PlanMerge(HeaderChipName(plan.base), joined.native());
    ASSERT_EQ(std::make_pair(join.refusal.what, join.chipLengths.front()), std::make_pair(Refusal::None, sizeMB * MiB));
    LoadMergeJob(join, false);
    MergeWorker(merge.poster());
    EXPECT_EQ(std::make_pair(merge.outcome(), merge.blocks),
              std::make_pair(kOutcomeFinished, uint64_t(plan.sizing.totalBlocks)));
    std::filesystem::remove_all(set); // the disk back before the comparison
    EXPECT_EQ(std::system(("cmp -s '" + source + "' '" + join.destPath + "'").c_str()), 0) << "the join differs";
}

const auto kName = [](const testing::TestParamInfo<Row>& info) { return std::get<0>(info.param); };
INSTANTIATE_TEST_SUITE_P(Large, SparseSource,
                         testing::Values(Row{"above_4_GiB_in_5_chips_of_1_GiB", 4 * GiB + 2 * 65536 + 7, 1024, 5,
                                             false}),
                         kName);
INSTANTIATE_TEST_SUITE_P(Scale, SparseSource,
                         testing::Values(Row{"six_GiB_in_100_chips_of_62_MB", 6 * GiB, 62, 100, true},
                                         Row{"six_GiB_in_96_chips_of_64_MB", 6 * GiB, 64, 96, true},
                                         Row{"chips_of_4095_MB_joined_above_4_GiB", 4095 * MiB + 3 * 65536 + 17, 4095,
                                             2, true}),
                         kName);

} // namespace
