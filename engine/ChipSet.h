// The chip set: how a source is sized into chips and how every file of a set is named. Pure
// functions over numbers and path text; nothing here touches the disk.
#pragma once

#include "FileIO.h"

#include <array>
#include <cstdint>

namespace zelvo {

inline constexpr uint32_t kCopyBlock = 65536;   // unit of copying and of progress
inline constexpr uint32_t kMaxChips = 100;      // most chips in one set
inline constexpr int64_t kMaxSizeEntry = 4095;  // largest chip size in MB that fits 32 bits
inline constexpr uint32_t kMegabyte = 1048576;  // unit of the size entry
inline constexpr std::size_t kHeaderLength = 4; // the header chip holds the count, nothing else

// The copy blocks that carry length bytes, the last one short.
inline constexpr int64_t CopyBlocksOf(int64_t length)
{
    return length / kCopyBlock + (length % kCopyBlock != 0 ? 1 : 0);
}

enum class SizingStatus { Ok, InvalidSize, SourceTooSmall, TooManyChips };

struct ChipSetSizing
{
    uint32_t chipSize = 0;      // S in bytes
    uint32_t blocksPerChip = 0; // S / 65,536
    uint32_t chipCount = 0;     // N
    uint32_t totalBlocks = 0;   // copy blocks of the whole source: the split's progress range
};

// Sizes a set for a source of sourceLength bytes and chips of sizeEntry MB. A size entry of 0, a
// negative one or one of 4,096 or more is InvalidSize; a source no longer than one chip (an empty
// one too) is SourceTooSmall; more than 100 chips is TooManyChips.
SizingStatus SizeChipSet(int64_t sourceLength, int64_t sizeEntry, ChipSetSizing* out);

// The file name part of a path: after the last "/" on POSIX (a colon is an ordinary character
// there), after the last "\", "/" or ":" on Windows.
PathString FileNameOf(const PathString& path);

// B: the folder, a separator unless it already ends with one, then the source's file name.
PathString BasePath(const PathString& folder, const PathString& sourcePath);

// B followed by ".D%02d" of k: .D01 … .D99, .D100; a negative k gives ".D-1".
PathString ChipName(const PathString& base, int64_t k);

// B followed by ".DAV".
PathString HeaderChipName(const PathString& base);

// The merge side's derivations from the chosen header chip path H.
PathString CountFilePath(const PathString& headerPath);      // H less its last 2 characters, + "AV"
PathString SourceNameOfHeader(const PathString& headerPath); // file name less its last 4, or empty
PathString BasePathOfHeader(const PathString& headerPath);   // H less its last 4 characters
PathString MergeDestPath(const PathString& folder, const PathString& sourceName);

std::array<unsigned char, kHeaderLength> EncodeHeader(uint32_t chipCount);
int32_t DecodeHeader(const std::array<unsigned char, kHeaderLength>& bytes);

} // namespace zelvo
