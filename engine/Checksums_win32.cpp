// SHA-256 from the system's BCrypt (CNG), which uses the processor's SHA extensions where it has
// them; names are UTF-16 here and UTF-8 in the sidecar.
#include "Checksums.h"

#include <algorithm>
#include <climits>
#include <windows.h>
// bcrypt.h takes its types from windows.h
#include <bcrypt.h>

namespace zelvo {
namespace {

// Opened once and kept for the process: the provider is the costly part, and hashes made from it
// may run on any thread.
BCRYPT_ALG_HANDLE Provider()
{
    static const BCRYPT_ALG_HANDLE provider = [] {
        BCRYPT_ALG_HANDLE handle = nullptr;
        ::BCryptOpenAlgorithmProvider(&handle, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
        return handle;
    }();
    return provider;
}

} // namespace

struct Sha256::State
{
    BCRYPT_HASH_HANDLE hash = nullptr;
    // A reusable hash starts afresh by itself after each finish (Windows 8 and later, and Wine);
    // before that a finished hash is spent and a new one is made.
    bool reusable = true;

    void Create()
    {
        if (reusable &&
            BCRYPT_SUCCESS(::BCryptCreateHash(Provider(), &hash, nullptr, 0, nullptr, 0, BCRYPT_HASH_REUSABLE_FLAG)))
            return;
        reusable = false;
        ::BCryptCreateHash(Provider(), &hash, nullptr, 0, nullptr, 0, 0);
    }
};

Sha256::Sha256() : state_(std::make_unique<State>())
{
    state_->Create();
}

Sha256::~Sha256()
{
    if (state_->hash)
        ::BCryptDestroyHash(state_->hash);
}

void Sha256::Update(const void* data, std::size_t size)
{
    // BCrypt counts in ULONG: 32 bits, also on 64-bit Windows.
    auto* bytes = static_cast<UCHAR*>(const_cast<void*>(data));
    while (size > 0) {
        const ULONG piece = ULONG(std::min<std::size_t>(size, ULONG_MAX));
        ::BCryptHashData(state_->hash, bytes, piece, 0);
        bytes += piece;
        size -= piece;
    }
}

Digest Sha256::Finish()
{
    Digest digest{};
    ::BCryptFinishHash(state_->hash, digest.data(), ULONG(digest.size()), 0);
    if (!state_->reusable) {
        ::BCryptDestroyHash(state_->hash);
        state_->hash = nullptr;
        state_->Create();
    }
    return digest;
}

std::string Utf8Of(const PathString& path)
{
    if (path.empty())
        return {};
    const int wide = int(path.size());
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, path.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string text(std::size_t(std::max(size, 0)), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, path.data(), wide, text.data(), size, nullptr, nullptr);
    return text;
}

PathString PathOfUtf8(const std::string& text)
{
    if (text.empty())
        return {};
    const int narrow = int(text.size());
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), narrow, nullptr, 0);
    PathString path(std::size_t(std::max(size, 0)), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), narrow, path.data(), size);
    return path;
}

} // namespace zelvo
