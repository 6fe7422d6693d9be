#pragma once

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "GdiHandles.h"
#include "StaticEx.h"
#include "Window.h"
#include "WindowListLayout.h"

namespace Lumen {

// One entry of a CustomWindowList: the group key, the group heading, the
// child window placed in the list, and a reference that keeps the child's
// owner alive while the list shows it.
struct CWL_ITEM {
    int state = 0;
    std::wstring text;
    HWND window = nullptr;
    std::shared_ptr<void> owner;
};

// A scrolling window of the class "CustomWindowList" that arranges child
// windows in groups (ascending state), each under a heading, in rows of a
// fixed number of equal cells. UI thread only.
class CustomWindowList : public Window {
public:
    static constexpr int kLineStep = 10;

    // Registers the window class once per process.
    CustomWindowList();
    ~CustomWindowList() override;

    bool CreateControl(DWORD style, const RECT& rect, HWND parent, UINT id);

    // Re-parents the item's window into the list, shows it and appends it to
    // its state's group. The first item fixes the cell size (its window's
    // size plus the gaps).
    void AddItem(const CWL_ITEM& item);
    // Empties the groups and destroys their headings; the item windows are
    // not destroyed.
    void RemoveAllItems();
    // Places headings and items and sets the scrolling ranges.
    void Layout();

    void SetTextColor(COLORREF color);
    void SetBackgroundColor(COLORREF color);
    COLORREF GetTextColor() const { return textColor_; }
    COLORREF GetBackgroundColor() const { return bgColor_; }
    void EnableList(bool enable);

    const std::map<int, std::vector<CWL_ITEM>>& GetGroups() const { return groups_; }
    const WindowListMetrics& GetMetrics() const { return metrics_; }
    POINT GetScrollPosition() const { return scroll_; }
    SIZE GetContentSize() const { return content_; }
    // Scrolls to a position (clamped to the content).
    void ScrollTo(int x, int y);

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void UpdateScrollBars();
    void OnScroll(int bar, WORD request);
    void Place();

    std::map<int, std::vector<CWL_ITEM>> groups_;
    std::vector<std::unique_ptr<StaticEx>> headings_;
    WindowListLayout layout_;
    WindowListMetrics metrics_;
    COLORREF textColor_;
    COLORREF bgColor_ = RGB(255, 255, 255);
    SIZE content_{0, 0};
    POINT scroll_{0, 0};
    HFONT font_ = nullptr;  // not owned
};

}  // namespace Lumen
