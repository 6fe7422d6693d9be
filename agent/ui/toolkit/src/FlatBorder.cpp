#include "FlatBorder.h"

#include "GdiHandles.h"

namespace Lumen {

void PaintFlatBorder(HWND hwnd, COLORREF color)
{
    HDC dc = ::GetWindowDC(hwnd);
    if (dc == nullptr) return;
    RECT rc;
    ::GetWindowRect(hwnd, &rc);
    ::OffsetRect(&rc, -rc.left, -rc.top);
    // Only the frame: the client area is the children's.
    RECT client = rc;
    ::InflateRect(&client, -1, -1);
    ::ExcludeClipRect(dc, client.left, client.top, client.right, client.bottom);
    ::FillRect(dc, &rc, static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
    ScopedBrush border(::CreateSolidBrush(color));
    if (border) ::FrameRect(dc, &rc, border.Get());
    ::ReleaseDC(hwnd, dc);
}

}  // namespace Lumen
