#include "ui/FilterBox.h"

#include "ui/QtText.h"

namespace tallyvane::ui {

void offerFilters(QComboBox* box, bool testResults) {
  int entry = 0;  // where the next filter's entry is, or goes
  for (const Filter filter : kFilters) {
    const bool offered = box->findData(filterNumber(filter)) >= 0;
    const bool wanted = testResults || !needsTestResults(filter);
    if (wanted && !offered) box->insertItem(entry, qText(filterName(filter)), filterNumber(filter));
    if (!wanted && offered) {
      if (box->currentIndex() == entry) box->setCurrentIndex(0);
      box->removeItem(entry);
    }
    if (wanted) ++entry;
  }
}

Filter chosenFilter(const QComboBox* box) {
  const QVariant number = box->currentData();
  return number.isValid() ? filterFromNumber(number.toInt()).value_or(Filter::AllUrls) : Filter::AllUrls;
}

void chooseFilter(QComboBox* box, Filter filter) {
  if (const int entry = box->findData(filterNumber(filter)); entry >= 0) box->setCurrentIndex(entry);
}

}  // namespace tallyvane::ui
