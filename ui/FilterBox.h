#pragma once
// The filter drop-downs (the main window's and the low-memory dialog's): each entry carries its
// filter's number, so an entry's place in the list never has to match it.

#include <QComboBox>

#include "results/Filters.h"

namespace tallyvane::ui {

// Adds or removes entries so that the box offers every filter, those that need a test's results
// only when testResults; the order stays that of the numbers. A removed current entry gives way
// to "All URLs".
void offerFilters(QComboBox* box, bool testResults);
// The filter of the current entry; "All URLs" when none is current.
Filter chosenFilter(const QComboBox* box);
// Makes filter's entry current, when the box has one.
void chooseFilter(QComboBox* box, Filter filter);

}  // namespace tallyvane::ui
