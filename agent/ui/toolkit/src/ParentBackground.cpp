#include "ParentBackground.h"

#include "BitmapDC.h"

namespace Lumen {

bool ParentBackground::Take(HWND child, HDC compatible)
{
    RECT rc;
    ::GetClientRect(child, &rc);
    HWND parent = ::GetParent(child);
    if (parent == nullptr || rc.right <= 0 || rc.bottom <= 0) return false;
    ScopedBitmap bitmap(::CreateCompatibleBitmap(compatible, rc.right, rc.bottom));
    if (!bitmap) return false;
    BitmapDC dc(compatible, bitmap.Get());
    if (!dc) return false;
    ::FillRect(dc.Get(), &rc, ::GetSysColorBrush(COLOR_3DFACE));
    // The child's client origin in the parent's client coordinates.
    POINT origin{0, 0};
    ::MapWindowPoints(child, parent, &origin, 1);
    POINT old;
    ::SetViewportOrgEx(dc.Get(), -origin.x, -origin.y, &old);
    ::SendMessageW(parent, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.Get()), PRF_CLIENT | PRF_ERASEBKGND);
    ::SetViewportOrgEx(dc.Get(), old.x, old.y, nullptr);
    bitmap_ = std::move(bitmap);
    size_ = SIZE{rc.right, rc.bottom};
    return true;
}

void ParentBackground::Draw(HWND child, HDC dc)
{
    RECT rc;
    ::GetClientRect(child, &rc);
    if (bitmap_ && (size_.cx != rc.right || size_.cy != rc.bottom)) bitmap_.Reset();
    if (!bitmap_ && !Take(child, dc)) {
        ::FillRect(dc, &rc, ::GetSysColorBrush(COLOR_3DFACE));
        return;
    }
    BitmapDC source(dc, bitmap_.Get());
    ::BitBlt(dc, 0, 0, size_.cx, size_.cy, source.Get(), 0, 0, SRCCOPY);
}

}  // namespace Lumen
