#pragma once
// Cells whose text is cut off say it whole in a tooltip; cells that show all of it say nothing.
//
// Main thread only.

class QAbstractItemView;

namespace tallyvane::ui {

// For as long as the view lives.
void showCutTextTips(QAbstractItemView* view);

}  // namespace tallyvane::ui
