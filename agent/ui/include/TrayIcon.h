#pragma once

#include <windows.h>

#include <shellapi.h>

#include <string>

// A pending balloon tip: title and text.
struct BALLOON_TIP {
    std::wstring title;
    std::wstring text;
};

// The agent's notification-area icon (id 1) and its balloons, on the
// shell's Shell_NotifyIconW. UI thread only.
class TrayIcon {
public:
    static constexpr UINT kIconId = 1;

    // `window` receives `callbackMessage`; `icon` is shown with `tip`.
    void Bind(HWND window, UINT callbackMessage, HICON icon, const std::wstring& tip);
    // Deletes any icon with our id, then adds it; true when the shell took it.
    bool Add();
    void Delete();
    // Shows a balloon (time-out 4000 ms); true when the shell took it.
    bool ShowBalloon(const std::wstring& title, const std::wstring& text);
    // Removes the balloon shown.
    bool ClearBalloon();

    // Copies `text` into a fixed field of `size` characters, cut to fit and
    // always terminated.
    static void CopyToField(wchar_t* field, size_t size, const std::wstring& text);

private:
    NOTIFYICONDATAW MakeData(UINT flags) const;
    bool SetVersion3();

    HWND window_ = nullptr;
    UINT callbackMessage_ = 0;
    HICON icon_ = nullptr;
    std::wstring tip_;
};
