#pragma once

namespace Lumen {

// Message identifiers carried in "protocol_id".
constexpr int kProtocolStopService = 1000;    // agent -> service: stop the service
constexpr int kProtocolExitAgent = 1001;      // service -> agent: exit
constexpr int kProtocolAgentIdentify = 1002;  // agent -> service: session and process of the agent

enum class PipeMessageStatus {
    Ok,          // a JSON object with an integer "protocol_id"
    ParseError,  // not JSON: log "파이프 수신 데이터 파싱에 실패했습니다."
    Invalid,     // JSON, but not a message: log "파이프 수신 데이터가 유효하지 않습니다."
};

// One received message, read as far as its status allows. Members that are
// absent read as 0; the ids are meaningful only when status is Ok.
struct PipeMessage {
    PipeMessageStatus status = PipeMessageStatus::ParseError;
    int protocolId = 0;
    int sessionId = 0;
    int processId = 0;
};

}  // namespace Lumen
