#pragma once

#include <windows.h>

namespace Lumen {

class NamedPipeAsync;

// The largest message the transport carries: one read, one write.
constexpr DWORD kPipeBufferSize = 4096;

// One outstanding read or write. Allocated before the request and freed by its
// completion routine (or by the thread's drain when the engine closes). The
// OVERLAPPED block comes first, so the completion routine finds the context
// from the block's address.
struct PipeIoContext {
    OVERLAPPED overlapped;
    BYTE buffer[kPipeBufferSize];
    HANDLE pipe;
    ULONGLONG serial;  // the connection the request was issued for
    NamedPipeAsync* owner;
};

}  // namespace Lumen
