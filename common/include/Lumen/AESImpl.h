#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace Lumen {

// AES-CBC over OpenSSL's EVP interface, key and vector derived from a
// passphrase the way "openssl enc -md md5 -nosalt" does.
class AESImpl {
public:
    using Buffer = std::shared_ptr<unsigned char>;

    AESImpl() = default;
    virtual ~AESImpl();
    AESImpl(const AESImpl&) = delete;
    AESImpl& operator=(const AESImpl&) = delete;

    bool Init(const std::string& passphrase);

    // On success replaces `buffer` with a new array holding the result, sets
    // `length` to its size and returns 0; -2 when no cipher context or output
    // buffer could be had; -1 before Init. PKCS#7 padding is always on.
    int Encrypt(Buffer& buffer, int& length);
    int Decrypt(Buffer& buffer, int& length);

    bool IsInitialized() const { return initialized_; }

private:
    int Run(bool encrypt, Buffer& buffer, int& length);

    int keySize_ = 0;  // 1 AES-128, 2 AES-192, 3 AES-256
    unsigned char key_[64] = {};
    unsigned char iv_[16] = {};
    bool initialized_ = false;
};

}  // namespace Lumen
