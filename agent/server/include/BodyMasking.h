#pragma once

#include <string>

// The server's answers go to the log when they cannot be read, and login and
// renewal answers carry the session token. Before a body is logged, the value
// of every "token" and "password" member is replaced by "***"; everything
// else stays as it was. Works on text that is not valid JSON (a cut-off
// answer) as well: a value that runs to the end of the text is masked to the
// end.
std::wstring MaskSecretMembers(const std::wstring& body);
