#pragma once

#include <string>

namespace Lumen {

// Opens addresses through the desktop shell of the user's session, so that
// the browser or mail program starts with the shell's (un-elevated) token
// rather than the elevated agent's. Only addresses ShellAddress accepts are
// handed over. Where no desktop shell is running nothing is opened and the
// log says so. Any thread; initialises COM on the calling thread for the
// call when it is not yet.
class DesktopShell {
public:
    // True when the shell took the address.
    static bool Open(const std::wstring& address);
};

}  // namespace Lumen
