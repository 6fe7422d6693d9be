#pragma once

#include <string>

namespace Lumen {

// Which addresses the agent hands to the user's shell: web pages (http,
// https, with a host) and mail (mailto) only. Everything else is refused:
// file: and UNC paths (they would send the user's credentials to any host
// or run a program), javascript:, relative names, and any text with
// control characters, quotes or surrounding white space (they could break
// out of the handler's command line). Needs no Win32; any thread.
class ShellAddress {
public:
    // The longest address the shell's URL handlers accept.
    static constexpr size_t kMaxLength = 2083;

    static bool IsOpenable(const std::wstring& address);
};

}  // namespace Lumen
