#pragma once

#include <string>

namespace Lumen {

// Full path of the running program, or "" when it cannot be read.
std::wstring GetModulePath();

// The program folder: the module path up to and including its last backslash.
std::wstring GetModuleDirectory();

// Everything up to and including the last backslash ("" when there is none).
std::wstring DirectoryOf(const std::wstring& path);

// The text after the last backslash.
std::wstring FileNameOf(const std::wstring& path);

// Joins two parts with one backslash, added only when the left part does not
// already end in one.
std::wstring JoinPath(const std::wstring& left, const std::wstring& right);

}  // namespace Lumen
