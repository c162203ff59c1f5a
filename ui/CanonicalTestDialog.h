#pragma once
// "Test Canonical URL Redirects (HTTP(s)/WWW/HSTS)": the URL list, the one form every URL must
// reach, which variants to check and the two header checks.

#include <array>

#include "ui/CrawlStartDialog.h"

class QCheckBox;
class QRadioButton;

namespace tallyvane::ui {

inline constexpr const char* kCanonicalTestTitle = "Test Canonical URL Redirects (HTTP(s)/WWW/HSTS)";

class CanonicalTestDialog : public CrawlStartDialog {
  Q_OBJECT

 public:
  CanonicalTestDialog(Settings& settings, const SettingsLocation& location, QWidget* mainWindow);

  QComboBox* inputField() const { return input_; }
  // In the order of the canonical forms: https, https with www, http, http with www.
  QRadioButton* formButton(CanonicalForm form) const { return forms_[static_cast<size_t>(form)]; }

 protected:
  SetupCheck check() override;

 private:
  QComboBox* input_;
  std::array<QRadioButton*, 4> forms_{};
  QRadioButton* allVariants_;
  QRadioButton* onlyInput_;
  QCheckBox* cookies_;
  QCheckBox* hsts_;
};

}  // namespace tallyvane::ui
