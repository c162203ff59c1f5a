#pragma once
// The program's file dialogs. Each opens in the folder a file was last chosen in, by any of them,
// unless the field it fills already names a file to start from.
//
// Main thread only.

#include <QString>

class QWidget;

namespace tallyvane::ui {

// The chosen file, or an empty text when the dialog was cancelled.
QString chooseFileToOpen(QWidget* parent, const QString& title, const QString& filter, const QString& start = {});
QString chooseFileToSave(QWidget* parent, const QString& title, const QString& filter, const QString& start = {});

// Where the next dialog without a start opens: the folder last used, or empty before any choice.
QString lastUsedFolder();

}  // namespace tallyvane::ui
