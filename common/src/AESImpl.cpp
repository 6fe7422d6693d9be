#include "Lumen/AESImpl.h"

#include <openssl/evp.h>

#include <cstring>
#include <new>

namespace Lumen {

namespace {

struct CipherContextDeleter {
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
};

const EVP_CIPHER* CipherFor(int keySize)
{
    switch (keySize) {
    case 1: return EVP_aes_128_cbc();
    case 2: return EVP_aes_192_cbc();
    case 3: return EVP_aes_256_cbc();
    default: return nullptr;
    }
}

}  // namespace

AESImpl::~AESImpl()
{
    // The key is a secret of this computer: do not leave it in freed memory.
    OPENSSL_cleanse(key_, sizeof(key_));
    OPENSSL_cleanse(iv_, sizeof(iv_));
}

bool AESImpl::Init(const std::string& passphrase)
{
    initialized_ = false;
    std::memset(key_, 0, sizeof(key_));
    std::memset(iv_, 0, sizeof(iv_));
    keySize_ = 3;
    const EVP_MD* md5 = EVP_get_digestbyname("md5");
    if (md5 == nullptr) return false;
    const int derived = EVP_BytesToKey(EVP_aes_256_cbc(), md5, nullptr,
                                       reinterpret_cast<const unsigned char*>(passphrase.data()),
                                       static_cast<int>(passphrase.size()), 1, key_, iv_);
    initialized_ = derived != 0;
    return initialized_;
}

int AESImpl::Encrypt(Buffer& buffer, int& length)
{
    return Run(true, buffer, length);
}

int AESImpl::Decrypt(Buffer& buffer, int& length)
{
    return Run(false, buffer, length);
}

int AESImpl::Run(bool encrypt, Buffer& buffer, int& length)
{
    const EVP_CIPHER* cipher = CipherFor(keySize_);
    if (!initialized_ || cipher == nullptr) return -1;
    if (length < 0 || (length > 0 && !buffer)) return -1;
    std::unique_ptr<EVP_CIPHER_CTX, CipherContextDeleter> context(EVP_CIPHER_CTX_new());
    if (!context) return -2;
    const int ok = encrypt ? EVP_EncryptInit(context.get(), cipher, key_, iv_)
                           : EVP_DecryptInit(context.get(), cipher, key_, iv_);
    if (!ok) return -2;

    const size_t capacity = static_cast<size_t>(length) + EVP_CIPHER_block_size(cipher) + 1;
    Buffer output(new (std::nothrow) unsigned char[capacity], std::default_delete<unsigned char[]>());
    if (!output) return -2;
    std::memset(output.get(), 0, capacity);

    // A wrong key or damaged data gives a short or garbled result, which the
    // reader of the text rejects; the steps' results are not a verdict here.
    int updated = 0;
    int finished = 0;
    if (encrypt) {
        EVP_EncryptUpdate(context.get(), output.get(), &updated, buffer.get(), length);
        EVP_EncryptFinal(context.get(), output.get() + updated, &finished);
    } else {
        EVP_DecryptUpdate(context.get(), output.get(), &updated, buffer.get(), length);
        EVP_DecryptFinal(context.get(), output.get() + updated, &finished);
    }
    buffer = output;
    length = updated + finished;
    return 0;
}

}  // namespace Lumen
