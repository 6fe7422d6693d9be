// A child process for the tests. Every argument is one action, done in order:
//   --write-cmdline=FILE   writes GetCommandLineW() to FILE as UTF-16
//   --write-session=FILE   writes the process's session id to FILE
//   --signal=NAME          sets the named event NAME (created if needed)
//   --wait=NAME            waits up to 60 s for the named event NAME
//   --sleep=MS             sleeps MS milliseconds
//   --exit=CODE            ends with CODE at once
#include <windows.h>

#include <cstdlib>
#include <string>

namespace {

bool StartsWith(const std::wstring& text, const std::wstring& prefix, std::wstring& rest)
{
    if (text.compare(0, prefix.size(), prefix) != 0) return false;
    rest = text.substr(prefix.size());
    return true;
}

bool WriteFileText(const std::wstring& path, const std::wstring& text)
{
    HANDLE file = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const BOOL ok = ::WriteFile(file, text.data(), static_cast<DWORD>(text.size() * sizeof(wchar_t)), &written,
                                nullptr);
    ::CloseHandle(file);
    return ok != FALSE;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    // argv[0] is an action too when the parent passed no program name.
    for (int i = 0; i < argc; ++i) {
        const std::wstring arg = argv[i];
        std::wstring value;
        if (StartsWith(arg, L"--write-cmdline=", value)) {
            if (!WriteFileText(value, ::GetCommandLineW())) return 2;
        } else if (StartsWith(arg, L"--write-session=", value)) {
            DWORD session = 0;
            ::ProcessIdToSessionId(::GetCurrentProcessId(), &session);
            if (!WriteFileText(value, std::to_wstring(session))) return 2;
        } else if (StartsWith(arg, L"--signal=", value)) {
            HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, value.c_str());
            if (event == nullptr) return 3;
            ::SetEvent(event);
            ::CloseHandle(event);
        } else if (StartsWith(arg, L"--wait=", value)) {
            HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, value.c_str());
            if (event == nullptr) return 3;
            const DWORD result = ::WaitForSingleObject(event, 60000);
            ::CloseHandle(event);
            if (result != WAIT_OBJECT_0) return 4;
        } else if (StartsWith(arg, L"--sleep=", value)) {
            ::Sleep(static_cast<DWORD>(_wtoi(value.c_str())));
        } else if (StartsWith(arg, L"--exit=", value)) {
            return _wtoi(value.c_str());
        }
    }
    return 0;
}
