#pragma once

#include <windows.h>

#include <shobjidl.h>

#include <cstdint>
#include <string>

#include "InstallProgress.h"

// What the installing overlay and the taskbar button show of an
// installation's progress. Plain functions: no windows involved.
namespace InstallProgressText {

// "42% · 0.5 / 1.2 MB" with a length; without one only the bytes received,
// "0.5 MB". Below a megabyte the unit is KB.
std::wstring SizeText(uint64_t received, uint64_t total, bool hasTotal);
// The language table's key of the step ("" for none).
const wchar_t* StepKey(InstallProgress::Step step);
// "2 / 3" in an install-all; "" for a single product.
std::wstring CountText(int index, int count);

struct TaskbarState {
    TBPFLAG flag = TBPF_NOPROGRESS;
    ULONGLONG completed = 0;
    ULONGLONG total = 0;
};
// The taskbar button while a step runs: a bar while downloading with a
// known length, otherwise busy.
TaskbarState TaskbarFor(const InstallProgress& progress);
// The taskbar button when the installation has completed with `result`:
// an error bar for a failure; nothing after success or a cancellation.
TaskbarState TaskbarForResult(int result);

}  // namespace InstallProgressText
