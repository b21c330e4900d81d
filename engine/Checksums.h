// SHA-256 checksums of a chip set, kept beside it in sha256sum's own format (<base>.sha256: one
// line per chip, then one for the whole source), so that any copy of a set can be checked with
// the tools every system has. Standard C++ over OpenSSL's libcrypto (POSIX) or BCrypt (Win32).
#pragma once

#include "FileIO.h"

#include <array>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace zelvo {

using Digest = std::array<unsigned char, 32>;

// One running SHA-256.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void Update(const void* data, std::size_t size);
    // The digest of everything given since the start or the last Finish; starts afresh.
    Digest Finish();

private:
    struct State;
    std::unique_ptr<State> state_;
};

std::string ToHex(const Digest& digest);

// A path's file name as the sidecar holds it (UTF-8), and back.
std::string Utf8Of(const PathString& path);
PathString PathOfUtf8(const std::string& text);

// <base>.sha256
PathString SidecarName(const PathString& base);

struct SidecarLine
{
    Digest digest{};
    std::string name; // UTF-8, relative to the sidecar's folder
    bool operator==(const SidecarLine&) const = default;
};

// The lines of a set's checksum file, digests left zero: chips 1 to chipCount by their names, then
// the source by sourceName (a file name).
std::vector<SidecarLine> SetSidecarLines(const PathString& base, uint32_t chipCount, const PathString& sourceName);

// Lines in sha256sum's format: 64 lowercase hex digits, two spaces, the name, LF. A name with a
// backslash, a line feed or a carriage return is escaped as sha256sum escapes it.
std::string FormatSidecar(const std::vector<SidecarLine>& lines);
// False for anything that is not such a text (a binary-mode "*" marker is taken as sha256sum
// takes it).
bool ParseSidecar(const std::string& text, std::vector<SidecarLine>* lines);

// Hashes the blocks a worker copies on threads of their own, so that hashing overlaps the
// copying: the chip lane restarts at every chip (the chips' digests), the whole lane runs over the
// whole stream (the source's digest). The worker takes a free buffer, fills it, writes it out and
// hands it over; it waits only when the hashing is a whole ring of blocks behind.
class HashPipeline
{
public:
    static constexpr std::size_t kBlock = 65536;
    enum class Lanes { ChipsAndWhole, WholeOnly };

    explicit HashPipeline(Lanes lanes = Lanes::ChipsAndWhole);
    ~HashPipeline();
    HashPipeline(const HashPipeline&) = delete;
    HashPipeline& operator=(const HashPipeline&) = delete;

    unsigned char* Acquire();
    void Submit(std::size_t size);     // the bytes of the buffer last acquired
    void EndChip();                    // the chip lane's digest of what came since the last end
    std::vector<Digest> ChipDigests(); // waits for every lane; digests of the chips ended so far
    Digest WholeDigest();              // waits; the digest of every byte submitted

private:
    struct Slot
    {
        std::unique_ptr<unsigned char[]> data;
        std::size_t size = 0;
        bool endChip = false;
    };
    // 8 MiB: a side that loses its core for a scheduler slice (a few ms, some MB at these rates)
    // finds the ring neither empty nor full when it gets the core back, so neither sleeps for it.
    static constexpr std::size_t kSlots = 128;
    void Lane(int lane);
    void Push(std::size_t size, bool endChip);
    void Drain();
    uint64_t Slowest() const; // slots the slowest lane has hashed

    std::mutex mutex_;
    std::condition_variable changed_;
    Slot slots_[kSlots];
    uint64_t written_ = 0;      // slots handed over
    uint64_t done_[2] = {0, 0}; // slots each lane has hashed
    bool stop_ = false;
    Sha256 chip_;
    Sha256 whole_;
    std::vector<Digest> chipDigests_;
    std::thread lanes_[2]; // the chip lane (none with WholeOnly) and the whole lane
};

} // namespace zelvo
