#pragma once

#include <windows.h>

#include <vector>

namespace Lumen {

// Placement of a CustomWindowList's groups: a heading per group, then the
// group's items in rows of `columns` cells. The cell size includes the gaps.
struct WindowListMetrics {
    SIZE cell{0, 0};
    int gapX = 10;
    int gapY = 10;
    int columns = 3;
};

struct WindowListLayout {
    std::vector<RECT> headings;            // one per group
    std::vector<std::vector<RECT>> items;  // per group, the item windows' rectangles
    SIZE extent{0, 0};                     // the scrolling ranges
};

// `groupSizes` holds the number of items of each group, in ascending state order.
WindowListLayout ComputeWindowListLayout(const std::vector<int>& groupSizes, const WindowListMetrics& metrics);

}  // namespace Lumen
