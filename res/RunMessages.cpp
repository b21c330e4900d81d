#include "RunMessages.h"

#include "StringTable.h"

namespace zelvo {
namespace {

// "4.5 GB": units of 1,024 as the chip sizes count them, one decimal where it says something.
// Rounded up for what a run needs and down for what is there, so that a refusal never shows
// the two alike.
std::string SizeText(int64_t bytes, bool up)
{
    static const char* const kUnits[] = {"KB", "MB", "GB", "TB", "PB"};
    if (bytes < 1024)
        return std::to_string(bytes) + (bytes == 1 ? " byte" : " bytes");
    int unit = 0;
    while (unit < 4 && bytes >= (int64_t(1024) << (10 * (unit + 1))))
        ++unit;
    const int64_t scale = int64_t(1024) << (10 * unit); // bytes in a unit
    const int64_t tenths = bytes / scale * 10 + (bytes % scale * 10 + (up ? scale - 1 : 0)) / scale;
    if (tenths >= 10240 && unit < 4)
        return SizeText(int64_t(1) << (10 * (unit + 2)), up); // rounded up into the next unit
    std::string text = std::to_string(tenths / 10);
    if (tenths % 10 != 0)
        text += "." + std::to_string(tenths % 10);
    return text + " " + kUnits[unit];
}

// FormatString2 with a third argument for "%3".
std::string FormatString3(const std::string& text, const std::string& arg1, const std::string& arg2,
                          const std::string& arg3)
{
    const std::size_t at = text.find("%3");
    if (at == std::string::npos)
        return FormatString2(text, arg1, arg2);
    return FormatString2(text.substr(0, at), arg1, arg2) + arg3 + FormatString2(text.substr(at + 2), arg1, arg2);
}

} // namespace

std::string DisplayPath(const PathString& path)
{
#ifdef _WIN32
    // UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
    std::string out;
    for (std::size_t i = 0; i < path.size(); ++i) {
        uint32_t c = static_cast<uint16_t>(path[i]);
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < path.size() && path[i + 1] >= 0xDC00 && path[i + 1] <= 0xDFFF)
            c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<uint16_t>(path[++i]) - 0xDC00);
        else if (c >= 0xD800 && c <= 0xDFFF)
            c = 0xFFFD;
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | c >> 6));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | c >> 12));
            out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | c >> 18));
            out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
#else
    return path;
#endif
}

std::string FileErrorText(FileError error, const PathString& path)
{
    return FormatString1(LoadString(FileErrorStringId(static_cast<int>(error))), DisplayPath(path));
}

int RefusalStringId(Refusal what)
{
    switch (what) {
    case Refusal::None:
    case Refusal::FileError:
        return 0;
    case Refusal::SelectSource:
        return IDS_SELECT_SOURCE;
    case Refusal::InvalidSize:
        return IDS_INVALID_SIZE;
    case Refusal::SelectDestFolder:
        return IDS_SELECT_DEST_FOLDER;
    case Refusal::SourceTooSmall:
        return IDS_SOURCE_TOO_SMALL;
    case Refusal::TooManyChips:
        return IDS_TOO_MANY_CHIPS;
    case Refusal::BadHeader:
        return IDS_BAD_HEADER;
    case Refusal::ChipLength:
        return IDS_CHIP_WRONG_LENGTH;
    case Refusal::LastChipLength:
        return IDS_LAST_CHIP_WRONG_LENGTH;
    case Refusal::NotRegular:
        return IDS_NOT_A_FILE;
    case Refusal::NameTooLong:
        return IDS_NAME_TOO_LONG;
    case Refusal::SameFile:
        return IDS_DEST_IS_CHIP;
    case Refusal::SetBusy:
        return IDS_SET_BUSY;
    case Refusal::LockUnsafe:
        return IDS_LOCK_UNSAFE;
    case Refusal::BadSidecar:
        return IDS_BAD_SIDECAR;
    case Refusal::NoSidecar:
        return IDS_NO_SIDECAR;
    case Refusal::BeyondCount:
        return IDS_CHIP_BEYOND_COUNT;
    case Refusal::SetNeedsSpace:
        return IDS_SET_NEEDS_SPACE;
    case Refusal::FileNeedsSpace:
        return IDS_FILE_NEEDS_SPACE;
    case Refusal::FileTooLarge:
        return IDS_FILE_TOO_LARGE_FOR_DRIVE;
    }
    return 0;
}

std::string RefusalText(const PlanRefusal& refusal)
{
    if (refusal.what == Refusal::None)
        return {};
    if (refusal.what == Refusal::FileError)
        return FileErrorText(refusal.error, refusal.path);
    if (refusal.what == Refusal::BeyondCount)
        return FormatString2(LoadString(IDS_CHIP_BEYOND_COUNT), DisplayPath(refusal.path),
                             std::to_string(refusal.count));
    const std::string text = LoadString(RefusalStringId(refusal.what));
    if (refusal.what == Refusal::SetNeedsSpace || refusal.what == Refusal::FileNeedsSpace)
        return FormatString3(text, DisplayPath(refusal.path), SizeText(refusal.needed, true),
                             SizeText(refusal.available, false));
    if (refusal.what == Refusal::FileTooLarge)
        return FormatString3(text, DisplayPath(refusal.path), refusal.fileSystem,
                             SizeText(refusal.available + 1, false));
    return FormatString1(text, DisplayPath(refusal.path));
}

std::string FailureText(RunFailure failure, FileError error, const PathString& path)
{
    switch (failure) {
    case RunFailure::File:
        break;
    case RunFailure::SourceChanged:
        return FormatString1(LoadString(IDS_SOURCE_CHANGED), DisplayPath(path));
    case RunFailure::ChipChanged:
        return FormatString1(LoadString(IDS_CHIP_CHANGED), DisplayPath(path));
    case RunFailure::SetBusy:
        return FormatString1(LoadString(IDS_SET_BUSY), DisplayPath(path));
    case RunFailure::LockUnsafe:
        return FormatString1(LoadString(IDS_LOCK_UNSAFE), DisplayPath(path));
    case RunFailure::DestinationExists:
        return FormatString1(LoadString(IDS_DEST_APPEARED), DisplayPath(path));
    case RunFailure::ChipDamaged:
        return FormatString2(LoadString(IDS_CHIP_DAMAGED), "?", DisplayPath(path));
    case RunFailure::JoinDamaged:
        return FormatString1(LoadString(IDS_JOIN_DAMAGED), DisplayPath(path));
    }
    return FileErrorText(error, path);
}

std::string FailureText(const ComminuteJobRecord& job)
{
    return FailureText(job.failure, job.failedError, job.failedPath);
}

std::string FailureText(const MergeJobRecord& job)
{
    if (job.failure == RunFailure::ChipDamaged)
        return FormatString2(LoadString(IDS_CHIP_DAMAGED),
                             std::to_string(job.failedChip) + " of " + std::to_string(job.chipTotal),
                             DisplayPath(job.failedPath));
    return FailureText(job.failure, job.failedError, job.failedPath);
}

} // namespace zelvo
