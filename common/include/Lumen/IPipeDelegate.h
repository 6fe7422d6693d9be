#pragma once

#include <windows.h>

namespace Lumen {

// Receives the events of one pipe engine. A connected pipe is identified by
// its handle value. Callbacks arrive on the engine's threads (see
// NamedPipeAsync); none of them may close the engine or destroy it.
class IPipeDelegate {
public:
    // A server instance or the client handle was created (or failed; then
    // GetLastError() holds the reason).
    virtual void OnCreate(bool success, HANDLE pipe) = 0;
    // A pipe is connected and its first read has been issued.
    virtual void OnConnect(bool success, HANDLE pipe) = 0;
    // A write completed with this many bytes.
    virtual void OnSend(HANDLE pipe, DWORD bytes) = 0;
    // One complete message. `data` belongs to the transport and is released
    // when the call returns; it is not followed by a zero byte.
    virtual void OnRecv(HANDLE pipe, const BYTE* data, DWORD length) = 0;
    // The peer went away, or a read or write could not be issued.
    virtual void OnDisconnect(HANDLE pipe) = 0;
    virtual ~IPipeDelegate() = default;
};

}  // namespace Lumen
