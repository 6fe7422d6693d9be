#include "ServiceCommandLine.h"

#include <windows.h>

namespace {

bool EqualsIgnoringCase(const std::wstring& a, const wchar_t* b)
{
    return ::CompareStringOrdinal(a.c_str(), -1, b, -1, TRUE) == CSTR_EQUAL;
}

}  // namespace

ServiceVerb ParseServiceVerb(int argc, wchar_t** argv)
{
    if (argc < 2 || argv[1] == nullptr) return ServiceVerb::Run;
    std::wstring verb;
    for (const wchar_t* c = argv[1]; *c != L'\0'; ++c)
        if (*c != L'/') verb += *c;
    if (EqualsIgnoringCase(verb, L"install")) return ServiceVerb::Install;
    if (EqualsIgnoringCase(verb, L"uninstall")) return ServiceVerb::Uninstall;
    if (EqualsIgnoringCase(verb, L"start")) return ServiceVerb::Start;
    if (EqualsIgnoringCase(verb, L"stop")) return ServiceVerb::Stop;
    return ServiceVerb::Invalid;
}

bool IsDebuggingVerb(int argc, wchar_t** argv)
{
    return argc >= 2 && argv[1] != nullptr && EqualsIgnoringCase(argv[1], L"debugging");
}
