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

// Gives `key` the text `value` (both UTF-8) in the text of a language file and
// returns the new text in `result`. Only the first element with that key
// changes (it is the one the reader keeps); every other byte stays. A key the
// file lacks is appended as a copy of the last element, so the new element
// has the file's layout and line ends. False, with a reason in `error`, when
// the text is not a language file that ParseStringTable reads whole.
bool SetStringTableValue(const std::string& bytes, const std::string& key, const std::string& value,
                         std::string* result, std::string* error);

}  // namespace Lumen
