#include "Lumen/PipeProtocol.h"

#include <json/json.h>

#include <climits>
#include <memory>

namespace Lumen {
namespace PipeProtocol {

namespace {

std::string Write(const Json::Value& root)
{
    // The wire format is exactly the fast writer's output (compact, sorted
    // members, trailing line feed). jsoncpp 1.9.5 deprecates the class but
    // still ships it; no other writer produces these bytes.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Json::FastWriter writer;
#pragma GCC diagnostic pop
    return writer.write(root);
}

Json::Value Message(int protocolId)
{
    Json::Value root(Json::objectValue);
    root["protocol_id"] = protocolId;
    return root;
}

// An integer member: written as a JSON integer (not 12.0, not "12") that fits
// in 32 signed bits. Absent reads as 0.
bool ReadInteger(const Json::Value& root, const char* name, int& out)
{
    const Json::Value* member = root.find(name, name + std::char_traits<char>::length(name));
    if (member == nullptr) {
        out = 0;
        return true;
    }
    const Json::ValueType type = member->type();
    if ((type != Json::intValue && type != Json::uintValue) || !member->isInt()) return false;
    out = member->asInt();
    return true;
}

}  // namespace

std::string BuildStopService()
{
    return Write(Message(kProtocolStopService));
}

std::string BuildExitAgent()
{
    return Write(Message(kProtocolExitAgent));
}

std::string BuildAgentIdentify(std::uint32_t sessionId, std::uint32_t processId)
{
    Json::Value root = Message(kProtocolAgentIdentify);
    root["session_id"] = static_cast<Json::UInt>(sessionId);
    root["process_id"] = static_cast<Json::UInt>(processId);
    return Write(root);
}

PipeMessage ParsePipeMessage(const void* bytes, std::size_t length)
{
    PipeMessage message;
    message.status = PipeMessageStatus::ParseError;
    if (bytes == nullptr && length != 0) return message;
    try {
        const char* begin = static_cast<const char*>(bytes);
        Json::CharReaderBuilder builder;
        const std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
        Json::Value root;
        std::string errors;
        if (length == 0 || !reader->parse(begin, begin + length, &root, &errors)) return message;

        message.status = PipeMessageStatus::Invalid;
        if (!root.isObject()) return message;
        int protocolId = 0;
        if (!root.isMember("protocol_id") || !ReadInteger(root, "protocol_id", protocolId)) return message;
        int sessionId = 0;
        int processId = 0;
        if (!ReadInteger(root, "session_id", sessionId) || !ReadInteger(root, "process_id", processId)) return message;
        message.status = PipeMessageStatus::Ok;
        message.protocolId = protocolId;
        message.sessionId = sessionId;
        message.processId = processId;
    } catch (...) {
        // jsoncpp throws for pathological input (nesting past its limit);
        // to the caller that is text it could not parse.
        message = PipeMessage();
        message.status = PipeMessageStatus::ParseError;
    }
    return message;
}

}  // namespace PipeProtocol
}  // namespace Lumen
