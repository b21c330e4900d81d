#include "ChipSet.h"

#include <cstdio>

namespace zelvo {
namespace {

using Char = PathString::value_type;

#ifdef _WIN32
constexpr Char kSeparator = L'\\';
bool IsNameSeparator(Char c)
{
    return c == L'\\' || c == L'/' || c == L':';
}
// A folder chosen through Qt on Windows may end in "/" (such as "E:/"): no second separator.
bool EndsWithSeparator(const PathString& folder)
{
    return !folder.empty() && (folder.back() == L'\\' || folder.back() == L'/');
}
#else
constexpr Char kSeparator = '/';
bool IsNameSeparator(Char c)
{
    return c == '/';
}
bool EndsWithSeparator(const PathString& folder)
{
    return !folder.empty() && folder.back() == '/';
}
#endif

// The set's names are ASCII apart from the base path, so suffixes are built narrow and widened.
PathString Widen(const char* text)
{
    PathString out;
    for (; *text; ++text)
        out.push_back(static_cast<Char>(static_cast<unsigned char>(*text)));
    return out;
}

PathString DropLast(const PathString& text, std::size_t count)
{
    return text.size() > count ? text.substr(0, text.size() - count) : PathString();
}

PathString JoinFolder(const PathString& folder, const PathString& name)
{
    PathString out = folder;
    if (!EndsWithSeparator(folder))
        out.push_back(kSeparator);
    out += name;
    return out;
}

} // namespace

SizingStatus SizeChipSet(int64_t sourceLength, int64_t sizeEntry, ChipSetSizing* out)
{
    if (sizeEntry <= 0 || sizeEntry > kMaxSizeEntry)
        return SizingStatus::InvalidSize;
    const int64_t chipSize = sizeEntry * kMegabyte;
    // A one-chip set could never be joined (a header count below 2 is a bad header), so a
    // source of exactly one chip is not cut either.
    if (sourceLength <= chipSize)
        return SizingStatus::SourceTooSmall;
    const int64_t count = sourceLength / chipSize + (sourceLength % chipSize != 0 ? 1 : 0);
    if (count > kMaxChips)
        return SizingStatus::TooManyChips;
    out->chipSize = static_cast<uint32_t>(chipSize);
    out->blocksPerChip = static_cast<uint32_t>(chipSize / kCopyBlock);
    out->chipCount = static_cast<uint32_t>(count);
    out->totalBlocks = static_cast<uint32_t>(CopyBlocksOf(sourceLength));
    return SizingStatus::Ok;
}

PathString FileNameOf(const PathString& path)
{
    for (std::size_t i = path.size(); i > 0; --i) {
        if (IsNameSeparator(path[i - 1]))
            return path.substr(i);
    }
    return path;
}

PathString BasePath(const PathString& folder, const PathString& sourcePath)
{
    return JoinFolder(folder, FileNameOf(sourcePath));
}

PathString ChipName(const PathString& base, int64_t k)
{
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".D%02lld", static_cast<long long>(k));
    return base + Widen(suffix);
}

PathString HeaderChipName(const PathString& base)
{
    return base + Widen(".DAV");
}

PathString CountFilePath(const PathString& headerPath)
{
    return DropLast(headerPath, 2) + Widen("AV");
}

PathString SourceNameOfHeader(const PathString& headerPath)
{
    return DropLast(FileNameOf(headerPath), 4);
}

PathString BasePathOfHeader(const PathString& headerPath)
{
    return DropLast(headerPath, 4);
}

PathString MergeDestPath(const PathString& folder, const PathString& sourceName)
{
    return JoinFolder(folder, sourceName);
}

std::array<unsigned char, kHeaderLength> EncodeHeader(uint32_t chipCount)
{
    return {static_cast<unsigned char>(chipCount & 0xFF), static_cast<unsigned char>(chipCount >> 8 & 0xFF),
            static_cast<unsigned char>(chipCount >> 16 & 0xFF), static_cast<unsigned char>(chipCount >> 24 & 0xFF)};
}

int32_t DecodeHeader(const std::array<unsigned char, kHeaderLength>& bytes)
{
    const uint32_t value =
        uint32_t(bytes[0]) | uint32_t(bytes[1]) << 8 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[3]) << 24;
    return static_cast<int32_t>(value);
}

} // namespace zelvo
