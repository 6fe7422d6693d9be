#pragma once

#include <string>
#include <utility>
#include <vector>

namespace Lumen {
class HttpClient;
}

// One multipart/form-data POST to the operator's server with the agent's user
// agent. `fields` are (name, UTF-8 value) text parts in order. On success the
// response body (UTF-16) is in `body`; false when the exchange failed. The
// HTTP status is not judged: the server answers in the body.
bool PostForm(const std::wstring& url, const std::vector<std::pair<std::wstring, std::string>>& fields,
              std::wstring* body);

// Gives `client` the server certificate fingerprints of the language table's
// "SERVER_CERT_SHA256" (none when it is blank or absent). False, logged, when
// the entry cannot be read: then nothing may be exchanged.
bool ApplyServerPins(Lumen::HttpClient* client);
// Logs why a failed exchange with `url` failed when the pinned certificate
// was the reason; logs nothing otherwise.
void LogCertificateRejection(const Lumen::HttpClient& client, const std::wstring& url);

// The user agent of every request to the operator's server.
constexpr const wchar_t* kAgentUserAgent = L"PavoAgent/1.0";
