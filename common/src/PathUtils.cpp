#include "Lumen/PathUtils.h"

#include <windows.h>

namespace Lumen {

std::wstring GetModulePath()
{
    wchar_t buffer[520] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, buffer, 520);
    if (length == 0 || length >= 520) return {};
    return std::wstring(buffer, length);
}

std::wstring GetModuleDirectory()
{
    return DirectoryOf(GetModulePath());
}

std::wstring DirectoryOf(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

std::wstring FileNameOf(const std::wstring& path)
{
    const size_t slash = path.rfind(L'\\');
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring JoinPath(const std::wstring& left, const std::wstring& right)
{
    if (left.empty() || left.back() == L'\\') return left + right;
    return left + L'\\' + right;
}

}  // namespace Lumen
