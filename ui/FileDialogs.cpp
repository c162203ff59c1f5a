#include "ui/FileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>

namespace tallyvane::ui {
namespace {

// One folder for the whole program: a list chosen for a check is often beside the report saved next.
QString& folderLastUsed() {
  static QString folder;
  return folder;
}

QString startOf(const QString& start) { return start.trimmed().isEmpty() ? folderLastUsed() : start; }

QString remembered(const QString& chosen) {
  if (!chosen.isEmpty()) folderLastUsed() = QFileInfo(chosen).absolutePath();
  return chosen;
}

}  // namespace

QString chooseFileToOpen(QWidget* parent, const QString& title, const QString& filter, const QString& start) {
  return remembered(QFileDialog::getOpenFileName(parent, title, startOf(start), filter));
}

QString chooseFileToSave(QWidget* parent, const QString& title, const QString& filter, const QString& start) {
  return remembered(QFileDialog::getSaveFileName(parent, title, startOf(start), filter));
}

QString lastUsedFolder() { return folderLastUsed(); }

}  // namespace tallyvane::ui
