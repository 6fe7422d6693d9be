#include "ToolTipHelper.h"

#include <commctrl.h>

#include "Lumen/DebugOutput.h"

namespace Lumen {

std::wstring ToolTipHelper::TrimText(const std::wstring& text)
{
    const wchar_t* const kSpace = L" \t\r\n\f\v";
    const size_t first = text.find_first_not_of(kSpace);
    if (first == std::wstring::npos) return L"";
    const size_t last = text.find_last_not_of(kSpace);
    return text.substr(first, last - first + 1);
}

bool ToolTipHelper::SetToolTip(HWND control, const std::wstring& text)
{
    if (control == nullptr) return false;
    text_ = TrimText(text);

    TOOLINFOW tool = {};
    tool.cbSize = sizeof(tool);
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = ::GetParent(control) != nullptr ? ::GetParent(control) : control;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = const_cast<wchar_t*>(text_.c_str());

    if (text_.empty()) {
        if (added_ && tip_) ::SendMessageW(tip_.Get(), TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        added_ = false;
        return true;
    }
    if (!tip_ || control_ != control) {
        if (added_ && tip_) {
            // A different control: start over with a fresh tip window.
            tip_.Reset();
            added_ = false;
        }
        tip_.Reset(::CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                     CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, control, nullptr,
                                     ::GetModuleHandleW(nullptr), nullptr));
        if (!tip_) {
            OutputDebugMessage(L"fail to create tool tip, error : %d", static_cast<int>(::GetLastError()));
            return false;
        }
        control_ = control;
    }
    // Statics report mouse input only with the notify style; buttons always do.
    wchar_t className[32] = {};
    ::GetClassNameW(control, className, 32);
    if (::lstrcmpiW(className, L"Static") == 0) {
        const LONG style = ::GetWindowLongW(control, GWL_STYLE);
        ::SetWindowLongW(control, GWL_STYLE, style | SS_NOTIFY);
    }
    if (added_) {
        ::SendMessageW(tip_.Get(), TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&tool));
    } else {
        added_ = ::SendMessageW(tip_.Get(), TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool)) != FALSE;
    }
    ::SendMessageW(tip_.Get(), TTM_ACTIVATE, TRUE, 0);
    return added_;
}

}  // namespace Lumen
