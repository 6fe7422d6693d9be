#pragma once

#include <memory>
#include <string>

#include "Lumen/AESImpl.h"

namespace Lumen {

// The cipher facade: owns one AESImpl for its life.
class AES {
public:
    AES() : impl_(std::make_unique<AESImpl>()) {}
    virtual ~AES() = default;
    AES(const AES&) = delete;
    AES& operator=(const AES&) = delete;

    bool Init(const std::string& passphrase) { return impl_->Init(passphrase); }
    AESImpl* GetImpl() { return impl_.get(); }

private:
    std::unique_ptr<AESImpl> impl_;
};

}  // namespace Lumen
