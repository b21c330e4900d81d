// A read error at a chosen offset of one chosen file, for the fault tests. This executable defines
// read() and copy_file_range() itself, so the engine's calls land here before the C library's
// (the same interposition an LD_PRELOAD shim would do, without the loader ordering that sanitizer
// runtimes dislike). Every other descriptor passes straight to the kernel.
#include "ReadFault.h"

#include <atomic>
#include <cerrno>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_armed{false};
std::atomic<uint64_t> g_device{0};
std::atomic<uint64_t> g_inode{0};
std::atomic<int64_t> g_failAt{0};

// How many bytes from `pos` may still be read before the bad spot; -1 when the descriptor is not
// the target.
int64_t Allowance(int fd, int64_t pos)
{
    if (!g_armed.load())
        return -1;
    struct stat info;
    if (::fstat(fd, &info) != 0 || info.st_dev != g_device.load() || info.st_ino != g_inode.load())
        return -1;
    const int64_t failAt = g_failAt.load();
    return pos < failAt ? failAt - pos : 0;
}

} // namespace

namespace zelvo::test {

bool InjectReadError(const PathString& path, int64_t offset)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0)
        return false;
    g_device = info.st_dev;
    g_inode = info.st_ino;
    g_failAt = offset;
    g_armed = true;
    return true;
}

void ClearReadError()
{
    g_armed = false;
}

} // namespace zelvo::test

extern "C" ssize_t read(int fd, void* buffer, size_t size)
{
    int64_t allowed = Allowance(fd, ::lseek(fd, 0, SEEK_CUR));
    if (allowed == 0) {
        errno = EIO;
        return -1;
    }
    if (allowed > 0 && size > static_cast<size_t>(allowed))
        size = static_cast<size_t>(allowed);
    return ::syscall(SYS_read, fd, buffer, size);
}

extern "C" ssize_t copy_file_range(int in, loff_t* inOffset, int out, loff_t* outOffset, size_t size,
                                   unsigned int flags)
{
    const int64_t pos = inOffset ? *inOffset : ::lseek(in, 0, SEEK_CUR);
    const int64_t allowed = Allowance(in, pos);
    if (allowed == 0) {
        errno = EIO;
        return -1;
    }
    if (allowed > 0 && size > static_cast<size_t>(allowed))
        size = static_cast<size_t>(allowed);
    return ::syscall(SYS_copy_file_range, in, inOffset, out, outOffset, size, flags);
}
