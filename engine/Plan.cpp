#include "Plan.h"

#include "Workers.h"

#include <algorithm>
#include <utility>

namespace zelvo {

FileError ReadSetCount(const PathString& headerPath, int32_t* count, PathString* countPath)
{
    *countPath = CountFilePath(headerPath);
    int64_t headerBytes = 0;
    const FileError error = ReadHeaderCount(*countPath, count, &headerBytes);
    // A header shorter than its 4 bytes holds no count.
    if (error == FileError::None && headerBytes < static_cast<int64_t>(kHeaderLength))
        *count = 0;
    return error;
}

namespace {

PlanRefusal Refuse(Refusal what, PathString path = {}, FileError error = FileError::None)
{
    return PlanRefusal{.what = what, .path = std::move(path), .error = error};
}

// A set that another run holds now, or whose lock cannot be taken safely, is refused before the
// run; the run takes the lock again for itself.
PlanRefusal ProbeSetLock(const PathString& base, LockMode mode)
{
    const SetLock probe = SetLock::Acquire(base, mode);
    switch (probe.Status()) {
    case LockStatus::Held:
        return {};
    case LockStatus::Busy:
        return Refuse(Refusal::SetBusy, base);
    case LockStatus::Unsafe:
        return Refuse(Refusal::LockUnsafe, probe.Path());
    case LockStatus::Failed:
        break;
    }
    return Refuse(Refusal::FileError, probe.Path(), probe.Error());
}

// A file of a set may come from anyone: it is read only where it is a regular file under its own
// name, never through a link, which could lead the join to any file the user may read.
PlanRefusal CheckSetFile(const PathString& path)
{
    return KindOf(path) == NodeKind::Other ? Refuse(Refusal::NotRegular, path) : PlanRefusal{};
}

// Chips of the set's name past its count: a join of the first ones only would call a part of the
// set finished.
PlanRefusal CheckNothingBeyond(const PathString& base, int32_t count)
{
    for (auto k = static_cast<uint32_t>(count) + 1; k <= kMaxChips; ++k) {
        if (KindOf(ChipName(base, k)) != NodeKind::Missing) {
            PlanRefusal refusal = Refuse(Refusal::BeyondCount, ChipName(base, k));
            refusal.count = count;
            return refusal;
        }
    }
    return {};
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

// The set's count from its header chip (or through a chip 01 to 99), refusing what no merge could
// use: a header that cannot be read, shorter than 4 bytes or holding less than 2.
PlanRefusal ReadCount(const PathString& headerPath, int32_t* count)
{
    PathString countPath = CountFilePath(headerPath);
    for (const PathString& path : {headerPath, countPath}) {
        if (PlanRefusal refusal = CheckSetFile(path); refusal.what != Refusal::None)
            return refusal;
    }
    const FileError error = ReadSetCount(headerPath, count, &countPath);
    if (error != FileError::None)
        return Refuse(Refusal::FileError, countPath, error);
    if (static_cast<uint32_t>(*count) < 2)
        return Refuse(Refusal::BadHeader, countPath);
    return {};
}

// Reads the set's checksum file, if it has one, and checks that it speaks of this set: a line for
// each chip by its name, then one for the source.
PlanRefusal ReadSidecar(const PathString& headerPath, int32_t count, bool* present, std::vector<Digest>* chips,
                        Digest* source)
{
    const PathString base = BasePathOfHeader(headerPath);
    const PathString sidecar = SidecarName(base);
    *present = KindOf(sidecar) != NodeKind::Missing;
    if (!*present)
        return {};
    if (PlanRefusal refusal = CheckSetFile(sidecar); refusal.what != Refusal::None)
        return refusal;
    FileError error = FileError::None;
    File file = File::OpenReadNoLink(sidecar, &error);
    // A set of 100 chips with long names needs some 40 KB; anything far bigger is no sidecar.
    std::string text(1 << 20, '\0');
    const int64_t got = file.IsOpen() ? file.Read(text.data(), text.size(), &error) : -1;
    if (got < 0)
        return Refuse(Refusal::FileError, sidecar, error);
    text.resize(static_cast<std::size_t>(got));
    std::vector<SidecarLine> lines;
    if (got == static_cast<int64_t>(1 << 20) || !ParseSidecar(text, &lines) ||
        lines.size() != static_cast<std::size_t>(count) + 1)
        return Refuse(Refusal::BadSidecar, sidecar);
    const std::vector<SidecarLine> expected =
        SetSidecarLines(base, static_cast<uint32_t>(count), SourceNameOfHeader(headerPath));
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].name != expected[i].name)
            return Refuse(Refusal::BadSidecar, sidecar);
    }
    for (int32_t k = 1; k <= count; ++k)
        chips->push_back(lines[k - 1].digest);
    *source = lines.back().digest;
    return {};
}

// Refuses a run whose files the destination cannot take: a file longer than its file system holds,
// or more bytes than are free there, counting as free what the files the run replaces give back
// before it ends.
PlanRefusal CheckRoom(const PathString& folder, const PathString& longestPath, int64_t longest, Refusal noSpace,
                      const PathString& spacePath, int64_t needed, int64_t givenBack)
{
    const VolumeInfo volume = QueryVolume(folder);
    PlanRefusal refusal;
    if (volume.largestFile >= 0 && longest > volume.largestFile) {
        refusal = Refuse(Refusal::FileTooLarge, longestPath);
        refusal.needed = longest;
        refusal.available = volume.largestFile;
        refusal.fileSystem = volume.fileSystem;
    } else if (volume.freeBytes >= 0 && needed > volume.freeBytes + givenBack) {
        refusal = Refuse(noSpace, spacePath);
        refusal.needed = needed;
        refusal.available = volume.freeBytes + givenBack;
    }
    return refusal;
}

// A plan that ends in a refusal: what it found so far, and why it stops.
template <typename Plan> Plan WithRefusal(Plan plan, PlanRefusal refusal)
{
    plan.refusal = std::move(refusal);
    return plan;
}

} // namespace

SplitPlan PlanSplit(const PathString& sourcePath, int64_t sizeEntry, const PathString& destFolder, bool writeChecksums)
{
    SplitPlan plan;
    plan.sourcePath = sourcePath;
    plan.destFolder = destFolder;
    const auto refused = [&plan](PlanRefusal refusal) { return WithRefusal(plan, std::move(refusal)); };
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
            plan.sourceStamp = source.Stamp(&error);
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
    // The last chip has the longest name of the chips (".D100" has a digit more than ".D99"); the
    // checksum file's is longer still.
    for (const PathString& name :
         {ChipName(plan.base, plan.sizing.chipCount), header, writeChecksums ? SidecarName(plan.base) : header}) {
        if (CheckNameFits(name) != FileError::None)
            return refused(Refuse(Refusal::NameTooLong, name));
    }
    int64_t givenBack = 0; // by the files of an older set that the run replaces
    for (uint32_t k = 1; k <= kMaxChips + 2; ++k) {
        const PathString name =
            k <= kMaxChips ? ChipName(plan.base, k) : (k == kMaxChips + 1 ? SidecarName(plan.base) : header);
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
        if (written && exists)
            givenBack += SpaceHeldBy(name);
    }
    // The set takes the source's bytes, the header chip's and the checksum file's.
    int64_t needed = plan.sourceLength + kHeaderLength;
    if (writeChecksums)
        needed +=
            int64_t(FormatSidecar(SetSidecarLines(plan.base, plan.sizing.chipCount, FileNameOf(sourcePath))).size());
    if (PlanRefusal room = CheckRoom(destFolder, ChipName(plan.base, 1), plan.sizing.chipSize, Refusal::SetNeedsSpace,
                                     plan.base, needed, givenBack);
        room.what != Refusal::None)
        return refused(std::move(room));
    if (PlanRefusal refusal = ProbeSetLock(plan.base, LockMode::Exclusive); refusal.what != Refusal::None)
        return refused(std::move(refusal));
    return plan;
}

int64_t MergePlan::TotalLength() const
{
    int64_t total = 0;
    for (const int64_t length : chipLengths)
        total += length;
    return total;
}

uint32_t MergePlan::ProgressRange() const
{
    uint32_t blocks = 0;
    for (const int64_t length : chipLengths)
        blocks += static_cast<uint32_t>(CopyBlocksOf(length));
    return blocks;
}

MergePlan PlanMerge(const PathString& headerPath, const PathString& destFolder, bool checkSetOnly)
{
    MergePlan plan;
    plan.headerPath = headerPath;
    const auto refused = [&plan](PlanRefusal refusal) { return WithRefusal(plan, std::move(refusal)); };
    if (headerPath.empty())
        return refused(Refuse(Refusal::SelectSource));

    // Through any chip 01 to 99 of a set this names the set's header chip.
    const PathString countPath = CountFilePath(headerPath);
    int32_t count = 0;
    FileError error = FileError::None;
    if (PlanRefusal refusal = ReadCount(headerPath, &count); refusal.what != Refusal::None)
        return refused(std::move(refusal));
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

    for (int32_t k = 1; k <= count; ++k) {
        const PathString chip = ChipName(plan.chipBasePath, k);
        if (PlanRefusal refusal = CheckSetFile(chip); refusal.what != Refusal::None)
            return refused(std::move(refusal));
        FileStamp stamp;
        if (error = QueryLength(chip, &length, &stamp); error != FileError::None)
            return refused(Refuse(Refusal::FileError, chip, error));
        plan.chipStamps.push_back(stamp);
        const int64_t first = k == 1 ? length : plan.chipLengths.front();
        if (k < count && length != first)
            return refused(Refuse(Refusal::ChipLength, chip));
        if (k == count && (length < 1 || length > first))
            return refused(Refuse(Refusal::LastChipLength, chip));
        plan.chipLengths.push_back(length);
    }
    if (PlanRefusal refusal = CheckNothingBeyond(plan.chipBasePath, count); refusal.what != Refusal::None)
        return refused(std::move(refusal));
    if (PlanRefusal refusal = ReadSidecar(headerPath, count, &plan.checksummed, &plan.chipDigests, &plan.sourceDigest);
        refusal.what != Refusal::None)
        return refused(std::move(refusal));
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
    // A file replaced goes only once the join is whole, so it gives nothing back meanwhile.
    if (PlanRefusal room = CheckRoom(destFolder, plan.destPath, plan.TotalLength(), Refusal::FileNeedsSpace,
                                     plan.destPath, plan.TotalLength(), 0);
        room.what != Refusal::None)
        return refused(std::move(room));
    if (PlanRefusal refusal = ProbeSetLock(plan.chipBasePath, LockMode::Shared); refusal.what != Refusal::None)
        return refused(std::move(refusal));
    return plan;
}

SetVerification VerifyChipSet(const PathString& headerPath)
{
    SetVerification result;
    int32_t count = 0;
    if (headerPath.empty()) {
        result.refusal = Refuse(Refusal::SelectSource);
        return result;
    }
    result.refusal = ReadCount(headerPath, &count);
    if (result.refusal.what == Refusal::None && static_cast<uint32_t>(count) > kMaxChips)
        result.refusal = Refuse(Refusal::BadHeader, CountFilePath(headerPath));
    const PathString base = BasePathOfHeader(headerPath);
    for (int32_t k = 1; k <= count && result.refusal.what == Refusal::None; ++k)
        result.refusal = CheckSetFile(ChipName(base, k));
    if (result.refusal.what == Refusal::None)
        result.refusal = CheckNothingBeyond(base, count);
    bool present = false;
    std::vector<Digest> digests;
    Digest sourceDigest{};
    if (result.refusal.what == Refusal::None)
        result.refusal = ReadSidecar(headerPath, count, &present, &digests, &sourceDigest);
    if (result.refusal.what == Refusal::None && !present)
        result.refusal = Refuse(Refusal::NoSidecar, SidecarName(base));
    if (result.refusal.what != Refusal::None)
        return result;

    std::vector<int64_t> lengths;
    int64_t reference = -1; // chip 1's length, or the first one that is there
    for (int32_t k = 1; k <= count; ++k) {
        result.chipPaths.push_back(ChipName(base, k));
        int64_t length = -1;
        if (QueryLength(result.chipPaths.back(), &length) != FileError::None)
            length = -1;
        lengths.push_back(length);
        if (reference < 0)
            reference = length;
    }
    HashPipeline pipe;
    bool allRead = true;
    for (int32_t k = 1; k <= count; ++k) {
        const int64_t length = lengths[k - 1];
        if (length < 0) {
            result.chips.push_back(ChipVerdict::Missing);
        } else if (k < count ? length != reference : (length < 1 || length > reference)) {
            result.chips.push_back(ChipVerdict::WrongLength);
        } else {
            FileError error = FileError::None;
            File chip = File::OpenReadNoLink(result.chipPaths[k - 1], &error);
            int64_t got = chip.IsOpen() ? 0 : -1;
            while (got >= 0) {
                unsigned char* buffer = pipe.Acquire();
                got = chip.Read(buffer, HashPipeline::kBlock, &error);
                if (got <= 0)
                    break;
                pipe.Submit(static_cast<std::size_t>(got));
            }
            pipe.EndChip();
            const bool ok = got == 0 && pipe.ChipDigests().back() == digests[k - 1];
            result.chips.push_back(got < 0 ? ChipVerdict::Missing : ok ? ChipVerdict::Ok : ChipVerdict::Damaged);
            continue;
        }
        allRead = false;
    }
    const bool allOk = allRead && std::all_of(result.chips.begin(), result.chips.end(),
                                              [](ChipVerdict verdict) { return verdict == ChipVerdict::Ok; });
    result.sourceOk = allOk && pipe.WholeDigest() == sourceDigest;
    return result;
}

void LoadComminuteJob(const SplitPlan& plan, bool replace, bool writeChecksums)
{
    ComminuteJob.writeChecksums = writeChecksums;
    ComminuteJob.sourcePath = plan.sourcePath;
    ComminuteJob.destFolder = plan.destFolder;
    ComminuteJob.chipBasePath = plan.base;
    ComminuteJob.blocksPerChip = plan.sizing.blocksPerChip;
    ComminuteJob.chipCount = plan.sizing.chipCount;
    ComminuteJob.sourceLength = plan.sourceLength;
    ComminuteJob.sourceStamp = plan.sourceStamp;
    ComminuteJob.replaceExisting = replace;
}

void LoadMergeJob(const MergePlan& plan, bool replace)
{
    MergeJob.destPath = plan.destPath;
    MergeJob.chipBasePath = plan.chipBasePath;
    MergeJob.chipTotal = plan.chipTotal;
    MergeJob.chipLengths = plan.chipLengths;
    MergeJob.chipStamps = plan.chipStamps;
    MergeJob.replaceExisting = replace;
    MergeJob.chipDigests = plan.chipDigests;
    MergeJob.sourceDigest = plan.sourceDigest;
}

} // namespace zelvo
