#pragma once

#include <json/json.h>

#include <string>

// Helpers for the tests that talk to the reference operator servers started
// by scripts/with-operator-server.sh.
namespace ServerTest {

// The HTTP server's port; 0 outside the harness.
int OperatorPort();
std::wstring ServerUrl(const std::wstring& path);
// Points the agent's language table at the test server. Once per process,
// before anything else reads the table.
void LoadTestStrings();
// Points the table at another server (`host` as "scheme://host:port") with
// "SERVER_CERT_SHA256" set to `pins` (no entry when empty); objects that
// built their URLs before keep them. LoadTestStrings() does not undo this:
// call it with the HTTP host.
void LoadStrings(const std::string& host, const std::string& pins);
std::string HttpHost();
// The HTTPS server's address and its certificate's SHA-256 fingerprint.
std::string TlsHost();
std::string TlsSha256();
// POSTs a JSON body to an admin path; true on HTTP 200.
bool Admin(const std::wstring& path, const std::string& json);
// A GET answer parsed as JSON (null when it is not JSON).
Json::Value GetJson(const std::wstring& path);

}  // namespace ServerTest
