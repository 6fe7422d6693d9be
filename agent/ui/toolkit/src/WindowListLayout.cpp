#include "WindowListLayout.h"

#include <algorithm>

namespace Lumen {

namespace {
constexpr int kFirstGroupTop = 20;
constexpr int kIndent = 29;
constexpr int kHeadingWidth = 100;
constexpr int kHeadingHeight = 19;
constexpr int kHeadingToItems = 26;
constexpr int kGroupSpacing = 20;
}  // namespace

WindowListLayout ComputeWindowListLayout(const std::vector<int>& groupSizes, const WindowListMetrics& m)
{
    WindowListLayout layout;
    const int columns = std::max(m.columns, 1);
    const int w = m.cell.cx;
    const int h = m.cell.cy;
    int top = kFirstGroupTop;
    int extentY = 0;
    int extentX = 0;
    for (int count : groupSizes) {
        layout.headings.push_back(RECT{m.gapX + kIndent, top, m.gapX + kIndent + kHeadingWidth, top + kHeadingHeight});
        std::vector<RECT> items;
        for (int i = 0; i < count; ++i) {
            const int c = i % columns;
            const int r = i / columns;
            RECT cell;
            cell.left = kIndent + c * (w + m.gapX);
            cell.top = top + kHeadingToItems + r * (h + m.gapY);
            cell.right = cell.left + w;
            cell.bottom = cell.top + h;
            items.push_back(
                RECT{cell.left + m.gapX / 2, cell.top + m.gapY / 2, cell.right - m.gapX / 2, cell.bottom - m.gapY / 2});
            extentY = std::max<int>(extentY, cell.bottom + kGroupSpacing);
            extentX = std::max<int>(extentX, cell.right + (c != columns - 1 ? kIndent : 0));
        }
        layout.items.push_back(std::move(items));
        extentY = std::max(extentY, top + kHeadingHeight + kGroupSpacing);
        top = extentY + kGroupSpacing;
    }
    layout.extent = SIZE{extentX, extentY};
    return layout;
}

}  // namespace Lumen
