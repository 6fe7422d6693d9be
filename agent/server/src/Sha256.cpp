#include "Sha256.h"

#include <openssl/evp.h>

struct Sha256::Context {
    EVP_MD_CTX* digest = nullptr;
    ~Context()
    {
        if (digest != nullptr) EVP_MD_CTX_free(digest);
    }
};

Sha256::Sha256() : context_(new Context)
{
    context_->digest = EVP_MD_CTX_new();
    failed_ = context_->digest == nullptr || EVP_DigestInit_ex(context_->digest, EVP_sha256(), nullptr) != 1;
}

Sha256::~Sha256() = default;

bool Sha256::Update(const void* data, size_t size)
{
    if (failed_) return false;
    if (size > 0 && EVP_DigestUpdate(context_->digest, data, size) != 1) failed_ = true;
    return !failed_;
}

std::string Sha256::Hex()
{
    if (failed_) return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    // Finished once: a second call must not hash on from a spent context.
    failed_ = true;
    if (EVP_DigestFinal_ex(context_->digest, digest, &length) != 1) return {};
    static const char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += kDigits[digest[i] >> 4];
        hex += kDigits[digest[i] & 0x0f];
    }
    return hex;
}

std::string Sha256::HexOf(const void* data, size_t size)
{
    Sha256 hash;
    hash.Update(data, size);
    return hash.Hex();
}
