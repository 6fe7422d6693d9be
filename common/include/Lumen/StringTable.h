#pragma once

#include <map>
#include <string>

namespace Lumen {

// Reads the text of a language file, {"strings": [{"key": ..., "value": ...}]},
// into `table` (the first occurrence of a key wins). False, with a reason in
// `error`, when the text is not JSON, has no "strings" array, or an element
// without string "key" and "value"; pairs read before a bad element stay.
// Never throws. Portable C++: no Win32.
bool ParseStringTable(const std::string& bytes, std::map<std::wstring, std::wstring>* table, std::string* error);

}  // namespace Lumen
