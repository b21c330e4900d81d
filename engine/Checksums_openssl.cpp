// SHA-256 from OpenSSL's libcrypto, which uses the processor's SHA extensions where it has them.
#include "Checksums.h"

#include <openssl/evp.h>

namespace zelvo {

struct Sha256::State
{
    EVP_MD_CTX* context = EVP_MD_CTX_new();
};

Sha256::Sha256() : state_(std::make_unique<State>())
{
    EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr);
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(state_->context);
}

void Sha256::Update(const void* data, std::size_t size)
{
    EVP_DigestUpdate(state_->context, data, size);
}

Digest Sha256::Finish()
{
    Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(state_->context, digest.data(), &length);
    EVP_DigestInit_ex(state_->context, EVP_sha256(), nullptr);
    return digest;
}

// POSIX names are bytes; the sidecar holds them as they are.
std::string Utf8Of(const PathString& path)
{
    return path;
}

PathString PathOfUtf8(const std::string& text)
{
    return text;
}

} // namespace zelvo
