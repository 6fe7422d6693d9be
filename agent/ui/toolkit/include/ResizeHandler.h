#pragma once

#include <windows.h>

#include <map>

namespace Lumen {

// Anchoring of child windows: each anchored child keeps its distances to
// the parent's edges it is anchored to when the parent's client area
// changes size. UI thread only.
class ResizeHandler {
public:
    enum Anchor : unsigned {
        kAnchorLeft = 1,
        kAnchorTop = 2,
        kAnchorRight = 4,
        kAnchorBottom = 8,
        kAnchorTopLeft = kAnchorLeft | kAnchorTop,
        kAnchorAll = kAnchorLeft | kAnchorTop | kAnchorRight | kAnchorBottom,
    };

    virtual ~ResizeHandler() = default;

    // Records the parent's current client size as the reference.
    void SetResizeParent(HWND parent);
    // Anchors `child` (its current place is the reference).
    bool AddAnchor(HWND child, unsigned anchors);
    void RemoveAllAnchors() { anchors_.clear(); }
    // Moves every anchored child for the parent's current client size.
    void ArrangeLayout();

    // Where a child of reference rectangle `original` goes when the parent's
    // client size changes from `originalSize` to `size`: an edge anchored on
    // both sides stretches, on one side keeps that distance.
    static RECT AnchoredRect(const RECT& original, SIZE originalSize, SIZE size, unsigned anchors);

private:
    struct Item {
        RECT original;
        unsigned anchors;
    };
    HWND parent_ = nullptr;
    SIZE originalSize_ = {0, 0};
    std::map<HWND, Item> anchors_;
};

}  // namespace Lumen
