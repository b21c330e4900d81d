#include "FileIO.h"

#include "TestFiles.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace zelvo;
using namespace zelvo::test;

namespace {

TEST(FileIO, ShareNothingOpensRefuseASecondOpener)
{
    TempDir dir;
    const PathString path = dir / "held.bin";
    WriteFile(path, Bytes(1000, 7));

    FileError error = FileError::None;
    File holder = File::OpenRead(path, &error);
    ASSERT_TRUE(holder.IsOpen());

    File second = File::OpenRead(path, &error);
    EXPECT_FALSE(second.IsOpen());
    EXPECT_EQ(error, FileError::Sharing);

    // The create must not cut a file that someone else holds.
    File create = File::CreateTruncate(path, &error);
    EXPECT_FALSE(create.IsOpen());
    EXPECT_EQ(error, FileError::Sharing);
    EXPECT_EQ(ReadFile(path).size(), 1000u);

    int64_t length = 0;
    EXPECT_EQ(QueryLength(path, &length), FileError::Sharing);

    holder.Close();
    EXPECT_EQ(QueryLength(path, &length), FileError::None);
    EXPECT_EQ(length, 1000);
}

TEST(FileIO, OpenFailuresAreNamed)
{
    TempDir dir;
    FileError error = FileError::None;

    EXPECT_FALSE(File::OpenRead(dir / "missing.bin", &error).IsOpen());
    EXPECT_EQ(error, FileError::NotFound);

    EXPECT_FALSE(File::OpenRead(dir.path().native(), &error).IsOpen()) << "a folder is not a source";
    EXPECT_EQ(error, FileError::AccessDenied);

    EXPECT_FALSE(File::CreateTruncate(dir / "no folder/x.D01", &error).IsOpen());
    EXPECT_EQ(error, FileError::NotFound);

    EXPECT_FALSE(File::CreateTruncate(dir.path().native(), &error).IsOpen());
    EXPECT_EQ(error, FileError::AccessDenied);

    if (::geteuid() != 0) { // root ignores permission bits
        const PathString locked = dir / "locked";
        ::mkdir(locked.c_str(), 0500);
        EXPECT_FALSE(File::CreateTruncate(locked + "/x.D01", &error).IsOpen());
        EXPECT_EQ(error, FileError::AccessDenied);
    }
}

TEST(FileIO, CreateTruncatesAndReadFillsTheBuffer)
{
    TempDir dir;
    const PathString path = dir / "data.bin";
    WriteFile(path, Bytes(5000, 1));

    FileError error = FileError::None;
    File out = File::CreateTruncate(path, &error);
    ASSERT_TRUE(out.IsOpen());
    EXPECT_EQ(out.Length(&error), 0) << "an existing file is truncated";
    const Bytes data = RandomBytes(70000, 3);
    ASSERT_TRUE(out.Write(data.data(), data.size(), &error));
    EXPECT_EQ(out.Close(), FileError::None);

    File in = File::OpenRead(path, &error);
    ASSERT_TRUE(in.IsOpen());
    EXPECT_EQ(in.Length(&error), 70000);
    Bytes buffer(65536);
    EXPECT_EQ(in.Read(buffer.data(), buffer.size(), &error), 65536);
    EXPECT_EQ(in.Read(buffer.data(), buffer.size(), &error), 70000 - 65536);
    EXPECT_EQ(in.Read(buffer.data(), buffer.size(), &error), 0);
}

TEST(FileIO, HeaderCountReadsUpToFourBytes)
{
    TempDir dir;
    struct Row
    {
        Bytes bytes;
        int32_t count;
        int64_t read;
    };
    const Row rows[] = {
        {{0x0C, 0, 0, 0}, 12, 4},
        {{0xFF, 0xFF, 0xFF, 0xFF}, -1, 4},
        {{0x05, 0, 0, 0, 0x99}, 5, 4}, // a longer file: only the first four bytes count
        {{0x03}, 3, 1},                // short header: the caller judges it
        {{}, 0, 0},
    };
    for (const Row& row : rows) {
        const PathString path = dir / "set.DAV";
        WriteFile(path, row.bytes);
        int32_t count = -7;
        int64_t read = -7;
        ASSERT_EQ(ReadHeaderCount(path, &count, &read), FileError::None);
        EXPECT_EQ(count, row.count) << "header of " << row.bytes.size() << " bytes";
        EXPECT_EQ(read, row.read);
    }
    int32_t count = 0;
    int64_t read = 0;
    EXPECT_EQ(ReadHeaderCount(dir / "none.DAV", &count, &read), FileError::NotFound);
}

} // namespace
