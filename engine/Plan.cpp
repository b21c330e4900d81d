#include "Plan.h"

#include "Workers.h"

#include <filesystem>
#include <utility>

namespace zelvo {
namespace {

PlanRefusal Refuse(Refusal what, PathString path = {}, FileError error = FileError::None)
{
    return PlanRefusal{what, std::move(path), error};
}

// A chip may be reached through a link (it is only read), but must end in a regular file.
bool IsRegularFile(const PathString& path)
{
    std::error_code ignored;
    return std::filesystem::is_regular_file(std::filesystem::path(path), ignored);
}

// What a run that writes may find at one of its names: nothing, or a regular file it may replace.
PlanRefusal CheckWriteTarget(const PathString& path, bool* exists)
{
    switch (KindOf(path)) {
    case NodeKind::Missing:
        return {};
    case NodeKind::Regular:
        *exists = true;
        return {};
    case NodeKind::Other:
        break;
    }
    return Refuse(Refusal::NotRegular, path);
}

} // namespace

SplitPlan PlanSplit(const PathString& sourcePath, int64_t sizeEntry, const PathString& destFolder)
{
    SplitPlan plan;
    plan.sourcePath = sourcePath;
    plan.destFolder = destFolder;
    const auto refused = [&plan](PlanRefusal refusal) {
        plan.refusal = std::move(refusal);
        return plan;
    };
    if (sourcePath.empty())
        return refused(Refuse(Refusal::SelectSource));
    if (sizeEntry <= 0 || sizeEntry > kMaxSizeEntry)
        return refused(Refuse(Refusal::InvalidSize));
    if (destFolder.empty())
        return refused(Refuse(Refusal::SelectDestFolder));

    FileError error = FileError::None;
    {
        File source = File::OpenRead(sourcePath, &error);
        if (source.IsOpen())
            plan.sourceLength = source.Length(&error);
        if (error == FileError::None)
            plan.sourceModified = source.Modified(&error);
        if (error != FileError::None)
            return refused(Refuse(Refusal::FileError, sourcePath, error));
    }
    switch (SizeChipSet(plan.sourceLength, sizeEntry, &plan.sizing)) {
    case SizingStatus::Ok:
        break;
    case SizingStatus::InvalidSize:
        return refused(Refuse(Refusal::InvalidSize));
    case SizingStatus::SourceTooSmall:
        return refused(Refuse(Refusal::SourceTooSmall));
    case SizingStatus::TooManyChips:
        return refused(Refuse(Refusal::TooManyChips));
    }

    if (!IsFolder(destFolder))
        return refused(Refuse(Refusal::FileError, destFolder, FileError::NotFound));
    plan.base = BasePath(destFolder, sourcePath);
    const PathString header = HeaderChipName(plan.base);
    // The last chip has the longest name of the set (".D100" has a digit more than ".D99").
    for (const PathString& name : {ChipName(plan.base, plan.sizing.chipCount), header}) {
        if (CheckNameFits(name) != FileError::None)
            return refused(Refuse(Refusal::NameTooLong, name));
    }
    for (uint32_t k = 1; k <= kMaxChips + 1; ++k) {
        const PathString name = k <= kMaxChips ? ChipName(plan.base, k) : header;
        bool exists = false;
        PlanRefusal target = CheckWriteTarget(name, &exists);
        // Leftovers of a larger set are removed once the new set is whole; anything else there
        // beyond the new count is left alone.
        const bool written = k <= plan.sizing.chipCount || k > kMaxChips;
        if (written && target.what != Refusal::None)
            return refused(std::move(target));
        if (written && exists && SameFile(name, sourcePath))
            return refused(Refuse(Refusal::SameFile, name));
        plan.replacesFiles = plan.replacesFiles || exists;
    }
    SetLock probe = SetLock::Acquire(plan.base, &error);
    if (!probe.Held() && error == FileError::Locking)
        return refused(Refuse(Refusal::SetBusy, plan.base));
    return plan;
}

MergePlan PlanMerge(const PathString& headerPath, const PathString& destFolder, bool checkSetOnly)
{
    MergePlan plan;
    plan.headerPath = headerPath;
    const auto refused = [&plan](PlanRefusal refusal) {
        plan.refusal = std::move(refusal);
        return plan;
    };
    if (headerPath.empty())
        return refused(Refuse(Refusal::SelectSource));

    // Through any chip 01 to 99 of a set this names the set's header chip.
    const PathString countPath = CountFilePath(headerPath);
    int32_t count = 0;
    int64_t headerBytes = 0;
    FileError error = ReadHeaderCount(countPath, &count, &headerBytes);
    if (error != FileError::None)
        return refused(Refuse(Refusal::FileError, countPath, error));
    if (headerBytes < static_cast<int64_t>(kHeaderLength) || static_cast<uint32_t>(count) < 2)
        return refused(Refuse(Refusal::BadHeader, countPath));
    if (!checkSetOnly && destFolder.empty())
        return refused(Refuse(Refusal::SelectDestFolder));
    int64_t length = 0;
    if (error = QueryLength(headerPath, &length); error != FileError::None)
        return refused(Refuse(Refusal::FileError, headerPath, error));

    plan.chipBasePath = BasePathOfHeader(headerPath);
    plan.chipTotal = count;
    if (static_cast<uint32_t>(count) > kMaxChips) {
        // FF FF FF FF reads as -1: the chip that count names (".D-1") is the one not there.
        const PathString last = ChipName(plan.chipBasePath, count);
        if (error = QueryLength(last, &length); error != FileError::None)
            return refused(Refuse(Refusal::FileError, last, error));
        return refused(Refuse(Refusal::BadHeader, countPath));
    }

    uint32_t blocks = 0;
    for (int32_t k = 1; k <= count; ++k) {
        const PathString chip = ChipName(plan.chipBasePath, k);
        std::error_code ignored;
        if (std::filesystem::exists(std::filesystem::path(chip), ignored) && !IsRegularFile(chip))
            return refused(Refuse(Refusal::NotRegular, chip));
        if (error = QueryLength(chip, &length); error != FileError::None)
            return refused(Refuse(Refusal::FileError, chip, error));
        const int64_t first = k == 1 ? length : plan.chipLengths.front();
        if (k < count && length != first)
            return refused(Refuse(Refusal::ChipLength, chip));
        if (k == count && (length < 1 || length > first))
            return refused(Refuse(Refusal::LastChipLength, chip));
        plan.chipLengths.push_back(length);
        plan.totalLength += length;
        blocks += static_cast<uint32_t>(length / kCopyBlock + (length % kCopyBlock != 0 ? 1 : 0));
    }
    plan.progressRange = blocks;
    if (checkSetOnly)
        return plan;

    if (!IsFolder(destFolder))
        return refused(Refuse(Refusal::FileError, destFolder, FileError::NotFound));
    plan.destPath = MergeDestPath(destFolder, SourceNameOfHeader(headerPath));
    if (CheckNameFits(plan.destPath) != FileError::None)
        return refused(Refuse(Refusal::NameTooLong, plan.destPath));
    if (PlanRefusal target = CheckWriteTarget(plan.destPath, &plan.replacesFile); target.what != Refusal::None)
        return refused(std::move(target));
    if (plan.replacesFile) {
        // Replacing a file of the set with the join would destroy what the join reads.
        bool readByRun = SameFile(plan.destPath, headerPath) || SameFile(plan.destPath, countPath);
        for (int32_t k = 1; k <= count && !readByRun; ++k)
            readByRun = SameFile(plan.destPath, ChipName(plan.chipBasePath, k));
        if (readByRun)
            return refused(Refuse(Refusal::SameFile, plan.destPath));
    }
    return plan;
}

void LoadComminuteJob(const SplitPlan& plan, bool replace)
{
    ComminuteJob.sourcePath = plan.sourcePath;
    ComminuteJob.destFolder = plan.destFolder;
    ComminuteJob.blocksPerChip = plan.sizing.blocksPerChip;
    ComminuteJob.chipCount = plan.sizing.chipCount;
    ComminuteJob.sourceLength = plan.sourceLength;
    ComminuteJob.sourceModified = plan.sourceModified;
    ComminuteJob.replaceExisting = replace;
}

void LoadMergeJob(const MergePlan& plan, bool replace)
{
    MergeJob.destPath = plan.destPath;
    MergeJob.chipBasePath = plan.chipBasePath;
    MergeJob.chipTotal = plan.chipTotal;
    MergeJob.chipLengths = plan.chipLengths;
    MergeJob.replaceExisting = replace;
}

} // namespace zelvo
