#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "Lumen/PipeMessage.h"

namespace Lumen {

// The messages exchanged over the agent-service pipe: one compact JSON object
// ("protocol_id", and for the identification "process_id" and "session_id"),
// members in ascending name order, followed by one line feed, no trailing NUL.
// Pure functions; any thread.
namespace PipeProtocol {

std::string BuildStopService();
std::string BuildExitAgent();
std::string BuildAgentIdentify(DWORD sessionId, DWORD processId);
// The identification of the calling process (session 0 when it cannot be read).
std::string BuildAgentIdentify();

// Parses exactly `length` bytes (no terminating zero needed). Never throws.
// Ok needs a JSON object whose "protocol_id" is an integer; a "session_id" or
// "process_id" that is present must be an integer too, or the message is
// Invalid. Integers must fit in 32 signed bits; 1002.0 or "1002" do not count.
PipeMessage ParsePipeMessage(const void* bytes, std::size_t length);

}  // namespace PipeProtocol
}  // namespace Lumen
