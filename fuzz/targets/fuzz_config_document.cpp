// The configuration file: decrypted as the configuration store does, then its
// JSON settings document. The first byte picks whether the rest is the
// encrypted file (odd) or already the decrypted text (even), so that the
// fuzzer also reaches the document directly.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "ConfigDocument.h"
#include "FuzzCheck.h"
#include "Lumen/AES.h"

namespace {

void ReadDocument(const char* text, size_t length)
{
    ConfigValues values;
    std::string error = "unset";
    if (!ParseConfigDocument(text, length, &values, &error)) {
        // Text that is not JSON reads nothing.
        PAVO_FUZZ_CHECK(!values.userId && !values.password && !values.autoLogin && !values.installing &&
                        !values.testMode && !values.notice);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    const bool encrypted = (data[0] & 1) != 0;
    ++data;
    --size;
    if (!encrypted) {
        ReadDocument(reinterpret_cast<const char*>(data), size);
        return 0;
    }
    Lumen::AES aes;
    PAVO_FUZZ_CHECK(aes.Init("serial-1"));
    int length = static_cast<int>(size);
    Lumen::AESImpl::Buffer buffer(new unsigned char[size + 1], std::default_delete<unsigned char[]>());
    std::copy(data, data + size, buffer.get());
    if (aes.GetImpl()->Decrypt(buffer, length) != 0) return 0;
    PAVO_FUZZ_CHECK(length >= 0 && static_cast<size_t>(length) <= size);
    ReadDocument(reinterpret_cast<const char*>(buffer.get()), static_cast<size_t>(length));
    return 0;
}
