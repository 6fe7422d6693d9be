#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "Lumen/PipeMessage.h"

namespace Lumen {

// The messages exchanged over the agent-service pipe: one compact JSON object
// ("protocol_id", and for the identification "process_id" and "session_id"),
// members in ascending name order, followed by one line feed, no trailing NUL.
// Pure functions, no Win32; any thread.
namespace PipeProtocol {

std::string BuildStopService();
std::string BuildExitAgent();
// The caller supplies its own ids (SessionUtils::GetProcessSessionId and
// GetCurrentProcessId), so that this file needs no Win32.
std::string BuildAgentIdentify(std::uint32_t sessionId, std::uint32_t processId);

// Parses exactly `length` bytes (no terminating zero needed). Never throws.
// Ok needs a JSON object whose "protocol_id" is an integer; a "session_id" or
// "process_id" that is present must be an integer too, or the message is
// Invalid. Integers must fit in 32 signed bits; 1002.0 or "1002" do not count.
PipeMessage ParsePipeMessage(const void* bytes, std::size_t length);

}  // namespace PipeProtocol
}  // namespace Lumen
