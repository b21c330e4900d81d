// The Win32 file layer on the Win32 API itself (under Wine in CI): what it refuses, what it does at
// a name that is taken, and a checksummed set on CJK paths through both workers (BCrypt's SHA-256,
// UTF-8 names in the checksum file). Wine shows no reparse points, so links are not among them.
#include "Plan.h"
#include "TestFiles.h"

#include <functional>
#include <gtest/gtest.h>
#include <windows.h>

using namespace zelvo;
using namespace zelvo::test;

namespace {

// A folder of the test's own with a CJK name, also its TMP so that the set locks go there.
class Win32Files : public testing::Test
{
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir);
        ::SetEnvironmentVariableW(L"TMP", dir.c_str());
    }
    void TearDown() override
    {
        ::SetEnvironmentVariableW(L"TMP", dir.parent_path().c_str());
        std::filesystem::remove_all(dir, ignored);
    }
    PathString At(const std::wstring& name) const { return (dir / name).native(); }

    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / (L"zelvo 分割 " + std::to_wstring(::GetCurrentProcessId()));
    std::error_code ignored;
};

// What happens at a name that holds a file of 5,000 bytes, while another program may hold it with
// a handle that shares everything: the result, and the bytes at the name afterwards.
TEST_F(Win32Files, WhatTheFileLayerRefusesOrDoes)
{
    using enum FileError;
    const PathString name = At(L"集合 セット.bin.D01"), other = At(L"other.bin");
    const Bytes old(5000, 1), fresh(300, 2);
    FileError error = None;
    const auto opened = [&](const File& file) { return file.IsOpen() ? None : error; };
    const auto shared = [&](DWORD access) {
        return ::CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    };
    const auto heldHere = [&] {
        const File mine = File::OpenRead(name, &error);
        return shared(GENERIC_READ) == INVALID_HANDLE_VALUE && !::DeleteFileW(name.c_str()) ? Sharing : None;
    };
    const auto hardLinked = [&] {
        ::CreateHardLinkW(other.c_str(), name.c_str(), nullptr);
        File file = File::CreateTruncate(name, &error);
        file.Write(fresh.data(), fresh.size(), &error);
        EXPECT_EQ(ReadFile(other), old) << "the other name keeps its bytes";
        return opened(file);
    };
    const auto renameOnto = [&](FileError (*rename)(const PathString&, const PathString&)) {
        WriteFile(other, fresh);
        return rename(other, name);
    };
    const auto secondLock = [&](LockMode held, LockMode taken) {
        return [&, held, taken] {
            const SetLock first = SetLock::Acquire(name, held);
            const SetLock second = SetLock::Acquire(At(L"集合 セット.BIN.d01"), taken);
            return first.Held() && second.Held() ? None : second.Error();
        };
    };
    const std::wstring room(MAX_PATH - 2 - dir.native().size(), L'n'); // a path of MAX_PATH - 1
    // what; the access of the other program's handle (0: none); the result; the bytes at the name
    const std::tuple<const char*, DWORD, std::function<FileError()>, FileError, Bytes> rows[] = {
        {"open", GENERIC_READ, [&] { return opened(File::OpenRead(name, &error)); }, Sharing, old},
        {"create", GENERIC_WRITE, [&] { return opened(File::CreateTruncate(name, &error)); }, Sharing, old},
        {"another program opens or removes", 0, heldHere, Sharing, old},
        {"create in a missing folder", 0, [&] { return opened(File::CreateTruncate(At(L"none\\x.D01"), &error)); },
         NotFound, old},
        {"create at a device", 0, [&] { return opened(File::CreateTruncate(At(L"NUL"), &error)); }, AccessDenied, old},
        {"create new at a taken name", 0, [&] { return opened(File::CreateNew(name, &error)); }, AccessDenied, old},
        {"create", 0, [&] { return opened(File::CreateTruncate(name, &error)); }, None, {}},
        {"create at a file with another name", 0, hardLinked, None, fresh},
        {"rename onto it, not replacing", 0, [&] { return renameOnto(RenameNoReplace); }, Generic, old},
        {"rename onto it, replacing", 0, [&] { return renameOnto(RenameReplacing); }, None, fresh},
        {"lock a set held under a name in other case", 0, secondLock(LockMode::Exclusive, LockMode::Shared), Locking,
         old},
        {"a merge locks a set that a merge holds", 0, secondLock(LockMode::Shared, LockMode::Shared), None, old},
        {"a split locks a set that a merge holds", 0, secondLock(LockMode::Shared, LockMode::Exclusive), Locking, old},
        {"a path of MAX_PATH - 1", 0, [&] { return CheckNameFits(At(room)); }, None, old},
        {"a path of MAX_PATH", 0, [&] { return CheckNameFits(At(room + L"n")); }, BadPath, old},
    };
    for (const auto& [what, access, act, result, after] : rows) {
        SCOPED_TRACE(what);
        std::filesystem::remove(other);
        WriteFile(name, old);
        const HANDLE handle = access ? shared(access) : INVALID_HANDLE_VALUE;
        EXPECT_EQ(act(), result);
        ::CloseHandle(handle);
        EXPECT_EQ(ReadFile(name), after);
    }
}

TEST_F(Win32Files, NamesTemporariesAndLengths)
{
    EXPECT_EQ(BasePath(L"E:\\", L"C:\\w\\r.doc"), L"E:\\r.doc");
    EXPECT_EQ(BasePath(L"E:/", L"C:r.doc"), L"E:/r.doc");
    PathString fallback;
    const File shorter = File::CreateTemporary(At(std::wstring(250, L'n')), &fallback, nullptr);
    EXPECT_EQ(fallback.substr(0, fallback.size() - 6), At(L"zelvo-partial-")) << "too long a name gives way";

    const int64_t large = (int64_t(5) << 30) + 1; // a length past 32 bits, which costs no disk
    WriteFile(At(L"large.iso"), {});
    std::filesystem::resize_file(At(L"large.iso"), uint64_t(large));
    int64_t length = 0;
    EXPECT_EQ(QueryLength(At(L"large.iso"), &length), FileError::None);
    EXPECT_EQ(length, large);
    EXPECT_EQ(SpaceHeldBy(At(L"large.iso")), large) << "what replacing it gives back";
    const VolumeInfo volume = QueryVolume(FolderOf(At(L"large.iso")));
    EXPECT_TRUE(volume.freeBytes > 0 && volume.largestFile == -1)
        << volume.freeBytes << " free on " << volume.fileSystem;
}

// 1 MiB of 'a' and "abc", under a name with a character outside the BMP (4 bytes in UTF-8): the
// checksum file is sha256sum's, the join gives the source back, and a join of a damaged set leaves
// nothing.
TEST_F(Win32Files, ChecksummedSetOnCjkPaths)
{
    const PathString source = At(L"報告 書𠮷.bin"), chips = dir.native() + L"\\", joined = At(L"結合");
    const std::string name = "\xe5\xa0\xb1\xe5\x91\x8a \xe6\x9b\xb8\xf0\xa0\xae\xb7.bin";
    const std::string text = std::string(kMegabyte + 1, 'a') + "bc";
    const Bytes data(text.begin(), text.end());
    WriteFile(source, data);
    std::filesystem::create_directory(joined);
    LoadComminuteJob(PlanSplit(source, 1, chips), false);
    Recorder split, merge, damaged;
    ComminuteWorker(split.poster());
    ASSERT_EQ(split.outcome(), kOutcomeFinished);
    const Bytes sums = ReadFile(chips + L"報告 書𠮷.bin.sha256");
    EXPECT_EQ(std::string(sums.begin(), sums.end()),
              "9bc1b2a288b26af7257a36277ae3816a7d4f16e89c1e7e77d0a5c48bad62b360  " + name + ".D01\n" +
                  "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  " + name + ".D02\n" +
                  "4e40ea6aac7cd20a55f6e0f18a26b83f2b9ea361b0b6c893e0f69f42e7b11da8  " + name + "\n");

    LoadMergeJob(PlanMerge(chips + L"報告 書𠮷.bin.DAV", joined), false);
    MergeWorker(merge.poster());
    EXPECT_EQ(merge.outcome(), kOutcomeFinished);
    EXPECT_EQ(ReadFile(joined + L"\\報告 書𠮷.bin"), data);
    // A failed join closes its temporary before it removes it: share mode 0 refuses the removal of an open file.
    WriteFile(chips + L"報告 書𠮷.bin.D02", {'a', 'b', 'd'});
    LoadMergeJob(PlanMerge(chips + L"報告 書𠮷.bin.DAV", joined), true);
    MergeWorker(damaged.poster());
    EXPECT_EQ(damaged.outcome(), kOutcomeIoFailed);
    EXPECT_EQ(FileCount(joined), 1u) << "no temporary is left";
}

} // namespace
