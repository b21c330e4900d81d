#include "ChipSet.h"

#include <gtest/gtest.h>

using namespace zelvo;

namespace {

constexpr int64_t MB = kMegabyte;

struct SizingRow
{
    const char* name;
    int64_t length;
    int64_t sizeEntry;
    SizingStatus status;
    uint32_t chipCount;
    uint32_t totalBlocks;
};
void PrintTo(const SizingRow& row, std::ostream* os)
{
    *os << row.name;
}

class Sizing : public testing::TestWithParam<SizingRow>
{};

TEST_P(Sizing, CountsChipsAndBlocks)
{
    const SizingRow& row = GetParam();
    ChipSetSizing sizing;
    ASSERT_EQ(SizeChipSet(row.length, row.sizeEntry, &sizing), row.status);
    if (row.status != SizingStatus::Ok)
        return;
    EXPECT_EQ(sizing.chipSize, uint64_t(row.sizeEntry) * MB);
    EXPECT_EQ(sizing.blocksPerChip, uint64_t(row.sizeEntry) * 16);
    EXPECT_EQ(sizing.chipCount, row.chipCount);
    EXPECT_EQ(sizing.totalBlocks, row.totalBlocks);
}

INSTANTIATE_TEST_SUITE_P(
    ChipSet, Sizing,
    testing::Values(SizingRow{"empty_source_makes_no_set", 0, 1, SizingStatus::SourceTooSmall, 0, 0},
                    SizingRow{"one_byte_short_of_a_chip", 3 * MB - 1, 3, SizingStatus::SourceTooSmall, 0, 0},
                    SizingRow{"exactly_one_chip_is_not_cut", 3 * MB, 3, SizingStatus::SourceTooSmall, 0, 0},
                    SizingRow{"one_byte_over_one_chip", 3 * MB + 1, 3, SizingStatus::Ok, 2, 49},
                    SizingRow{"exactly_100_chips", 100 * 3 * MB, 3, SizingStatus::Ok, 100, 4800},
                    SizingRow{"one_byte_over_100_chips", 100 * 3 * MB + 1, 3, SizingStatus::TooManyChips, 0, 0},
                    SizingRow{"size_0_refused", 10 * MB, 0, SizingStatus::InvalidSize, 0, 0},
                    SizingRow{"negative_size_refused", 10 * MB, -1, SizingStatus::InvalidSize, 0, 0},
                    SizingRow{"size_4096_does_not_fit_32_bits", 8191 * MB, 4096, SizingStatus::InvalidSize, 0, 0},
                    SizingRow{"size_4095_largest_chip", 4095 * MB * 2, 4095, SizingStatus::Ok, 2, 131040},
                    SizingRow{"source_above_4_GiB_with_short_last_block", 5 * 1024 * MB + 1, 1024, SizingStatus::Ok, 6,
                              81921},
                    SizingRow{"source_of_400_GiB_in_100_chips", 100 * 4095 * MB, 4095, SizingStatus::Ok, 100, 6552000}),
    [](const testing::TestParamInfo<SizingRow>& info) { return std::string(info.param.name); });

struct NameRow
{
    const char* name;
    PathString actual;
    PathString expected;
};
void PrintTo(const NameRow& row, std::ostream* os)
{
    *os << row.name;
}

class Naming : public testing::TestWithParam<NameRow>
{};

TEST_P(Naming, BuildsTheNameOfTheSet)
{
    EXPECT_EQ(GetParam().actual, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    ChipSet, Naming,
    testing::Values(
        NameRow{"chip_1_is_D01", ChipName("/p/r.doc", 1), "/p/r.doc.D01"},
        NameRow{"chip_99_is_D99", ChipName("/p/r.doc", 99), "/p/r.doc.D99"},
        NameRow{"chip_100_has_three_digits", ChipName("/p/r.doc", 100), "/p/r.doc.D100"},
        NameRow{"negative_count_is_D_minus_1", ChipName("/p/r.doc", -1), "/p/r.doc.D-1"},
        NameRow{"header_is_DAV", HeaderChipName("/p/r.doc"), "/p/r.doc.DAV"},
        NameRow{"folder_without_separator", BasePath("/parts", "/work/report.doc"), "/parts/report.doc"},
        NameRow{"folder_with_trailing_separator", BasePath("/parts/", "/work/report.doc"), "/parts/report.doc"},
        NameRow{"root_folder_gets_no_second_separator", BasePath("/", "/work/report.doc"), "/report.doc"},
        NameRow{"several_dots_kept", ChipName(BasePath("/o", "/w/archive.tar.gz"), 1), "/o/archive.tar.gz.D01"},
        NameRow{"spaces_kept", BasePath("/my parts", "/w/my big file.iso"), "/my parts/my big file.iso"},
        NameRow{"cjk_kept", HeaderChipName(BasePath("/分割", "/w/報告 データ.doc")), "/分割/報告 データ.doc.DAV"},
        NameRow{"colon_is_an_ordinary_character", FileNameOf("/w/a:b.txt"), "a:b.txt"},
        NameRow{"name_without_folder", FileNameOf("plain.bin"), "plain.bin"},
        NameRow{"count_file_of_header_is_itself", CountFilePath("/p/r.doc.DAV"), "/p/r.doc.DAV"},
        NameRow{"count_file_of_chip_07_is_header", CountFilePath("/p/r.doc.D07"), "/p/r.doc.DAV"},
        NameRow{"count_file_of_chip_100_is_not_header", CountFilePath("/p/r.doc.D100"), "/p/r.doc.D1AV"},
        NameRow{"count_file_keeps_lower_case_rest", CountFilePath("/p/r.doc.dav"), "/p/r.doc.dAV"},
        NameRow{"source_name_of_header", SourceNameOfHeader("/p/archive.tar.gz.DAV"), "archive.tar.gz"},
        NameRow{"source_name_of_four_character_name_is_empty", SourceNameOfHeader("/p/.DAV"), ""},
        NameRow{"source_name_ignores_folder_dots", SourceNameOfHeader("/p.q/x.DAV"), "x"},
        NameRow{"base_path_of_header", BasePathOfHeader("/p/報告 v2.doc.DAV"), "/p/報告 v2.doc"},
        NameRow{"merge_dest_without_separator", MergeDestPath("/out", "r.doc"), "/out/r.doc"},
        NameRow{"merge_dest_with_separator", MergeDestPath("/out/", "r.doc"), "/out/r.doc"}),
    [](const testing::TestParamInfo<NameRow>& info) { return std::string(info.param.name); });

TEST(ChipSet, MergeProgressRangeCountsBlocksOfFirstAndLastChip)
{
    EXPECT_EQ(MergeProgressRange(3, 1048576, 1048576), 48u);
    EXPECT_EQ(MergeProgressRange(3, 1048576, 1000), 33u) << "short last chip counts one block";
    EXPECT_EQ(MergeProgressRange(2, 65536, 65537), 3u);
    EXPECT_EQ(MergeProgressRange(100, 4095 * MB, 4095 * MB), 6552000u);
    // A count of -1 (header bytes FF FF FF FF) wraps in 32 bits instead of overflowing.
    EXPECT_EQ(MergeProgressRange(-1, 65536, 65536), 0xFFFFFFFFu);
}

TEST(ChipSet, HeaderIsFourBytesLittleEndian)
{
    using Header = std::array<unsigned char, kHeaderLength>;
    EXPECT_EQ(EncodeHeader(12), (Header{0x0C, 0, 0, 0}));
    EXPECT_EQ(EncodeHeader(100), (Header{0x64, 0, 0, 0}));
    EXPECT_EQ(EncodeHeader(0x01020304), (Header{4, 3, 2, 1}));
    EXPECT_EQ(DecodeHeader(Header{0x0C, 0, 0, 0}), 12);
    EXPECT_EQ(DecodeHeader(Header{0xFF, 0xFF, 0xFF, 0xFF}), -1);
    EXPECT_EQ(DecodeHeader(Header{0, 1, 0, 0}), 256);
}

} // namespace
