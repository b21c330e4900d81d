// Parts of the file layer shared by both platforms.
#include "FileIO.h"

#include "ChipSet.h"

#include <array>
#include <utility>

namespace zelvo {
namespace {

DurableStepHook& durableStepHook()
{
    static DurableStepHook hook;
    return hook;
}

VolumeHook& volumeHook()
{
    static VolumeHook hook;
    return hook;
}

} // namespace

void SetVolumeHook(VolumeHook hook)
{
    volumeHook() = std::move(hook);
}

VolumeInfo QueryVolume(const PathString& folder)
{
    VolumeInfo info = QuerySystemVolume(folder);
    if (volumeHook())
        volumeHook()(folder, &info);
    return info;
}

void SetDurableStepHook(DurableStepHook hook)
{
    durableStepHook() = std::move(hook);
}

void NoteDurableStep(DurableStep step, const PathString& path)
{
    if (durableStepHook())
        durableStepHook()(step, path);
}

File::File(File&& other) noexcept
    : handle_(other.handle_), kernelCopy_(other.kernelCopy_), writeBackFrom_(other.writeBackFrom_)
{
    other.handle_ = kInvalid;
}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        kernelCopy_ = other.kernelCopy_;
        writeBackFrom_ = other.writeBackFrom_;
        other.handle_ = kInvalid;
    }
    return *this;
}

File::~File()
{
    Close();
}

bool File::IsOpen() const
{
    return handle_ != kInvalid;
}

CopyStatus File::CopyThroughBuffer(File& to, void* buffer, std::size_t size)
{
    CopyStatus status;
    const int64_t got = Read(buffer, size, &status.error);
    if (got < 0) {
        status.failedSide = CopySide::Read;
        return status;
    }
    if (got > 0 && !to.Write(buffer, static_cast<std::size_t>(got), &status.error)) {
        status.failedSide = CopySide::Write;
        return status;
    }
    status.bytes = static_cast<std::size_t>(got);
    return status;
}

FileError QueryLength(const PathString& path, int64_t* length, FileStamp* stamp)
{
    FileError error = FileError::None;
    File file = File::OpenReadNoLink(path, &error);
    if (!file.IsOpen())
        return error;
    // A stamp holds the length: both are taken in one look at the file.
    if (stamp) {
        *stamp = file.Stamp(&error);
        *length = stamp->length;
    } else {
        *length = file.Length(&error);
    }
    if (error != FileError::None)
        return error;
    file.Close();
    return FileError::None;
}

FileError ReadHeaderCount(const PathString& path, int32_t* count, int64_t* bytesRead)
{
    FileError error = FileError::None;
    File file = File::OpenReadNoLink(path, &error);
    if (!file.IsOpen())
        return error;
    std::array<unsigned char, kHeaderLength> bytes{};
    const int64_t got = file.Read(bytes.data(), kHeaderLength, &error);
    if (got < 0)
        return error;
    *bytesRead = got;
    *count = DecodeHeader(bytes);
    return FileError::None;
}

} // namespace zelvo
