// The Win32 file layer on the Win32 API itself: share mode 0 refuses and is refused by any other
// handle, the create truncates only a file it holds, writes refuse what is not a plain file of
// their own, lengths pass 4 GiB, and UTF-16 paths with CJK characters work end to end through both
// workers, checksums included (BCrypt's SHA-256, UTF-8 names in the sidecar).
#include "Checksums.h"
#include "ChipSet.h"
#include "FileIO.h"
#include "Plan.h"
#include "Workers.h"

#include <gtest/gtest.h>

#define WIN32_LEAN_AND_MEAN
#ifndef NOMINMAX // MinGW's C++ library defines it already
#define NOMINMAX
#endif
#include <algorithm>
#include <cwctype>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>
#include <windows.h>
#include <winioctl.h>

using namespace zelvo;

namespace {

using Bytes = std::vector<unsigned char>;

class Win32Files : public testing::Test
{
protected:
    void SetUp() override
    {
        folder = std::filesystem::temp_directory_path() /
                 (L"zelvo 分割 テスト " + std::to_wstring(::GetCurrentProcessId()) + L" " + std::to_wstring(counter++));
        std::filesystem::create_directories(folder);
    }
    void TearDown() override
    {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        // The records are global: what a plan loaded into them must not reach the next test.
        ComminuteJob.runState = kRunIdle;
        ComminuteJob.sourceLength = -1;
        ComminuteJob.replaceExisting = ComminuteJob.writeChecksums = false;
        MergeJob.runState = kRunIdle;
        MergeJob.chipLengths.clear();
        MergeJob.chipDigests.clear();
        MergeJob.replaceExisting = false;
    }
    PathString At(const std::wstring& name) const { return (folder / name).native(); }

    static void Put(const PathString& path, const Bytes& bytes)
    {
        FileError error = FileError::None;
        File file = File::CreateTruncate(path, &error);
        ASSERT_TRUE(file.IsOpen()) << int(error);
        ASSERT_TRUE(file.Write(bytes.data(), bytes.size(), &error));
        ASSERT_EQ(file.Close(), FileError::None);
    }
    static Bytes Get(const PathString& path)
    {
        FileError error = FileError::None;
        File file = File::OpenRead(path, &error);
        if (!file.IsOpen())
            return {};
        Bytes bytes(std::size_t(file.Length(&error)));
        EXPECT_EQ(file.Read(bytes.data(), bytes.size(), &error), int64_t(bytes.size()));
        return bytes;
    }
    // Another handle, opened the way a cooperative program would: sharing everything.
    static HANDLE OpenShared(const PathString& path, DWORD access)
    {
        return ::CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    }

    std::filesystem::path folder;
    static inline int counter = 0;
};

// The tables below judge an open by its error alone.
FileError lastError = FileError::None;
FileError Opened(const File& file)
{
    return file.IsOpen() ? FileError::None : lastError;
}

Bytes Pattern(std::size_t size)
{
    Bytes bytes(size);
    uint32_t x = 2463534242u;
    for (auto& b : bytes) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        b = static_cast<unsigned char>(x);
    }
    return bytes;
}

TEST_F(Win32Files, ShareNothingOpensRefuseAndAreRefusedByAnyOtherHandle)
{
    const PathString path = At(L"held 保留.bin");
    Put(path, Bytes(1000, 7));
    FileError error = FileError::None;

    for (const DWORD access : {DWORD(GENERIC_READ), DWORD(GENERIC_READ | GENERIC_WRITE)}) {
        SCOPED_TRACE(access == GENERIC_READ ? "reader holds it" : "writer holds it");
        const HANDLE other = OpenShared(path, access);
        ASSERT_NE(other, INVALID_HANDLE_VALUE);
        EXPECT_FALSE(File::OpenRead(path, &error).IsOpen());
        EXPECT_EQ(error, FileError::Sharing);
        EXPECT_FALSE(File::CreateTruncate(path, &error).IsOpen());
        EXPECT_EQ(error, FileError::Sharing);
        int64_t length = 0;
        EXPECT_EQ(QueryLength(path, &length), FileError::Sharing);
        ::CloseHandle(other);
        EXPECT_EQ(Get(path).size(), 1000u) << "a held file is never cut";
    }

    File mine = File::OpenRead(path, &error);
    ASSERT_TRUE(mine.IsOpen());
    EXPECT_EQ(OpenShared(path, GENERIC_READ), INVALID_HANDLE_VALUE);
    EXPECT_EQ(::GetLastError(), DWORD(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(File::OpenRead(path, &error).IsOpen());
    EXPECT_EQ(error, FileError::Sharing);
    EXPECT_FALSE(::DeleteFileW(path.c_str())) << "share mode 0 also keeps the file from being removed";
    mine.Close();
    EXPECT_TRUE(::DeleteFileW(path.c_str()));
}

TEST_F(Win32Files, CreateOrTruncateAndOpenFailures)
{
    const PathString path = At(L"data.bin");
    FileError error = FileError::None;
    {
        File created = File::CreateTruncate(path, &error);
        ASSERT_TRUE(created.IsOpen()) << "created new";
        EXPECT_EQ(created.Length(&error), 0);
    }
    Put(path, Pattern(70000));
    {
        File truncated = File::CreateTruncate(path, &error);
        ASSERT_TRUE(truncated.IsOpen());
        EXPECT_EQ(truncated.Length(&error), 0) << "an existing file is truncated";
        const Bytes small = Pattern(10);
        ASSERT_TRUE(truncated.Write(small.data(), small.size(), &error));
    }
    EXPECT_EQ(Get(path), Pattern(10));

    EXPECT_FALSE(File::OpenRead(At(L"missing.bin"), &error).IsOpen());
    EXPECT_EQ(error, FileError::NotFound);
    EXPECT_FALSE(File::OpenRead(folder.native(), &error).IsOpen()) << "a folder is not a source";
    EXPECT_EQ(error, FileError::AccessDenied);
    EXPECT_FALSE(File::CreateTruncate(At(L"no folder\\x.D01"), &error).IsOpen());
    EXPECT_EQ(error, FileError::NotFound);
}

TEST_F(Win32Files, LengthsAbove4GiB)
{
    const PathString path = At(L"big 大きい.iso");
    const int64_t length = (int64_t(5) << 30) + 12345;
    {
        // A file extended by its end-of-file mark: no data is written, so this costs no disk.
        const HANDLE handle = ::CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(handle, INVALID_HANDLE_VALUE);
        DWORD ignored = 0;
        ::DeviceIoControl(handle, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = length;
        ASSERT_TRUE(::SetFilePointerEx(handle, end, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(handle));
        ::CloseHandle(handle);
    }
    int64_t got = 0;
    ASSERT_EQ(QueryLength(path, &got), FileError::None);
    EXPECT_EQ(got, length);

    ChipSetSizing sizing;
    ASSERT_EQ(SizeChipSet(got, 4095, &sizing), SizingStatus::Ok);
    EXPECT_EQ(sizing.chipCount, 2u);
    EXPECT_EQ(sizing.totalBlocks, uint32_t((length + 65535) / 65536));
}

TEST_F(Win32Files, CjkPathsRoundTripThroughBothWorkers)
{
    const std::filesystem::path chips = folder / L"チップ 芯片";
    std::filesystem::create_directory(chips);
    const PathString source = At(L"報告 書.tar.gz");
    const Bytes data = Pattern(2 * kMegabyte + 1000);
    Put(source, data);

    ComminuteJob.sourcePath = source;
    ComminuteJob.destFolder = chips.native() + L"\\"; // a folder that ends with a separator
    ComminuteJob.blocksPerChip = 16;
    ComminuteJob.chipCount = 3;
    uint64_t outcome = 99, blocks = 0;
    ComminuteWorker(
        [&](uint32_t message, uint64_t wParam) { (message == WM_COMMINUTE_DONE ? outcome : blocks) = wParam; });
    ASSERT_EQ(outcome, kOutcomeFinished);
    EXPECT_EQ(blocks, 33u);
    const std::wstring base = chips.native() + L"\\報告 書.tar.gz";
    EXPECT_EQ(BasePath(ComminuteJob.destFolder, source), base) << "no second separator";
    EXPECT_TRUE(std::filesystem::exists(base + L".D01"));
    EXPECT_TRUE(std::filesystem::exists(base + L".D03"));
    EXPECT_EQ(Get(base + L".DAV"), (Bytes{3, 0, 0, 0}));

    MergeJob.destPath = MergeDestPath(folder.native(), SourceNameOfHeader(base + L".DAV"));
    EXPECT_EQ(MergeJob.destPath, folder.native() + L"\\報告 書.tar.gz");
    MergeJob.destPath = At(L"結合 済み.tar.gz");
    MergeJob.chipBasePath = BasePathOfHeader(base + L".DAV");
    MergeJob.chipTotal = 3;
    outcome = 99;
    MergeWorker([&](uint32_t message, uint64_t wParam) { (message == WM_MERGE_DONE ? outcome : blocks) = wParam; });
    ASSERT_EQ(outcome, kOutcomeFinished);
    EXPECT_EQ(Get(MergeJob.destPath), data);
}

TEST_F(Win32Files, ChecksummedSetOnCjkPathsJoinsOrNamesTheDamagedChip)
{
    Sha256 hash;
    const struct
    {
        const char* name;
        std::string text;
        const char* hex;
    } vectors[] = {
        {"empty", "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc, after a finish", "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"a million a's", std::string(1000000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& row : vectors) {
        // Growing odd pieces (1, 4, 13, 40, ...): most end inside one of SHA-256's 64-byte blocks.
        for (std::size_t at = 0, piece = 1; at < row.text.size(); at += piece, piece = piece * 3 + 1)
            hash.Update(row.text.data() + at, std::min(piece, row.text.size() - at));
        EXPECT_EQ(ToHex(hash.Finish()), row.hex) << row.name;
    }
    EXPECT_EQ(ToHex(hash.Finish()), vectors[0].hex) << "a finish starts afresh";

    // A name outside the BMP too: its surrogate pair is one 4-byte character in UTF-8.
    const PathString name = L"報告 書𠮷.bin";
    const std::string utf8 = "\xe5\xa0\xb1\xe5\x91\x8a \xe6\x9b\xb8\xf0\xa0\xae\xb7.bin";
    EXPECT_EQ(Utf8Of(name), utf8);
    EXPECT_EQ(PathOfUtf8(utf8), name);

    const PathString source = At(name);
    const Bytes data = Pattern(2 * kMegabyte + 1000);
    Put(source, data);
    const std::filesystem::path chips = folder / L"チップ";
    std::filesystem::create_directory(chips);
    const SplitPlan split = PlanSplit(source, 1, chips.native());
    ASSERT_EQ(split.refusal.what, Refusal::None);
    LoadComminuteJob(split, false, true);
    uint64_t outcome = 99;
    const Poster poster = [&](uint32_t message, uint64_t wParam) {
        if (message == WM_COMMINUTE_DONE || message == WM_MERGE_DONE)
            outcome = wParam;
    };
    ComminuteWorker(poster);
    ASSERT_EQ(outcome, kOutcomeFinished);

    std::string sidecar;
    for (int k = 1; k <= 3; ++k) {
        const std::size_t from = std::size_t(k - 1) * kMegabyte,
                          size = std::min<std::size_t>(kMegabyte, data.size() - from);
        hash.Update(data.data() + from, size);
        sidecar += ToHex(hash.Finish()) + "  " + utf8 + ".D0" + char('0' + k) + "\n";
    }
    hash.Update(data.data(), data.size());
    sidecar += ToHex(hash.Finish()) + "  " + utf8 + "\n";
    const Bytes written = Get(SidecarName(split.base));
    EXPECT_EQ(std::string(written.begin(), written.end()), sidecar);

    const struct
    {
        const char* name;
        int damagedChip;
        uint64_t outcome;
    } joins[] = {{"intact set", 0, kOutcomeFinished}, {"a byte flipped in chip 2", 2, kOutcomeIoFailed}};
    for (const auto& row : joins) {
        SCOPED_TRACE(row.name);
        if (row.damagedChip) {
            Bytes chip = Get(ChipName(split.base, row.damagedChip));
            chip[70000] ^= 1;
            Put(ChipName(split.base, row.damagedChip), chip);
        }
        const std::filesystem::path joined = folder / (L"結合 " + std::to_wstring(row.damagedChip));
        std::filesystem::create_directory(joined);
        const MergePlan merge = PlanMerge(HeaderChipName(split.base), joined.native());
        ASSERT_EQ(merge.refusal.what, Refusal::None);
        EXPECT_TRUE(merge.checksummed);
        LoadMergeJob(merge, false);
        outcome = 99;
        MergeWorker(poster);
        ASSERT_EQ(outcome, row.outcome);
        if (row.damagedChip) {
            EXPECT_EQ(MergeJob.failure, RunFailure::ChipDamaged);
            EXPECT_EQ(MergeJob.failedChip, row.damagedChip);
            EXPECT_EQ(MergeJob.failedPath, ChipName(split.base, row.damagedChip));
            EXPECT_TRUE(std::filesystem::is_empty(joined)) << "neither the join nor its temporary is left";
        } else {
            EXPECT_EQ(Get(merge.destPath), data);
        }
    }
}

TEST_F(Win32Files, ChipHeldByAnotherHandleEndsTheMergeAsOpenFailed)
{
    const PathString source = At(L"源.bin");
    Put(source, Pattern(2 * kMegabyte));
    ComminuteJob.sourcePath = source;
    ComminuteJob.destFolder = folder.native();
    ComminuteJob.blocksPerChip = 16;
    ComminuteJob.chipCount = 2;
    uint64_t outcome = 99;
    const Poster poster = [&](uint32_t message, uint64_t wParam) {
        if (message == WM_COMMINUTE_DONE || message == WM_MERGE_DONE)
            outcome = wParam;
    };
    ComminuteWorker(poster);
    ASSERT_EQ(outcome, kOutcomeFinished);

    const PathString base = BasePath(folder.native(), source);
    const HANDLE other = OpenShared(ChipName(base, 2), GENERIC_READ);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    MergeJob.destPath = At(L"joined.bin");
    MergeJob.chipBasePath = base;
    MergeJob.chipTotal = 2;
    MergeWorker(poster);
    ::CloseHandle(other);
    EXPECT_EQ(outcome, kOutcomeOpenFailed);
    EXPECT_EQ(MergeJob.failedPath, ChipName(base, 2));
    EXPECT_EQ(MergeJob.failedError, FileError::Sharing);
    EXPECT_EQ(KindOf(MergeJob.destPath), NodeKind::Missing) << "no partial file under the destination name";
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().native().find(L"zelvo-partial"), PathString::npos) << "temporary left behind";
}

// What is at a name before a write reaches it, and what the write must come to: refused with the
// bytes there left whole, or done without touching any other name. (Wine shows no reparse points.)
TEST_F(Win32Files, WritesMeetingHostileTargets)
{
    using Step = std::function<void(const PathString& target, const PathString& other)>;
    const Bytes old = Pattern(5000), fresh(300, 9);
    const Step oldAtTargetFreshAtOther = [&](const PathString& target, const PathString& other) {
        Put(target, old);
        Put(other, fresh);
    };
    struct Row
    {
        const char* name;
        Step prepare;
        std::function<FileError(const PathString& target, const PathString& other)> write;
        FileError expected;
        Step verify;
    };
    const Row rows[] = {
        {"folder at a chip name", [](auto& target, auto&) { std::filesystem::create_directory(target); },
         [](auto& target, auto&) { return Opened(File::CreateTruncate(target, &lastError)); }, FileError::AccessDenied,
         [](auto& target, auto&) { EXPECT_EQ(KindOf(target), NodeKind::Other); }},
        {"device name at a chip name",
         {},
         [](auto& target, auto&) { return Opened(File::CreateTruncate(FolderOf(target) + L"\\NUL", &lastError)); },
         FileError::AccessDenied,
         {}},
        {"file at the name of a new file", [&](auto& target, auto&) { Put(target, old); },
         [](auto& target, auto&) { return Opened(File::CreateNew(target, &lastError)); }, FileError::AccessDenied,
         [&](auto& target, auto&) { EXPECT_EQ(Get(target), old); }},
        {"chip hard-linked to a file outside the set",
         [&](auto& target, auto& other) {
             Put(other, old);
             ASSERT_TRUE(::CreateHardLinkW(target.c_str(), other.c_str(), nullptr));
             EXPECT_TRUE(SameFile(target, other));
         },
         [&](auto& target, auto&) {
             File file = File::CreateTruncate(target, &lastError);
             if (file.IsOpen() && file.Write(fresh.data(), fresh.size(), &lastError))
                 lastError = file.Close();
             return lastError;
         },
         FileError::None,
         [&](auto& target, auto& other) {
             EXPECT_EQ(Get(other), old);
             EXPECT_EQ(Get(target), fresh);
             EXPECT_FALSE(SameFile(target, other));
         }},
        {"output appeared before a rename that must not replace", oldAtTargetFreshAtOther,
         [](auto& target, auto& other) { return RenameNoReplace(other, target); }, FileError::Generic,
         [&](auto& target, auto& other) {
             EXPECT_EQ(Get(target), old);
             EXPECT_EQ(Get(other), fresh);
         }},
        {"rename replacing an agreed output", oldAtTargetFreshAtOther,
         [](auto& target, auto& other) { return RenameReplacing(other, target); }, FileError::None,
         [&](auto& target, auto& other) {
             EXPECT_EQ(Get(target), fresh);
             EXPECT_EQ(KindOf(other), NodeKind::Missing);
         }},
        {"second run on a set, its name in other case",
         {},
         [](auto& target, auto&) {
             FileError error = FileError::None;
             const SetLock first = SetLock::Acquire(target, &error);
             EXPECT_TRUE(first.Held()) << int(error);
             PathString shouted = target;
             for (auto& unit : shouted)
                 unit = wchar_t(std::towupper(unit));
             const SetLock second = SetLock::Acquire(shouted, &error);
             return second.Held() ? FileError::None : error;
         },
         FileError::Locking,
         [](auto& target, auto&) {
             FileError error = FileError::None;
             EXPECT_TRUE(SetLock::Acquire(target, &error).Held()) << "released with its holder";
         }},
    };
    int index = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::filesystem::path dir = folder / std::to_wstring(index++);
        std::filesystem::create_directory(dir);
        const PathString target = (dir / L"集合.bin.D01").native(), other = (dir / L"other.bin").native();
        if (row.prepare)
            row.prepare(target, other);
        EXPECT_EQ(row.write(target, other), row.expected);
        if (row.verify)
            row.verify(target, other);
    }
}

TEST_F(Win32Files, FoldersNameLimitsAndTemporaries)
{
    const struct
    {
        const wchar_t* path;
        const wchar_t* folder;
    } folders[] = {{L"E:\\d\\x.D01", L"E:\\d"}, {L"E:\\x.D01", L"E:\\"}, {L"E:x.D01", L"E:"},
                   {L"d/x.D01", L"d"},          {L"\\x.D01", L"\\"},     {L"x.D01", L"."}};
    for (const auto& row : folders)
        EXPECT_EQ(FolderOf(row.path), row.folder) << row.path;

    // MAX_PATH counts the terminating null: 259 units fit, 260 do not; a name fits up to 255.
    const std::size_t room = MAX_PATH - 2 - folder.native().size();
    ASSERT_LT(room, 255u);
    EXPECT_EQ(CheckNameFits(At(std::wstring(room, L'a'))), FileError::None);
    EXPECT_EQ(CheckNameFits(At(std::wstring(room + 1, L'a'))), FileError::BadPath);
    EXPECT_EQ(CheckNameFits(L"E:\\" + std::wstring(255, L'a')), FileError::None);
    EXPECT_EQ(CheckNameFits(L"E:\\" + std::wstring(256, L'a')), FileError::BadPath);

    FileError error = FileError::None;
    PathString first, second, fallback;
    const PathString beside = At(L"結合.bin");
    const File a = File::CreateTemporary(beside, &first, &error), b = File::CreateTemporary(beside, &second, &error);
    ASSERT_TRUE(a.IsOpen() && b.IsOpen()) << int(error);
    EXPECT_EQ(first.substr(0, beside.size() + 15), beside + L".zelvo-partial-");
    EXPECT_EQ(first.size(), beside.size() + 21);
    EXPECT_NE(first, second);
    EXPECT_EQ(KindOf(second), NodeKind::Regular);
    const File c = File::CreateTemporary(At(std::wstring(240, L'n')), &fallback, &error);
    ASSERT_TRUE(c.IsOpen()) << int(error);
    EXPECT_EQ(fallback.substr(0, fallback.size() - 6), At(L"zelvo-partial-")) << "too long a name gives way";
}

} // namespace
