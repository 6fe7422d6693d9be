#include "TaskbarManager.h"

namespace Lumen {

namespace {

// Registered before any dialog exists.
const UINT g_taskbarButtonCreated = ::RegisterWindowMessageW(L"TaskbarButtonCreated");

}  // namespace

UINT TaskbarManager::TaskbarButtonCreatedMessage()
{
    return g_taskbarButtonCreated;
}

void TaskbarManager::OnTaskbarButtonCreated()
{
    taskbar_.Reset();
    if (!acceptsMessage_) return;
    ITaskbarList3* taskbar = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_ALL, IID_ITaskbarList3,
                                     reinterpret_cast<void**>(&taskbar)))) {
        taskbar_.Reset(taskbar);
    }
}

bool TaskbarManager::SetProgressState(TBPFLAG state)
{
    return taskbar_ && hwnd_ != nullptr && SUCCEEDED(taskbar_.Get()->SetProgressState(hwnd_, state));
}

bool TaskbarManager::SetProgressValue(ULONGLONG completed, ULONGLONG total)
{
    return taskbar_ && hwnd_ != nullptr && SUCCEEDED(taskbar_.Get()->SetProgressValue(hwnd_, completed, total));
}

}  // namespace Lumen
