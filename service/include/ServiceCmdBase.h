#pragma once

#include <cstdint>

// A unit of work for the service controller's worker thread.
class ServiceCmdBase {
public:
    explicit ServiceCmdBase(int32_t type) : type_(type) {}
    virtual ~ServiceCmdBase() = default;

    int32_t GetType() const { return type_; }
    int32_t GetResult() const { return result_; }
    void SetResult(int32_t result) { result_ = result; }

private:
    int32_t type_;
    int32_t result_ = 0;
};
