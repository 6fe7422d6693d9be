#include "ResizeHandler.h"

namespace Lumen {

namespace {

SIZE ClientSize(HWND hwnd)
{
    RECT rect = {};
    ::GetClientRect(hwnd, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

// One axis: `low`/`high` are the child's edges, `extent` the parent's size.
void AnchorAxis(LONG& low, LONG& high, LONG originalExtent, LONG extent, bool lowAnchored, bool highAnchored)
{
    const LONG delta = extent - originalExtent;
    if (highAnchored && lowAnchored) {
        high += delta;
    } else if (highAnchored) {
        low += delta;
        high += delta;
    }
}

}  // namespace

void ResizeHandler::SetResizeParent(HWND parent)
{
    parent_ = parent;
    originalSize_ = ClientSize(parent);
}

bool ResizeHandler::AddAnchor(HWND child, unsigned anchors)
{
    if (parent_ == nullptr || child == nullptr) return false;
    RECT rect = {};
    if (!::GetWindowRect(child, &rect)) return false;
    ::MapWindowPoints(nullptr, parent_, reinterpret_cast<POINT*>(&rect), 2);
    anchors_[child] = Item{rect, anchors};
    return true;
}

RECT ResizeHandler::AnchoredRect(const RECT& original, SIZE originalSize, SIZE size, unsigned anchors)
{
    RECT rect = original;
    AnchorAxis(rect.left, rect.right, originalSize.cx, size.cx, (anchors & kAnchorLeft) != 0,
           (anchors & kAnchorRight) != 0);
    AnchorAxis(rect.top, rect.bottom, originalSize.cy, size.cy, (anchors & kAnchorTop) != 0,
           (anchors & kAnchorBottom) != 0);
    return rect;
}

void ResizeHandler::ArrangeLayout()
{
    if (parent_ == nullptr || anchors_.empty()) return;
    const SIZE size = ClientSize(parent_);
    HDWP defer = ::BeginDeferWindowPos(static_cast<int>(anchors_.size()));
    for (const auto& [child, item] : anchors_) {
        if (!::IsWindow(child)) continue;
        const RECT rect = AnchoredRect(item.original, originalSize_, size, item.anchors);
        const UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
        if (defer != nullptr) {
            defer = ::DeferWindowPos(defer, child, nullptr, rect.left, rect.top, rect.right - rect.left,
                                     rect.bottom - rect.top, flags);
        } else {
            ::SetWindowPos(child, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                           flags);
        }
    }
    if (defer != nullptr) ::EndDeferWindowPos(defer);
}

}  // namespace Lumen
