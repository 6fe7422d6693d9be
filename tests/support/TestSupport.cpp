#include "TestSupport.h"

#include <winioctl.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "Lumen/PathUtils.h"
#include "Lumen/StringUtils.h"

namespace PavoTest {

std::wstring BinDirectory()
{
    return Lumen::GetModuleDirectory();
}

std::wstring MakeTempDirectory(const std::wstring& label)
{
    static std::atomic<int> counter{0};
    const std::wstring root = L"C:\\pavo-tests\\";
    ::CreateDirectoryW(root.c_str(), nullptr);
    const std::wstring path = root + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++counter) + L"-" + label + L"\\";
    ::CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

std::wstring SystemDirectory()
{
    wchar_t buffer[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryW(buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return {};
    return std::wstring(buffer, length) + L"\\";
}

bool InstallSessionListStandIn()
{
    const std::wstring system = SystemDirectory();
    return !system.empty() && !CopyProgram(L"wtsapi32.dll", system, L"wtsapi32.dll").empty();
}

std::wstring CopyProgram(const std::wstring& programName, const std::wstring& directory,
                         const std::wstring& newName)
{
    const std::wstring target = Lumen::JoinPath(directory, newName);
    if (!::CopyFileW((BinDirectory() + programName).c_str(), target.c_str(), FALSE)) return {};
    return target;
}

Lumen::ScopedHandle StartProcess(const std::wstring& commandLine)
{
    std::wstring mutableLine = commandLine;
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, &mutableLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                          &process))
        return Lumen::ScopedHandle();
    ::CloseHandle(process.hThread);
    return Lumen::ScopedHandle(process.hProcess);
}

bool RunAndWait(const std::wstring& commandLine, DWORD timeoutMs, DWORD* exitCode)
{
    Lumen::ScopedHandle process = StartProcess(commandLine);
    if (!process) return false;
    if (::WaitForSingleObject(process.Get(), timeoutMs) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.Get(), 1);
        return false;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process.Get(), &code);
    if (exitCode != nullptr) *exitCode = code;
    return true;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition()) return true;
        if (::GetTickCount64() >= deadline) return false;
        ::Sleep(20);
    }
}

std::string ReadFileBytes(const std::wstring& path)
{
    Lumen::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                                               FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return {};
    std::string bytes;
    char buffer[4096];
    DWORD read = 0;
    while (::ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr) && read > 0) bytes.append(buffer, read);
    return bytes;
}

std::wstring ReadFileWide(const std::wstring& path)
{
    const std::string bytes = ReadFileBytes(path);
    return std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes)
{
    Lumen::ScopedHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return ::WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

bool FileExists(const std::wstring& path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::wstring TodayForLogName()
{
    SYSTEMTIME now = {};
    ::GetLocalTime(&now);
    return Lumen::FormatWide(L"%04d-%02d-%02d", now.wYear, now.wMonth, now.wDay);
}

std::wstring UniqueName(const std::wstring& label)
{
    static std::atomic<int> counter{0};
    return L"PavoTest_" + label + L"_" + std::to_wstring(::GetCurrentProcessId()) + L"_" +
           std::to_wstring(++counter);
}

bool InstallService(const std::wstring& name, const std::wstring& binaryPath)
{
    RemoveService(name);
    Lumen::ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return false;
    const std::wstring quoted = L"\"" + binaryPath + L"\"";
    Lumen::ScopedServiceHandle service(::CreateServiceW(
        manager.Get(), name.c_str(), name.c_str(), SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
        SERVICE_DEMAND_START, SERVICE_ERROR_NORMAL, quoted.c_str(), nullptr, nullptr, nullptr, nullptr, nullptr));
    return service.IsValid();
}

DWORD QueryServiceState(const std::wstring& name)
{
    Lumen::ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    if (!manager) return 0;
    Lumen::ScopedServiceHandle service(::OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_STATUS));
    if (!service) return 0;
    SERVICE_STATUS status = {};
    if (!::QueryServiceStatus(service.Get(), &status)) return 0;
    return status.dwCurrentState;
}

bool RemoveService(const std::wstring& name)
{
    Lumen::ScopedServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    if (!manager) return false;
    Lumen::ScopedServiceHandle service(::OpenServiceW(manager.Get(), name.c_str(), SERVICE_ALL_ACCESS));
    if (!service) return ::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
    SERVICE_STATUS status = {};
    if (::ControlService(service.Get(), SERVICE_CONTROL_STOP, &status))
        WaitUntil([&] { return QueryServiceState(name) == SERVICE_STOPPED; }, 10000);
    ::DeleteService(service.Get());
    service.Reset();
    return WaitUntil(
        [&] {
            Lumen::ScopedServiceHandle probe(::OpenServiceW(manager.Get(), name.c_str(), SERVICE_QUERY_STATUS));
            return !probe && ::GetLastError() == ERROR_SERVICE_DOES_NOT_EXIST;
        },
        10000);
}

bool MakeJunction(const std::wstring& link, const std::wstring& target, DWORD* error)
{
    if (!::CreateDirectoryW(link.c_str(), nullptr)) {
        *error = ::GetLastError();
        return false;
    }
    Lumen::ScopedHandle handle(::CreateFileW(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    if (!handle) {
        *error = ::GetLastError();
        ::RemoveDirectoryW(link.c_str());
        return false;
    }
    const std::wstring substitute = L"\\??\\" + target;
    const USHORT substituteBytes = static_cast<USHORT>(substitute.size() * sizeof(wchar_t));
    const USHORT printBytes = static_cast<USHORT>(target.size() * sizeof(wchar_t));
    // Tag, length, reserved; then offsets and lengths of the two names, and
    // the names, each with a terminating zero.
    std::vector<BYTE> data(8 + 8 + substituteBytes + 2 + printBytes + 2, 0);
    const auto put16 = [&](size_t at, USHORT value) { std::memcpy(&data[at], &value, sizeof(value)); };
    const DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    std::memcpy(&data[0], &tag, sizeof(tag));
    put16(4, static_cast<USHORT>(data.size() - 8));
    put16(8, 0);
    put16(10, substituteBytes);
    put16(12, static_cast<USHORT>(substituteBytes + 2));
    put16(14, printBytes);
    std::memcpy(&data[16], substitute.data(), substituteBytes);
    std::memcpy(&data[16 + substituteBytes + 2], target.data(), printBytes);
    DWORD returned = 0;
    if (!::DeviceIoControl(handle.Get(), FSCTL_SET_REPARSE_POINT, data.data(), static_cast<DWORD>(data.size()),
                           nullptr, 0, &returned, nullptr)) {
        *error = ::GetLastError();
        handle.Reset();
        ::RemoveDirectoryW(link.c_str());
        return false;
    }
    return true;
}

}  // namespace PavoTest
