#pragma once
// A column title wider than its column ends in "…". Without this the styles cut it at the column's
// edge, which takes the first letters of a right-aligned title ("atus Code") once the sort arrow
// narrows the room.
//
// Main thread only.

class QHeaderView;

namespace tallyvane::ui {

// For as long as the header lives.
void elideHeaderTitles(QHeaderView* header);

}  // namespace tallyvane::ui
