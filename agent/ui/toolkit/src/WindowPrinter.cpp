#include "WindowPrinter.h"

namespace Lumen {

namespace {

// Deep enough for any dialog; a bound keeps a cyclic or runaway tree finite.
constexpr int kMaxDepth = 16;

void PrintClient(HWND window, HDC dc, POINT clientOrigin, const RECT& clip)
{
    const int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, clip.left, clip.top, clip.right, clip.bottom);
    POINT old;
    ::OffsetViewportOrgEx(dc, clientOrigin.x, clientOrigin.y, &old);
    ::SendMessageW(window, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT | PRF_ERASEBKGND);
    ::RestoreDC(dc, saved);
}

}  // namespace

bool WindowPrinter::Print(HWND window, HDC dc)
{
    if (window == nullptr || dc == nullptr || !::IsWindowVisible(window)) return false;
    RECT client = {};
    ::GetClientRect(window, &client);
    PrintClient(window, dc, POINT{0, 0}, client);
    PrintChildren(window, dc, POINT{0, 0}, client, 0);
    return true;
}

void WindowPrinter::PrintChildren(HWND parent, HDC dc, POINT parentOrigin, const RECT& parentClip, int depth)
{
    if (depth >= kMaxDepth) return;
    // GW_HWNDLAST is the bottom of the z-order: painted first, covered later.
    for (HWND child = ::GetWindow(::GetWindow(parent, GW_CHILD), GW_HWNDLAST); child != nullptr;
         child = ::GetWindow(child, GW_HWNDPREV)) {
        if (!::IsWindowVisible(child)) continue;
        // Where the child's frame and client area sit, in the DC's units.
        RECT frame = {};
        ::GetWindowRect(child, &frame);
        ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&frame), 2);
        ::OffsetRect(&frame, parentOrigin.x, parentOrigin.y);
        // A child shows only inside its parent's client area.
        RECT visible = {};
        if (!::IntersectRect(&visible, &frame, &parentClip)) continue;
        POINT clientOrigin{0, 0};
        ::MapWindowPoints(child, parent, &clientOrigin, 1);
        clientOrigin.x += parentOrigin.x;
        clientOrigin.y += parentOrigin.y;
        RECT client = {};
        ::GetClientRect(child, &client);
        ::OffsetRect(&client, clientOrigin.x, clientOrigin.y);
        RECT clientVisible = {};
        ::IntersectRect(&clientVisible, &client, &visible);

        const int saved = ::SaveDC(dc);
        ::IntersectClipRect(dc, visible.left, visible.top, visible.right, visible.bottom);
        POINT old;
        ::OffsetViewportOrgEx(dc, frame.left, frame.top, &old);
        ::SendMessageW(child, WM_PRINT, reinterpret_cast<WPARAM>(dc), PRF_NONCLIENT);
        ::RestoreDC(dc, saved);

        if (::IsRectEmpty(&clientVisible)) continue;
        PrintClient(child, dc, clientOrigin, clientVisible);
        PrintChildren(child, dc, clientOrigin, clientVisible, depth + 1);
    }
}

}  // namespace Lumen
