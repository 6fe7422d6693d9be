#include "InstallProgressText.h"

#include <cstdio>
#include <cwchar>

namespace InstallProgressText {

namespace {

constexpr uint64_t kKilobyte = 1024;
constexpr uint64_t kMegabyte = 1024 * 1024;

std::wstring Megabytes(uint64_t bytes)
{
    wchar_t text[32] = {};
    std::swprintf(text, 32, L"%.1f", static_cast<double>(bytes) / static_cast<double>(kMegabyte));
    return text;
}

std::wstring Kilobytes(uint64_t bytes)
{
    return std::to_wstring((bytes + kKilobyte - 1) / kKilobyte);
}

}  // namespace

std::wstring SizeText(uint64_t received, uint64_t total, bool hasTotal)
{
    if (!hasTotal) {
        return received < kMegabyte ? Kilobytes(received) + L" KB" : Megabytes(received) + L" MB";
    }
    // Bytes past the length are never counted; a percentage never passes 100.
    if (received > total) received = total;
    const uint64_t percent = total == 0 ? 100 : received * 100 / total;
    const std::wstring sizes = total < kMegabyte ? Kilobytes(received) + L" / " + Kilobytes(total) + L" KB"
                                                 : Megabytes(received) + L" / " + Megabytes(total) + L" MB";
    return std::to_wstring(percent) + L"% \u00B7 " + sizes;
}

const wchar_t* StepKey(InstallProgress::Step step)
{
    switch (step) {
    case InstallProgress::Step::Downloading:
        return L"다운로드 중";
    case InstallProgress::Step::Installing:
        return L"설치 중";
    case InstallProgress::Step::Waiting:
        return L"설치 완료를 기다리는 중";
    case InstallProgress::Step::None:
        break;
    }
    return L"";
}

std::wstring CountText(int index, int count)
{
    if (count <= 0 || index <= 0) return L"";
    return std::to_wstring(index) + L" / " + std::to_wstring(count);
}

TaskbarState TaskbarFor(const InstallProgress& progress)
{
    TaskbarState state;
    switch (progress.step) {
    case InstallProgress::Step::Downloading:
        if (progress.hasTotal && progress.total > 0) {
            state.flag = TBPF_NORMAL;
            state.total = progress.total;
            state.completed = progress.received < progress.total ? progress.received : progress.total;
        } else {
            state.flag = TBPF_INDETERMINATE;
        }
        break;
    case InstallProgress::Step::Installing:
    case InstallProgress::Step::Waiting:
        state.flag = TBPF_INDETERMINATE;
        break;
    case InstallProgress::Step::None:
        break;
    }
    return state;
}

TaskbarState TaskbarForResult(int result)
{
    TaskbarState state;
    // -1 is the user's "취소": nothing failed.
    if (result < 0 && result != -1) {
        state.flag = TBPF_ERROR;
        state.completed = 1;
        state.total = 1;
    }
    return state;
}

}  // namespace InstallProgressText
