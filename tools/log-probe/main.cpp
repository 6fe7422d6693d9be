// Opens the process log as the agent or the service would, from wherever this
// program was copied to, and writes a fixed set of records:
//   PavoLogProbe.exe agent|service [TEXT]
#include <windows.h>

#include "Lumen/LogManager.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) return 1;
    const bool agent = std::wstring(argv[1]) == L"agent";
    auto* log = Lumen::LogManager::GetInstance();
    log->Initialize(agent ? Lumen::LogProcessKind::Agent : Lumen::LogProcessKind::Service);
    log->Info(L"에이전트가 시작되었습니다.");
    log->Error(L"[%s, %d] 서버 파이프 생성에 실패했습니다. error : %d", L"ServiceController::OnCreate", 42, -5);
    log->Trace(L"[%s, %d] 접속인증 토큰을 갱신합니다.", L"SessionManager::OnTimer", 7);
    if (argc > 2) log->Info(L"%s", argv[2]);
    log->Release();
    // Nothing may reach the file after Release.
    log->Info(L"after release");
    return 0;
}
