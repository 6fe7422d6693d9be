#include "ResizeDialog.h"

namespace Lumen {

bool ResizeDialog::HasSizingBorder() const
{
    return GetHwnd() != nullptr && (::GetWindowLongW(GetHwnd(), GWL_STYLE) & WS_THICKFRAME) != 0;
}

BOOL ResizeDialog::OnInitDialog()
{
    if (HasSizingBorder()) {
        SetResizeParent(GetHwnd());
        RECT rect = {};
        ::GetWindowRect(GetHwnd(), &rect);
        minTrackSize_ = SIZE{rect.right - rect.left, rect.bottom - rect.top};
    }
    return Dialog::OnInitDialog();
}

bool ResizeDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    if (HasSizingBorder()) {
        switch (message) {
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) ArrangeLayout();
            break;
        case WM_GETMINMAXINFO:
            if (minTrackSize_.cx > 0) {
                auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
                info->ptMinTrackSize.x = minTrackSize_.cx;
                info->ptMinTrackSize.y = minTrackSize_.cy;
            }
            break;
        case WM_DESTROY:
            RemoveAllAnchors();
            break;
        default:
            break;
        }
    }
    return Dialog::OnMessage(message, wParam, lParam, result);
}

}  // namespace Lumen
