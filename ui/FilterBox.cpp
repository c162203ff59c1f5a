#include "ui/FilterBox.h"

#include "ui/QtText.h"

namespace tallyvane::ui {

void addFilterEntries(QComboBox* box) {
  for (const Filter filter : kFilters) box->addItem(qText(filterName(filter)), filterNumber(filter));
}

Filter chosenFilter(const QComboBox* box) {
  const QVariant number = box->currentData();
  return number.isValid() ? filterFromNumber(number.toInt()).value_or(Filter::AllUrls) : Filter::AllUrls;
}

void chooseFilter(QComboBox* box, Filter filter) {
  if (const int entry = box->findData(filterNumber(filter)); entry >= 0) box->setCurrentIndex(entry);
}

}  // namespace tallyvane::ui
