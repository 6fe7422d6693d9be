#pragma once

#include <windows.h>
#include <winhttp.h>
#include <winsvc.h>

#include <utility>

namespace Lumen {

// Move-only owner of one Win32 handle. Traits name the handle type, its
// invalid value, and how to close it. Closing preserves GetLastError so that
// cleanup on an error path never hides the code the caller is about to log.
template <typename Traits>
class UniqueHandle {
public:
    using Type = typename Traits::Type;

    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Type value) noexcept : value_(value) {}
    ~UniqueHandle() { Reset(); }

    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : value_(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    Type Get() const noexcept { return value_; }
    bool IsValid() const noexcept { return Traits::IsValid(value_); }
    explicit operator bool() const noexcept { return IsValid(); }

    // Gives up ownership without closing.
    Type Release() noexcept { return std::exchange(value_, Traits::Invalid()); }

    void Reset(Type value = Traits::Invalid()) noexcept
    {
        Type old = std::exchange(value_, value);
        if (Traits::IsValid(old)) {
            const DWORD error = ::GetLastError();
            Traits::Close(old);
            ::SetLastError(error);
        }
    }

    // For out-parameters: closes what is held and exposes the slot.
    Type* Put() noexcept
    {
        Reset();
        return &value_;
    }

private:
    Type value_ = Traits::Invalid();
};

// Kernel objects: both null and INVALID_HANDLE_VALUE mean "none", since Win32
// uses either depending on the call.
struct KernelHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr && h != INVALID_HANDLE_VALUE; }
    static void Close(Type h) noexcept { ::CloseHandle(h); }
};

struct ServiceHandleTraits {
    using Type = SC_HANDLE;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::CloseServiceHandle(h); }
};

// WinHTTP session, connection and request handles (users link winhttp).
struct InternetHandleTraits {
    using Type = HINTERNET;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::WinHttpCloseHandle(h); }
};

// Memory the system allocated with LocalAlloc (security descriptors, message texts).
struct LocalMemoryTraits {
    using Type = HLOCAL;
    static Type Invalid() noexcept { return nullptr; }
    static bool IsValid(Type h) noexcept { return h != nullptr; }
    static void Close(Type h) noexcept { ::LocalFree(h); }
};

// Directory searches (FindFirstFileW), which fail with INVALID_HANDLE_VALUE.
struct FindHandleTraits {
    using Type = HANDLE;
    static Type Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Type h) noexcept { return h != INVALID_HANDLE_VALUE && h != nullptr; }
    static void Close(Type h) noexcept { ::FindClose(h); }
};

using ScopedHandle = UniqueHandle<KernelHandleTraits>;
using ScopedFindHandle = UniqueHandle<FindHandleTraits>;
using ScopedLocalMemory = UniqueHandle<LocalMemoryTraits>;
using ScopedServiceHandle = UniqueHandle<ServiceHandleTraits>;
using ScopedInternetHandle = UniqueHandle<InternetHandleTraits>;

}  // namespace Lumen
