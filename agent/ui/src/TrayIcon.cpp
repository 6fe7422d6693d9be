#include "TrayIcon.h"

#include <shellapi.h>

#include <cwchar>

void TrayIcon::Bind(HWND window, UINT callbackMessage, HICON icon, const std::wstring& tip)
{
    window_ = window;
    callbackMessage_ = callbackMessage;
    icon_ = icon;
    tip_ = tip;
}

void TrayIcon::CopyToField(wchar_t* field, size_t size, const std::wstring& text)
{
    if (size == 0) return;
    const size_t count = text.size() < size - 1 ? text.size() : size - 1;
    std::wmemcpy(field, text.data(), count);
    field[count] = L'\0';
}

NOTIFYICONDATAW TrayIcon::MakeData(UINT flags) const
{
    NOTIFYICONDATAW data = {};
    // The full structure on Vista and later; the version-3 size before.
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const bool vista = ::GetVersionExW(&version) && version.dwMajorVersion >= 6;
#pragma GCC diagnostic pop
    data.cbSize = vista ? sizeof(NOTIFYICONDATAW) : NOTIFYICONDATAW_V3_SIZE;
    data.hWnd = window_;
    data.uID = kIconId;
    data.uFlags = flags;
    return data;
}

bool TrayIcon::Add()
{
    Delete();
    NOTIFYICONDATAW data = MakeData(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    data.uCallbackMessage = callbackMessage_;
    data.hIcon = icon_;
    CopyToField(data.szTip, sizeof(data.szTip) / sizeof(data.szTip[0]), tip_);
    return ::Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

void TrayIcon::Delete()
{
    NOTIFYICONDATAW data = MakeData(0);
    ::Shell_NotifyIconW(NIM_DELETE, &data);
}

bool TrayIcon::SetVersion3()
{
    NOTIFYICONDATAW data = MakeData(0);
    data.uVersion = NOTIFYICON_VERSION;
    return ::Shell_NotifyIconW(NIM_SETVERSION, &data) != FALSE;
}

bool TrayIcon::ShowBalloon(const std::wstring& title, const std::wstring& text)
{
    SetVersion3();
    NOTIFYICONDATAW data = MakeData(NIF_ICON | NIF_INFO);
    data.hIcon = icon_;
    data.dwInfoFlags = NIIF_NONE;
    data.uTimeout = 4000;
    CopyToField(data.szInfoTitle, sizeof(data.szInfoTitle) / sizeof(data.szInfoTitle[0]), title);
    CopyToField(data.szInfo, sizeof(data.szInfo) / sizeof(data.szInfo[0]), text);
    return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}

bool TrayIcon::ClearBalloon()
{
    SetVersion3();
    NOTIFYICONDATAW data = MakeData(NIF_ICON | NIF_INFO);
    data.hIcon = icon_;
    data.uTimeout = 3000;
    return ::Shell_NotifyIconW(NIM_MODIFY, &data) != FALSE;
}
