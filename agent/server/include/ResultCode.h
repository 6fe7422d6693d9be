#pragma once

// Agent results of the server and package operations: 0 or negative.
namespace AgentResult {
constexpr int kOk = 0;
constexpr int kDeclined = -1;            // the user declined a confirmation
constexpr int kFailed = -2;              // no connection or response, unmapped code, download or installer failure
constexpr int kServerError = -3;         // resultCode 500
constexpr int kBadResponse = -9000;      // not parsable, a member missing or of the wrong type
constexpr int kBadRequest = -9001;       // resultCode 400
constexpr int kBadToken = -9002;         // resultCode 406
constexpr int kWrongPassword = -9003;    // resultCode 407
constexpr int kLocked = -9004;           // resultCode 408
constexpr int kConflict = -9005;         // resultCode 409
constexpr int kNoInspectionData = -9006; // an inspection file missing or empty
constexpr int kInstallIncomplete = -9007;
}  // namespace AgentResult

// Maps the server's "resultCode" to an agent result.
inline int ToResultCode(int resultCode)
{
    switch (resultCode) {
    case 200: return AgentResult::kOk;
    case 400: return AgentResult::kBadRequest;
    case 406: return AgentResult::kBadToken;
    case 407: return AgentResult::kWrongPassword;
    case 408: return AgentResult::kLocked;
    case 409: return AgentResult::kConflict;
    case 500: return AgentResult::kServerError;
    default: return AgentResult::kFailed;
    }
}
