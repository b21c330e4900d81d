// The checks of a split's and a merge's inputs, in the dialogs' order, in one place: a plan is
// either the first refusal (what, which file, why) or everything the run needs. The dialogs and
// the command line only turn a refusal into their message, and fill the job record from a plan.
#pragma once

#include "Checksums.h"
#include "ChipSet.h"
#include "FileIO.h"
#include "Locks.h"

#include <cstdint>
#include <string>
#include <vector>

namespace zelvo {

enum class Refusal {
    None,
    SelectSource,     // no source (split) or header chip (merge) given
    InvalidSize,      // a size entry of 0 or above 4,095
    SelectDestFolder, // no destination folder given
    FileError,        // `path` could not be opened or is not there: `error` says why
    SourceTooSmall,   // the source is not longer than one chip: nothing to cut
    TooManyChips,     // more than 100 chips
    BadHeader,        // the header chip holds no count from 2 to 100 (the Merge dialog then ends)
    ChipLength,       // `path`, a chip before the last, is not as long as chip 1
    LastChipLength,   // `path`, the last chip, is empty or longer than chip 1
    NotRegular,       // `path` is a link, folder, FIFO, device or socket where a file belongs
    NameTooLong,      // `path` is too long a name for the destination's file system
    SameFile,         // `path`, to be written, is a file the run reads (a hard link of it)
    SetBusy,          // another run is writing the set whose base path is `path`
    LockUnsafe,       // `path`, the set's lock or the folder of locks, is open to another user
    BadSidecar,       // `path`, the set's checksum file, is malformed or names other files
    NoSidecar,        // the set has no checksum file `path` (verify needs one)
    BeyondCount,      // `path`, a chip of the set's name, lies beyond the header chip's count `count`
    // The destination cannot take the run's files: `needed` bytes where `available` are free (the
    // set's files, `path` its base path; the joined file `path`), or a file of `needed` bytes at
    // `path` where the file system `fileSystem` holds none above `available`.
    SetNeedsSpace,
    FileNeedsSpace,
    FileTooLarge,
};

struct PlanRefusal
{
    Refusal what = Refusal::None;
    PathString path;
    FileError error = FileError::None;
    int32_t count = 0; // BeyondCount
    int64_t needed = 0;
    int64_t available = 0;
    std::string fileSystem{};
};

struct SplitPlan
{
    PlanRefusal refusal; // what is None when the split may start
    PathString sourcePath;
    PathString destFolder;
    PathString base; // B: every name of the set is B and a suffix
    ChipSetSizing sizing;
    int64_t sourceLength = 0;
    FileStamp sourceStamp;
    // Chips or a header chip of this base path are in the folder already: the dialog asks, and
    // the command line wants --force, before they are replaced.
    bool replacesFiles = false;
};

// sizeEntry: the chip size in MB as entered (0 for an empty or unreadable entry). writeChecksums:
// the set gets a checksum file, whose name must fit and which needs its room.
SplitPlan PlanSplit(const PathString& sourcePath, int64_t sizeEntry, const PathString& destFolder,
                    bool writeChecksums = true);

struct MergePlan
{
    PlanRefusal refusal;
    PathString headerPath; // as chosen: the header chip, or a chip 01 to 99 of the set
    PathString chipBasePath;
    PathString destPath;
    int32_t chipTotal = 0;
    std::vector<int64_t> chipLengths;  // chip k's length at index k - 1
    std::vector<FileStamp> chipStamps; // what each chip was when planned: a join checks it has not changed
    bool replacesFile = false;         // a file of the destination's name exists
    // The set's checksum file, when it has one: the join is checked against it chip by chip.
    bool checksummed = false;
    std::vector<Digest> chipDigests;
    Digest sourceDigest{};

    int64_t TotalLength() const;    // the joined file's length
    uint32_t ProgressRange() const; // copy blocks of the whole set
};

// The count of a set's header chip, read through headerPath (the header chip or a chip 01 to 99 of
// its set; countPath is set to the file read): 0 when the header is shorter than its 4 bytes.
FileError ReadSetCount(const PathString& headerPath, int32_t* count, PathString* countPath);

// The set's checks: present, regular files reached without a link, chips 1 to N-1 of chip 1's
// length, the last from 1 byte to that length, no chip of the set's name beyond the count. With
// checkSetOnly (the command line's info) the destination is not looked at.
MergePlan PlanMerge(const PathString& headerPath, const PathString& destFolder, bool checkSetOnly = false);

// What verify finds of each chip when it reads the set against its checksum file.
enum class ChipVerdict { Ok, Damaged, Missing, WrongLength };

struct SetVerification
{
    PlanRefusal refusal; // a header or checksum file that allows no check at all
    std::vector<PathString> chipPaths;
    std::vector<ChipVerdict> chips;
    bool sourceOk = false; // every chip Ok and the whole source's line matches them joined
};

SetVerification VerifyChipSet(const PathString& headerPath);

// Fill the job record from a plan that refused nothing. replace: the user agreed to replace the
// files that the plan found (replacesFiles / replacesFile); without it the run refuses them too.
// writeChecksums: the split also writes the set's checksum file.
void LoadComminuteJob(const SplitPlan& plan, bool replace, bool writeChecksums = true);
void LoadMergeJob(const MergePlan& plan, bool replace);

} // namespace zelvo
