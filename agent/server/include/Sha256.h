#pragma once

#include <cstddef>
#include <memory>
#include <string>

// Incremental SHA-256 over bytes fed in pieces. Hex() ends the digest: after
// it the object takes no more input.
class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False when the digest could not be set up or updated (then Hex() is "").
    bool Update(const void* data, size_t size);
    // The digest as 64 lower-case hex digits; "" after a failure.
    std::string Hex();

    static std::string HexOf(const void* data, size_t size);

private:
    struct Context;
    std::unique_ptr<Context> context_;
    bool failed_ = false;
};
