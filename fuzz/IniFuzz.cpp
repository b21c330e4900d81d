// libFuzzer target: any bytes as a language file. The sanitizers watch the reading; besides, every
// regular file must load, and a load that opened its file reports no error.
#include "CIniFile.h"

#include <cstdint>
#include <cstdlib>
#include <sys/mman.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size)
{
    // A file in memory, reached through its descriptor's name: nothing is written to disk, and
    // nothing is left behind when libFuzzer ends the process.
    static const int fd = memfd_create("zelvo-ini-fuzz", 0);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (fd < 0 || ftruncate(fd, 0) != 0 || pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        std::abort();
    CIniFile ini;
    ini.SetPath(std::u16string(path.begin(), path.end()));
    if (!ini.Load() || !ini.LastError().empty())
        std::abort();
    return 0;
}
