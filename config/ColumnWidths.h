#pragma once
// Saved column widths of the result lists, with defaults scaled to the desktop's width.

#include <array>
#include <string_view>
#include <vector>

namespace tallyvane {

enum ColumnList : int {
  kMainListMode0 = 0,  // "Thread", "URL" (low-memory mode)
  kMainListMode1 = 1,  // the 11 result columns
  kMainListMode2 = 2,  // "Test Result" and the 11 result columns
  kResponsesList = 3,
  kLinksList = 4,
};
inline constexpr int kColumnListCount = 5;

// Settings keys, in the order above.
inline constexpr std::array<std::string_view, kColumnListCount> kColumnWidthKeys = {"mgcw0", "mgcw1", "mgcw2", "sgcw",
                                                                                   "sglcw"};

using ColumnWidths = std::array<std::vector<int64_t>, kColumnListCount>;

// desktopWidth is the primary screen's width in pixels (the CLI passes 1920).
ColumnWidths defaultColumnWidths(int desktopWidth);

}  // namespace tallyvane
