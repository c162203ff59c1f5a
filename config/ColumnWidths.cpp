#include "config/ColumnWidths.h"

#include <cmath>
#include <cstdint>

namespace tallyvane {
namespace {

std::vector<int64_t> scaled(std::vector<int64_t> widths, double scale) {
  for (int64_t& width : widths) width = std::llround(static_cast<double>(width) * scale);
  return widths;
}

}  // namespace

ColumnWidths defaultColumnWidths(int desktopWidth) {
  const double scale = desktopWidth == 1920 ? 1.0 : (desktopWidth - 30) / 1890.0;
  const std::vector<int64_t> results = {490, 120, 95, 140, 90, 115, 150, 150, 300, 120, 120};
  std::vector<int64_t> withTest = {100};
  withTest.insert(withTest.end(), results.begin(), results.end());
  return {
      std::vector<int64_t>{60, 1000},
      scaled(results, scale),
      scaled(withTest, scale),
      scaled({490, 120, 95, 140, 90, 115, 150, 150, 420, 120}, scale),
      scaled({700, 150, 150}, scale),
  };
}

}  // namespace tallyvane
