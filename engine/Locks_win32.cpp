// Set locks on Win32 are mutexes in the session's Local\ namespace, which another user's session
// cannot open: no file to plant or hold in a shared folder, and the system gives up a mutex of a
// process that ended however it ended. A split takes every slot of its set; a merge takes one, so
// merges of one set run side by side and never beside a split.
#include "Locks.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <windows.h>

namespace zelvo {
namespace {

constexpr int kSlots = 16; // merges of one set at a time

// A thread takes a mutex it owns again without waiting: the slots this process holds are kept here
// so that a second lock of a set in the same thread is refused like one in another process.
std::mutex g_heldMutex;
std::set<PathString> g_held;

// A mutex of this thread's, or nullptr when another holder has it.
HANDLE TakeSlot(const PathString& name, DWORD* failure)
{
    const std::lock_guard guard(g_heldMutex);
    if (!g_held.insert(name).second) {
        *failure = ERROR_LOCK_VIOLATION;
        return nullptr;
    }
    HANDLE mutex = ::CreateMutexW(nullptr, FALSE, name.c_str());
    if (!mutex) {
        *failure = ::GetLastError();
        g_held.erase(name);
        return nullptr;
    }
    // Abandoned: its holder ended without giving it up, which leaves it ours all the same.
    const DWORD waited = ::WaitForSingleObject(mutex, 0);
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED)
        return mutex;
    *failure = waited == WAIT_TIMEOUT ? ERROR_LOCK_VIOLATION : ::GetLastError();
    ::CloseHandle(mutex);
    g_held.erase(name);
    return nullptr;
}

PathString SlotName(const PathString& name, int k)
{
    return name + L"-" + std::to_wstring(k);
}

struct Slots
{
    PathString name;
    std::array<HANDLE, kSlots> handles{};
};

} // namespace

void SetLock::Release()
{
    // A mutex is given up by the thread that took it, as the plans and workers do.
    auto* slots = static_cast<Slots*>(held_.slots);
    if (slots) {
        const std::lock_guard guard(g_heldMutex);
        for (int k = 0; k < kSlots; ++k) {
            if (slots->handles[k]) {
                ::ReleaseMutex(slots->handles[k]);
                ::CloseHandle(slots->handles[k]);
                g_held.erase(SlotName(slots->name, k));
            }
        }
        delete slots;
    }
    held_.slots = nullptr;
}

SetLock SetLock::Acquire(const PathString& base, LockMode mode)
{
    // Two runs name one set alike once the path is made absolute and its case folded (the file
    // systems here ignore case): the lock's name is a hash of that.
    PathString key(::GetFullPathNameW(base.c_str(), 0, nullptr, nullptr), L'\0');
    key.resize(key.empty() ? 0 : ::GetFullPathNameW(base.c_str(), DWORD(key.size()), key.data(), nullptr));
    if (key.empty())
        key = base;
    ::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_LOWERCASE, key.data(), int(key.size()), key.data(), int(key.size()),
                    nullptr, nullptr, 0);
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const wchar_t unit : key) {
        hash = (hash ^ (uint16_t(unit) & 0xff)) * 0x100000001b3ull;
        hash = (hash ^ (uint16_t(unit) >> 8)) * 0x100000001b3ull;
    }
    PathString name = L"Local\\zelvo-set-";
    for (int shift = 60; shift >= 0; shift -= 4)
        name.push_back(L"0123456789abcdef"[(hash >> shift) & 0xf]);

    SetLock lock;
    lock.path_ = base;
    auto* slots = new Slots{name, {}};
    lock.held_.slots = slots;
    DWORD failure = ERROR_LOCK_VIOLATION;
    bool held = false;
    for (int k = 0; k < kSlots; ++k) {
        slots->handles[k] = TakeSlot(SlotName(name, k), &failure);
        held = slots->handles[k] != nullptr;
        if (mode == LockMode::Shared ? held : !held)
            break;
    }
    if (held) {
        lock.status_ = LockStatus::Held;
        lock.error_ = FileError::None;
    } else {
        lock.Release();
        lock.status_ = failure == ERROR_LOCK_VIOLATION ? LockStatus::Busy : LockStatus::Failed;
        lock.error_ = failure == ERROR_LOCK_VIOLATION ? FileError::Locking : FileError::AccessDenied;
    }
    return lock;
}

} // namespace zelvo
