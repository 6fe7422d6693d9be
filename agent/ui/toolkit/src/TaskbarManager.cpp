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
    // Without an apartment of its own the thread could only borrow the
    // process's multithreaded one, which exists only while some other thread
    // holds it: the interface would be missing or die with that thread.
    if (!enteredApartment_) {
        const HRESULT entered = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        enteredApartment_ = SUCCEEDED(entered);  // S_FALSE too: counted, to balance
    }
    ITaskbarList3* taskbar = nullptr;
    if (SUCCEEDED(::CoCreateInstance(CLSID_TaskbarList, nullptr, CLSCTX_ALL, IID_ITaskbarList3,
                                     reinterpret_cast<void**>(&taskbar)))) {
        taskbar_.Reset(taskbar);
        // A restarted shell made a new button: it shows what the old one did.
        if (state_ != TBPF_NOPROGRESS && hwnd_ != nullptr) {
            taskbar_.Get()->SetProgressState(hwnd_, state_);
            if (total_ != 0) taskbar_.Get()->SetProgressValue(hwnd_, completed_, total_);
        }
    }
}

void TaskbarManager::Release()
{
    taskbar_.Reset();
    if (enteredApartment_) {
        enteredApartment_ = false;
        ::CoUninitialize();
    }
}

bool TaskbarManager::SetProgressState(TBPFLAG state)
{
    state_ = state;
    if (state == TBPF_NOPROGRESS || state == TBPF_INDETERMINATE) completed_ = total_ = 0;
    return taskbar_ && hwnd_ != nullptr && SUCCEEDED(taskbar_.Get()->SetProgressState(hwnd_, state));
}

bool TaskbarManager::SetProgressValue(ULONGLONG completed, ULONGLONG total)
{
    completed_ = completed;
    total_ = total;
    // As the shell does: a value ends the busy and the empty state.
    if (state_ == TBPF_NOPROGRESS || state_ == TBPF_INDETERMINATE) state_ = TBPF_NORMAL;
    return taskbar_ && hwnd_ != nullptr && SUCCEEDED(taskbar_.Get()->SetProgressValue(hwnd_, completed, total));
}

}  // namespace Lumen
