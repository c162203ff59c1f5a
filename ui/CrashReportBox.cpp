#include "ui/CrashReportBox.h"

#include <QApplication>
#include <QMessageBox>

#include "app/CrashHandler.h"
#include "ui/QtText.h"

namespace tallyvane::ui {

QMessageBox* createCrashReportBox(const CrashReport& report) {
  auto* box = new QMessageBox(QMessageBox::Critical, qText(kCrashReportTitle), editorText(crashReportText(report)),
                              QMessageBox::Ok);
  // The user is asked to copy the report into a mail.
  box->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  box->setAttribute(Qt::WA_DeleteOnClose);
  return box;
}

int showCrashReport(int argc, char** argv, const CrashReport& report) {
  unblockAllSignals();
  QApplication application(argc, argv);
  createCrashReportBox(report)->exec();
  return EXIT_FAILURE;
}

}  // namespace tallyvane::ui
