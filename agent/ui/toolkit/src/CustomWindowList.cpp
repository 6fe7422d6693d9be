#include "CustomWindowList.h"

#include "BufferDC.h"
#include "ControlGeometry.h"

namespace Lumen {

CustomWindowList::CustomWindowList() : textColor_(::GetSysColor(COLOR_WINDOWTEXT))
{
    RegisterCustomControlClasses();
}

CustomWindowList::~CustomWindowList() = default;

bool CustomWindowList::CreateControl(DWORD style, const RECT& rect, HWND parent, UINT id)
{
    return Create(L"CustomWindowList", L"", style | WS_CHILD | WS_CLIPCHILDREN, 0, rect, parent, id);
}

void CustomWindowList::AddItem(const CWL_ITEM& item)
{
    if (item.window == nullptr || !::IsWindow(item.window)) return;
    if (metrics_.cell.cx == 0 && metrics_.cell.cy == 0) {
        RECT r;
        ::GetWindowRect(item.window, &r);
        metrics_.cell = SIZE{r.right - r.left + metrics_.gapX, r.bottom - r.top + metrics_.gapY};
    }
    if (GetHwnd() != nullptr) {
        // A child of the list must carry the child style before it is re-parented.
        const LONG style = ::GetWindowLongW(item.window, GWL_STYLE);
        ::SetWindowLongW(item.window, GWL_STYLE, (style & ~WS_POPUP) | WS_CHILD);
        ::SetParent(item.window, GetHwnd());
    }
    ::ShowWindow(item.window, SW_SHOWNA);
    groups_[item.state].push_back(item);
}

void CustomWindowList::RemoveAllItems()
{
    groups_.clear();
    // The headings are the list's own windows: they go with the groups.
    for (auto& heading : headings_) {
        if (heading) heading->DestroyWindow();
    }
    headings_.clear();
    layout_ = WindowListLayout();
    content_ = SIZE{0, 0};
    scroll_ = POINT{0, 0};
    UpdateScrollBars();
    RedrawIfVisible(GetHwnd(), RDW_INVALIDATE | RDW_ERASE);
}

void CustomWindowList::Layout()
{
    std::vector<int> sizes;
    for (const auto& group : groups_) sizes.push_back(static_cast<int>(group.second.size()));
    layout_ = ComputeWindowListLayout(sizes, metrics_);
    content_ = layout_.extent;

    // Headings: one StaticEx per group with the list's font and colours.
    HWND hwnd = GetHwnd();
    headings_.resize(groups_.size());
    HFONT font = hwnd != nullptr ? reinterpret_cast<HFONT>(::SendMessageW(hwnd, WM_GETFONT, 0, 0)) : nullptr;
    size_t g = 0;
    for (const auto& group : groups_) {
        auto& heading = headings_[g++];
        if (!heading) heading = std::make_unique<StaticEx>();
        if (hwnd != nullptr && heading->GetHwnd() == nullptr) {
            heading->CreateStatic(L"", SS_LEFT | SS_NOPREFIX, RECT{0, 0, 0, 0}, hwnd, 0xFFFF);
        }
        if (heading->GetHwnd() == nullptr) continue;
        ::SetWindowTextW(heading->GetHwnd(), group.second.front().text.c_str());
        if (font != nullptr) ::SendMessageW(heading->GetHwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        heading->SetBackgroundColor(bgColor_);
        heading->SetTextColor(textColor_);
    }
    scroll_.x = ClampScrollPosition(scroll_.x, content_.cx, 0);
    scroll_.y = ClampScrollPosition(scroll_.y, content_.cy, 0);
    UpdateScrollBars();
    Place();
}

void CustomWindowList::Place()
{
    if (GetHwnd() == nullptr) return;
    size_t g = 0;
    for (auto& group : groups_) {
        if (g >= layout_.headings.size()) break;
        const RECT h = layout_.headings[g];
        if (g < headings_.size() && headings_[g] && headings_[g]->GetHwnd() != nullptr) {
            ::SetWindowPos(headings_[g]->GetHwnd(), nullptr, h.left - scroll_.x, h.top - scroll_.y, h.right - h.left,
                           h.bottom - h.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        }
        for (size_t i = 0; i < group.second.size() && i < layout_.items[g].size(); ++i) {
            const RECT r = layout_.items[g][i];
            ::SetWindowPos(group.second[i].window, nullptr, r.left - scroll_.x, r.top - scroll_.y, r.right - r.left,
                           r.bottom - r.top, SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
        }
        ++g;
    }
    ::InvalidateRect(GetHwnd(), nullptr, TRUE);
}

void CustomWindowList::UpdateScrollBars()
{
    HWND hwnd = GetHwnd();
    if (hwnd == nullptr) return;
    RECT rc;
    ::GetClientRect(hwnd, &rc);
    SCROLLINFO si = {sizeof(si), SIF_RANGE | SIF_PAGE | SIF_POS, 0, 0, 0, 0, 0};
    si.nMax = content_.cy > 0 ? content_.cy - 1 : 0;
    si.nPage = static_cast<UINT>(rc.bottom);
    scroll_.y = ClampScrollPosition(scroll_.y, content_.cy, rc.bottom);
    si.nPos = scroll_.y;
    ::SetScrollInfo(hwnd, SB_VERT, &si, TRUE);
    si.nMax = content_.cx > 0 ? content_.cx - 1 : 0;
    si.nPage = static_cast<UINT>(rc.right);
    scroll_.x = ClampScrollPosition(scroll_.x, content_.cx, rc.right);
    si.nPos = scroll_.x;
    ::SetScrollInfo(hwnd, SB_HORZ, &si, TRUE);
}

void CustomWindowList::ScrollTo(int x, int y)
{
    if (GetHwnd() == nullptr) return;
    RECT rc;
    ::GetClientRect(GetHwnd(), &rc);
    const POINT next{ClampScrollPosition(x, content_.cx, rc.right), ClampScrollPosition(y, content_.cy, rc.bottom)};
    if (next.x == scroll_.x && next.y == scroll_.y) return;
    scroll_ = next;
    ::SetScrollPos(GetHwnd(), SB_HORZ, scroll_.x, TRUE);
    ::SetScrollPos(GetHwnd(), SB_VERT, scroll_.y, TRUE);
    Place();
}

void CustomWindowList::OnScroll(int bar, WORD request)
{
    SCROLLINFO si = {sizeof(si), SIF_ALL, 0, 0, 0, 0, 0};
    ::GetScrollInfo(GetHwnd(), bar, &si);
    int pos = bar == SB_VERT ? scroll_.y : scroll_.x;
    switch (request) {
        case SB_LINEUP: pos -= kLineStep; break;
        case SB_LINEDOWN: pos += kLineStep; break;
        case SB_PAGEUP: pos -= static_cast<int>(si.nPage); break;
        case SB_PAGEDOWN: pos += static_cast<int>(si.nPage); break;
        case SB_THUMBTRACK:
        case SB_THUMBPOSITION: pos = si.nTrackPos; break;
        case SB_TOP: pos = 0; break;
        case SB_BOTTOM: pos = bar == SB_VERT ? content_.cy : content_.cx; break;
        default: return;
    }
    if (bar == SB_VERT) {
        ScrollTo(scroll_.x, pos);
    } else {
        ScrollTo(pos, scroll_.y);
    }
}

void CustomWindowList::SetTextColor(COLORREF color)
{
    textColor_ = color;
    for (auto& h : headings_) {
        if (h) h->SetTextColor(color);
    }
}

void CustomWindowList::SetBackgroundColor(COLORREF color)
{
    bgColor_ = color;
    for (auto& h : headings_) {
        if (h) h->SetBackgroundColor(color);
    }
    RedrawIfVisible(GetHwnd(), RDW_INVALIDATE | RDW_ERASE);
}

void CustomWindowList::EnableList(bool enable)
{
    if (GetHwnd() != nullptr) ::EnableWindow(GetHwnd(), enable ? TRUE : FALSE);
}

LRESULT CustomWindowList::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
        case WM_ERASEBKGND: {
            RECT rc;
            ::GetClientRect(GetHwnd(), &rc);
            const HDC dc = reinterpret_cast<HDC>(wParam);
            const COLORREF old = ::SetBkColor(dc, bgColor_);
            ::ExtTextOutW(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
            ::SetBkColor(dc, old);
            return 1;
        }
        case WM_PRINTCLIENT:
            WindowProc(WM_ERASEBKGND, wParam, 0);
            return 0;
        case WM_SETFONT:
            // A plain window keeps no font: the list keeps it for its headings.
            font_ = reinterpret_cast<HFONT>(wParam);
            for (auto& h : headings_) {
                if (h && h->GetHwnd() != nullptr) ::SendMessageW(h->GetHwnd(), WM_SETFONT, wParam, lParam);
            }
            return 0;
        case WM_GETFONT:
            return reinterpret_cast<LRESULT>(font_);
        case WM_VSCROLL:
            OnScroll(SB_VERT, LOWORD(wParam));
            return 0;
        case WM_HSCROLL:
            OnScroll(SB_HORZ, LOWORD(wParam));
            return 0;
        case WM_MOUSEWHEEL:
            OnScroll(SB_VERT, GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? SB_LINEUP : SB_LINEDOWN);
            return 0;
        case WM_SIZE:
            UpdateScrollBars();
            Place();
            break;
        default:
            break;
    }
    return DefaultProc(message, wParam, lParam);
}

}  // namespace Lumen
