#include "LaunchMode.h"

#include "Lumen/StringUtils.h"

LaunchMode ClassifyCommandLine(const std::wstring& commandLine)
{
    if (commandLine.find(kLaunchFromService) != std::wstring::npos) return LaunchMode::FromService;
    if (commandLine.find(kLaunchRunAdmin) != std::wstring::npos) return LaunchMode::ElevatedRelaunch;
    return LaunchMode::ByHand;
}

std::wstring SingleInstanceMutexName(DWORD sessionId)
{
    return Lumen::FormatWide(L"%s_session_%d", L"Pavo_IA", static_cast<int>(sessionId));
}
