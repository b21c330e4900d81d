// The parts of the checksums that do not depend on the platform's SHA-256.
#include "Checksums.h"

#include "ChipSet.h"

#include <algorithm>

namespace zelvo {
namespace {

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string ToHex(const Digest& digest)
{
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const unsigned char byte : digest) {
        hex.push_back(kDigits[byte >> 4]);
        hex.push_back(kDigits[byte & 15]);
    }
    return hex;
}

PathString SidecarName(const PathString& base)
{
    return base + PathOfUtf8(".sha256");
}

std::vector<SidecarLine> SetSidecarLines(const PathString& base, uint32_t chipCount, const PathString& sourceName)
{
    std::vector<SidecarLine> lines;
    for (uint32_t k = 1; k <= chipCount; ++k)
        lines.push_back({{}, Utf8Of(FileNameOf(ChipName(base, k)))});
    lines.push_back({{}, Utf8Of(sourceName)});
    return lines;
}

std::string FormatSidecar(const std::vector<SidecarLine>& lines)
{
    std::string text;
    for (const SidecarLine& line : lines) {
        // sha256sum's own escaping: a line whose name holds a backslash, a line feed or a carriage
        // return starts with a backslash, and those three are written as \\, \n and \r. A bare CR
        // would be taken for the end of a line written on Windows.
        if (line.name.find_first_of("\\\n\r") != std::string::npos)
            text.push_back('\\');
        text += ToHex(line.digest) + "  ";
        for (const char c : line.name) {
            if (c == '\\')
                text += "\\\\";
            else if (c == '\n')
                text += "\\n";
            else if (c == '\r')
                text += "\\r";
            else
                text.push_back(c);
        }
        text.push_back('\n');
    }
    return text;
}

bool ParseSidecar(const std::string& text, std::vector<SidecarLine>* lines)
{
    lines->clear();
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size(); // a last line without its LF, as an editor may leave it
        std::string line = text.substr(at, end - at);
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back(); // a CRLF line end; a CR of the name itself is always escaped
        const bool escaped = !line.empty() && line.front() == '\\';
        if (escaped)
            line.erase(0, 1);
        // 64 digits, then "  " (text mode) or " *" (binary mode), then a name.
        if (line.size() < 67 || line[64] != ' ' || (line[65] != ' ' && line[65] != '*'))
            return false;
        SidecarLine parsed;
        for (std::size_t i = 0; i < parsed.digest.size(); ++i) {
            const int high = HexValue(line[2 * i]), low = HexValue(line[2 * i + 1]);
            if (high < 0 || low < 0)
                return false;
            parsed.digest[i] = static_cast<unsigned char>(high << 4 | low);
        }
        for (std::size_t i = 66; i < line.size(); ++i) {
            if (!escaped || line[i] != '\\') {
                parsed.name.push_back(line[i]);
                continue;
            }
            // As sha256sum -c reads it: \\, \n and \r, and nothing else, not even a lone backslash
            // at the end.
            const char next = ++i < line.size() ? line[i] : '\0';
            if (next != '\\' && next != 'n' && next != 'r')
                return false;
            parsed.name.push_back(next == 'n' ? '\n' : next == 'r' ? '\r' : '\\');
        }
        lines->push_back(std::move(parsed));
    }
    return !lines->empty();
}

HashPipeline::HashPipeline(Lanes lanes)
{
    for (Slot& slot : slots_)
        slot.data = std::make_unique<unsigned char[]>(kBlock);
    if (lanes == Lanes::ChipsAndWhole)
        lanes_[0] = std::thread([this] { Lane(0); });
    lanes_[1] = std::thread([this] { Lane(1); });
}

HashPipeline::~HashPipeline()
{
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& lane : lanes_) {
        if (lane.joinable())
            lane.join();
    }
}

uint64_t HashPipeline::Slowest() const
{
    return lanes_[0].joinable() ? std::min(done_[0], done_[1]) : done_[1];
}

unsigned char* HashPipeline::Acquire()
{
    std::unique_lock lock(mutex_);
    // The slot to fill next is free once every lane is past it.
    changed_.wait(lock, [this] { return written_ - Slowest() < kSlots; });
    return slots_[written_ % kSlots].data.get();
}

void HashPipeline::Submit(std::size_t size)
{
    Push(size, false);
}

void HashPipeline::EndChip()
{
    Acquire();
    Push(0, true);
}

void HashPipeline::Push(std::size_t size, bool endChip)
{
    {
        const std::lock_guard lock(mutex_);
        Slot& slot = slots_[written_ % kSlots];
        slot.size = size;
        slot.endChip = endChip;
        ++written_;
    }
    changed_.notify_all();
}

void HashPipeline::Lane(int lane)
{
    Sha256& hash = lane == 0 ? chip_ : whole_;
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stop_ || done_[lane] < written_; });
        if (done_[lane] == written_)
            return; // stopped with nothing left
        // What was handed over so far, in one go, but no more than a quarter of the ring, so that
        // the worker gets slots back while the lane goes on.
        const uint64_t from = done_[lane], to = std::min(written_, from + kSlots / 4);
        lock.unlock();
        std::vector<Digest> ended;
        for (uint64_t i = from; i < to; ++i) {
            // A slot stays the producer's to leave alone until done_ moves past it.
            const Slot& slot = slots_[i % kSlots];
            if (!slot.endChip)
                hash.Update(slot.data.get(), slot.size);
            else if (lane == 0)
                ended.push_back(hash.Finish());
        }
        lock.lock();
        chipDigests_.insert(chipDigests_.end(), ended.begin(), ended.end());
        done_[lane] = to;
        changed_.notify_all();
    }
}

void HashPipeline::Drain()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return Slowest() == written_; });
}

std::vector<Digest> HashPipeline::ChipDigests()
{
    Drain();
    const std::lock_guard lock(mutex_);
    return chipDigests_;
}

Digest HashPipeline::WholeDigest()
{
    Drain();
    return whole_.Finish();
}

} // namespace zelvo
