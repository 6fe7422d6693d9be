#pragma once

#include <windows.h>

class IMainWindow;

// A page of the main dialog, as the main dialog sees it.
class IPage {
public:
    void SetMainWindow(IMainWindow* mainWindow) { mainWindow_ = mainWindow; }
    virtual HWND GetPageWindow() = 0;
    // The page has become the current one.
    virtual void OnPageShow() = 0;
    // The page stops being the current one.
    virtual void OnPageHide() = 0;
    // Gives the keyboard focus to the page's first control.
    virtual void FocusFirstControl() = 0;

protected:
    ~IPage() = default;
    IMainWindow* mainWindow_ = nullptr;
};
