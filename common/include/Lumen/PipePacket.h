#pragma once

#include <windows.h>

#include <memory>

namespace Lumen {

// Releases a buffer allocated with new[].
struct ArrayDeleter {
    void operator()(BYTE* bytes) const { delete[] bytes; }
};

// One outgoing message, or the bytes received so far of an incoming one.
struct PipePacket {
    HANDLE target = nullptr;
    // The connection the packet belongs to (see NamedPipeAsync): a handle
    // value can be reused by a later connection, a serial never is.
    ULONGLONG serial = 0;
    std::shared_ptr<BYTE> buffer;
    DWORD length = 0;
};

}  // namespace Lumen
