#pragma once

#include <windows.h>

#include <string>

#include "GdiHandles.h"

namespace Lumen {

// Gives a drawing control a tool tip. The tip window is created on first use
// and destroyed with this helper. UI thread only.
class ToolTipHelper {
public:
    ToolTipHelper() = default;
    virtual ~ToolTipHelper() = default;
    ToolTipHelper(const ToolTipHelper&) = delete;
    ToolTipHelper& operator=(const ToolTipHelper&) = delete;

    // Sets the tip of `control` to `text` (trimmed). An empty text removes the
    // tip. The control gets the notify style so that it receives mouse input.
    bool SetToolTip(HWND control, const std::wstring& text);
    const std::wstring& GetToolTipText() const { return text_; }
    HWND GetToolTipHwnd() const { return tip_.Get(); }

    // Leading and trailing white space removed.
    static std::wstring TrimText(const std::wstring& text);

private:
    ScopedWindow tip_;
    HWND control_ = nullptr;
    bool added_ = false;
    std::wstring text_;
};

}  // namespace Lumen
