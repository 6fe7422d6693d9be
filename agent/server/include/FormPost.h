#pragma once

#include <string>
#include <utility>
#include <vector>

// One multipart/form-data POST to the operator's server with the agent's user
// agent. `fields` are (name, UTF-8 value) text parts in order. On success the
// response body (UTF-16) is in `body`; false when the exchange failed. The
// HTTP status is not judged: the server answers in the body.
bool PostForm(const std::wstring& url, const std::vector<std::pair<std::wstring, std::string>>& fields,
              std::wstring* body);

// The user agent of every request to the operator's server.
constexpr const wchar_t* kAgentUserAgent = L"PavoAgent/1.0";
