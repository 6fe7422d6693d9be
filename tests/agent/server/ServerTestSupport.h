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
// POSTs a JSON body to an admin path; true on HTTP 200.
bool Admin(const std::wstring& path, const std::string& json);
// A GET answer parsed as JSON (null when it is not JSON).
Json::Value GetJson(const std::wstring& path);

}  // namespace ServerTest
