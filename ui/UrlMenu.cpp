#include "ui/UrlMenu.h"

#include <QClipboard>
#include <QDesktopServices>
#include <QGuiApplication>
#include <QMenu>
#include <QUrl>

namespace tallyvane::ui {

bool isBrowsableUrl(const QString& url) { return url.startsWith("http://") || url.startsWith("https://"); }

void showUrlMenu(QWidget* parent, const QPoint& globalPosition, const QString& url, std::vector<MenuItem> more) {
  QMenu menu(parent);
  QAction* open = menu.addAction(kOpenUrlText);
  open->setEnabled(isBrowsableUrl(url));
  QObject::connect(open, &QAction::triggered, [url] { QDesktopServices::openUrl(QUrl(url, QUrl::StrictMode)); });
  QObject::connect(menu.addAction(kCopyUrlText), &QAction::triggered,
                   [url] { QGuiApplication::clipboard()->setText(url); });
  if (!more.empty()) menu.addSeparator();
  for (auto& [text, act] : more) QObject::connect(menu.addAction(text), &QAction::triggered, std::move(act));
  menu.exec(globalPosition);
}

}  // namespace tallyvane::ui
