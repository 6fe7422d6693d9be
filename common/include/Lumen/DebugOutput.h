#pragma once

namespace Lumen {

// Writes one formatted line to the debugger output only (never to the log
// file): the text, then "\r\n" in a second call. Usable at any time, also
// before the log exists. Wide format with Windows semantics ("%s" is wide).
void OutputDebugMessage(const wchar_t* format, ...);

}  // namespace Lumen
