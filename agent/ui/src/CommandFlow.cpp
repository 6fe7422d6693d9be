#include "CommandFlow.h"

#include "AgentCmdBase.h"
#include "MessageViewFlags.h"

namespace CommandFlow {

namespace {
const wchar_t* const kCheckingText = L"보안 소프트웨어 목록을 조회 중입니다.\n잠시만 기다려주세요.";
const wchar_t* const kInstallingText = L"보안 소프트웨어를 설치 중입니다.\n잠시만 기다려주세요.";
}  // namespace

Plan PlanFor(int commandType)
{
    Plan plan;
    switch (commandType) {
    case AgentCmdBase::kCheckProduct:
        plan.start = StartAction::ShowProgress;
        plan.progressKey = kCheckingText;
        plan.complete = CompleteAction::HideAndCheck;
        break;
    case AgentCmdBase::kInstallProduct:
    case AgentCmdBase::kInstallAllProduct:
        plan.start = StartAction::AskThenProgress;
        plan.progressKey = kInstallingText;
        plan.complete = CompleteAction::InstallResult;
        break;
    case AgentCmdBase::kContinueInstall:
        plan.start = StartAction::ShowProgress;
        plan.progressKey = kInstallingText;
        plan.complete = CompleteAction::InstallResult;
        break;
    case AgentCmdBase::kLogout:
        plan.complete = CompleteAction::RestartToLogin;
        break;
    case AgentCmdBase::kNotifyConfigChange:
        plan.start = StartAction::CreatePopups;
        plan.complete = CompleteAction::ConfigChanged;
        break;
    case AgentCmdBase::kStopTray:
        plan.complete = CompleteAction::Shutdown;
        break;
    default:
        break;
    }
    return plan;
}

const wchar_t* RebootQuestionKey()
{
    return L"소프트웨어 설치 간 재부팅이 필요할 수 있습니다.\n설치를 계속 진행하시겠습니까?";
}

ResultMessage InstallResultMessage(int commandType, int result)
{
    ResultMessage message;
    if (result == -1) return message;
    const bool one = commandType == AgentCmdBase::kInstallProduct;
    message.show = true;
    if (result >= 0) {
        message.key = one ? L"소프트웨어 설치가 완료되었습니다." : L"모든 소프트웨어 설치가 완료되었습니다.";
        message.flags = MessageViewFlags::kSuccess;
    } else {
        message.key = one ? L"소프트웨어 설치에 실패했습니다.\n해당 프로그램을 재설치 해주세요."
                          : L"일부 소프트웨어 설치에 실패했습니다.\n해당 프로그램을 재설치 해주세요.";
        message.flags = MessageViewFlags::kFailure;
    }
    return message;
}

}  // namespace CommandFlow
