// libFuzzer target: any bytes as a set's checksum file, the other file of someone else's that the
// program reads. The sanitizers watch the reading; besides, whatever the reader takes, the writer
// must write so that the reader takes it back the same, name for name and digest for digest.
#include "Checksums.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    std::vector<zelvo::SidecarLine> lines, again;
    if (zelvo::ParseSidecar(std::string(reinterpret_cast<const char*>(data), size), &lines) &&
        (!zelvo::ParseSidecar(zelvo::FormatSidecar(lines), &again) || again != lines))
        std::abort();
    return 0;
}
