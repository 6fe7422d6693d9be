// The operator server's JSON answers: login and token renewal, heartbeat,
// product list and status report. Every answer goes through every reader.
#include <cstddef>
#include <cstdint>
#include <string>

#include "FuzzCheck.h"
#include "PackageRules.h"
#include "ResultCode.h"
#include "SessionResponses.h"

namespace {

bool IsAgentResult(int result)
{
    switch (result) {
        case AgentResult::kOk:
        case AgentResult::kFailed:
        case AgentResult::kServerError:
        case AgentResult::kBadResponse:
        case AgentResult::kBadRequest:
        case AgentResult::kBadToken:
        case AgentResult::kWrongPassword:
        case AgentResult::kLocked:
        case AgentResult::kConflict:
            return true;
        default:
            return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string answer(reinterpret_cast<const char*>(data), size);

    std::string token;
    int64_t expiry = 0;
    const int login = SessionResponses::ParseTokenResponse(answer, &token, &expiry);
    PAVO_FUZZ_CHECK(IsAgentResult(login));

    bool hasNotice = true;
    NOTICE_INFO notice;
    const int heartbeat = SessionResponses::ParseHealthCheckResponse(answer, &hasNotice, &notice);
    PAVO_FUZZ_CHECK(IsAgentResult(heartbeat));
    if (heartbeat != AgentResult::kOk) PAVO_FUZZ_CHECK(!hasNotice);

    PackageRules::LicenseData license;
    const int products = PackageRules::ParseLicense(answer, &license);
    PAVO_FUZZ_CHECK(IsAgentResult(products));
    if (products == AgentResult::kOk) {
        PAVO_FUZZ_CHECK(!license.products.empty());
        // The status report is built from the list just read.
        const std::string report = PackageRules::MakeLicenseList(license.products);
        PAVO_FUZZ_CHECK(!report.empty() && report.back() == '\n');
    }

    PAVO_FUZZ_CHECK(IsAgentResult(PackageRules::ParseLicenseStatus(answer)));
    // The expiry text alone (the renewal's "tokenExpTime"). Times before
    // 1970 differ by runtime (-1 on Windows, negative here): no check.
    SessionResponses::ParseLocalTime(answer);
    return 0;
}
